#include "testing/faulty_file_system.h"

#include <algorithm>

namespace tavro::testing {

namespace {

int triggerFault(FaultyFileSystem::Fault& fault) {
  ++fault.triggered;
  if (fault.crash) throw SimulatedCrash();
  return fault.error;
}

class FaultyListing final : public Listing {
 public:
  FaultyListing(std::unique_ptr<Listing> inner, FaultyFileSystem::Fault* middle)
      : inner_(std::move(inner)), middle_(middle) {}

  bool next(ListedEntry& entry, int* error) override {
    if (middle_ != nullptr && seen_ >= middle_->after) {
      const int code = triggerFault(*middle_);
      if (error) *error = code;
      return false;
    }
    ++seen_;
    return inner_->next(entry, error);
  }

 private:
  std::unique_ptr<Listing> inner_;
  FaultyFileSystem::Fault* middle_;
  std::int64_t seen_ = 0;
};

class FaultyInputFile final : public InputFile {
 public:
  FaultyInputFile(std::unique_ptr<InputFile> inner, FaultyFileSystem::Fault* fault)
      : inner_(std::move(inner)), fault_(fault) {}

  Result<std::size_t> read(char* buffer, std::size_t size) override {
    if (fault_ != nullptr) {
      if (done_ >= fault_->after) return Result<std::size_t>::failure(triggerFault(*fault_));
      size = std::min<std::size_t>(size, static_cast<std::size_t>(fault_->after - done_));
    }
    auto got = inner_->read(buffer, size);
    if (got.ok()) done_ += static_cast<std::int64_t>(got.value);
    return got;
  }

  Result<EntryInfo> info() override { return inner_->info(); }

 private:
  std::unique_ptr<InputFile> inner_;
  FaultyFileSystem::Fault* fault_;
  std::int64_t done_ = 0;
};

// Leaves copyFrom() to the base class, so every byte passes through write().
class FaultyOutputFile final : public OutputFile {
 public:
  FaultyOutputFile(std::unique_ptr<OutputFile> inner, FaultyFileSystem::Fault* writeFault,
                   FaultyFileSystem::Fault* timeFault, FaultyFileSystem::Fault* syncFault)
      : inner_(std::move(inner)),
        writeFault_(writeFault),
        timeFault_(timeFault),
        syncFault_(syncFault) {}

  Result<std::size_t> write(const char* data, std::size_t size) override {
    if (writeFault_ != nullptr) {
      if (done_ >= writeFault_->after) {
        return Result<std::size_t>::failure(triggerFault(*writeFault_));
      }
      size = std::min<std::size_t>(size, static_cast<std::size_t>(writeFault_->after - done_));
    }
    auto put = inner_->write(data, size);
    if (put.ok()) done_ += static_cast<std::int64_t>(put.value);
    return put;
  }

  Status setMode(mode_t mode) override { return inner_->setMode(mode); }

  Status setModified(timespec modified) override {
    if (timeFault_ != nullptr) return Status::failure(triggerFault(*timeFault_));
    return inner_->setModified(modified);
  }

  Status sync() override {
    if (syncFault_ != nullptr) return Status::failure(triggerFault(*syncFault_));
    return inner_->sync();
  }

  Status close() override { return inner_->close(); }

 private:
  std::unique_ptr<OutputFile> inner_;
  FaultyFileSystem::Fault* writeFault_;
  FaultyFileSystem::Fault* timeFault_;
  FaultyFileSystem::Fault* syncFault_;
  std::int64_t done_ = 0;
};

class FaultyFolder final : public Folder {
 public:
  FaultyFolder(std::unique_ptr<Folder> inner, FaultyFileSystem& owner)
      : Folder(inner->path()), inner_(std::move(inner)), owner_(owner) {}

  FolderId id() const override { return inner_->id(); }

  Result<std::unique_ptr<Listing>> list() override {
    if (int e = owner_.check(FaultOp::ListStart, path())) {
      return Result<std::unique_ptr<Listing>>::failure(e);
    }
    auto listing = inner_->list();
    if (!listing.ok()) return listing;
    return Result<std::unique_ptr<Listing>>::of(std::make_unique<FaultyListing>(
        std::move(listing.value), owner_.find(FaultOp::ListMiddle, path())));
  }

  Result<EntryInfo> stat(const std::string& name) override {
    if (int e = owner_.check(FaultOp::Stat, pathOf(name))) return Result<EntryInfo>::failure(e);
    return inner_->stat(name);
  }

  Result<std::unique_ptr<Folder>> openFolder(const std::string& name) override {
    if (int e = owner_.check(FaultOp::OpenFolder, pathOf(name))) {
      return Result<std::unique_ptr<Folder>>::failure(e);
    }
    auto opened = inner_->openFolder(name);
    if (!opened.ok()) return opened;
    return Result<std::unique_ptr<Folder>>::of(
        std::make_unique<FaultyFolder>(std::move(opened.value), owner_));
  }

  Status makeFolder(const std::string& name) override {
    if (int e = owner_.check(FaultOp::MakeFolder, pathOf(name))) return Status::failure(e);
    return inner_->makeFolder(name);
  }

  Status removeFolder(const std::string& name) override {
    if (int e = owner_.check(FaultOp::Delete, pathOf(name))) return Status::failure(e);
    return inner_->removeFolder(name);
  }

  Status removeFile(const std::string& name) override {
    if (int e = owner_.check(FaultOp::Delete, pathOf(name))) return Status::failure(e);
    return inner_->removeFile(name);
  }

  Result<std::unique_ptr<InputFile>> openFile(const std::string& name) override {
    const std::string full = pathOf(name);
    if (int e = owner_.check(FaultOp::Open, full)) {
      return Result<std::unique_ptr<InputFile>>::failure(e);
    }
    auto opened = inner_->openFile(name);
    if (!opened.ok()) return opened;
    return Result<std::unique_ptr<InputFile>>::of(std::make_unique<FaultyInputFile>(
        std::move(opened.value), owner_.find(FaultOp::Read, full)));
  }

  Result<std::unique_ptr<OutputFile>> createFile(const std::string& name) override {
    return output(name, [&] { return inner_->createFile(name); });
  }

  Result<std::unique_ptr<OutputFile>> appendFile(const std::string& name) override {
    return output(name, [&] { return inner_->appendFile(name); });
  }

  Status rename(const std::string& from, const std::string& to) override {
    if (int e = owner_.check(FaultOp::Rename, pathOf(to))) return Status::failure(e);
    if (int e = owner_.check(FaultOp::Rename, pathOf(from))) return Status::failure(e);
    return inner_->rename(from, to);
  }

  Result<std::string> readLink(const std::string& name) override {
    if (int e = owner_.check(FaultOp::Open, pathOf(name))) {
      return Result<std::string>::failure(e);
    }
    return inner_->readLink(name);
  }

  Status makeLink(const std::string& name, const std::string& text) override {
    if (int e = owner_.check(FaultOp::Create, pathOf(name))) return Status::failure(e);
    return inner_->makeLink(name, text);
  }

  Status setLinkTime(const std::string& name, timespec modified) override {
    if (int e = owner_.check(FaultOp::SetTime, pathOf(name))) return Status::failure(e);
    return inner_->setLinkTime(name, modified);
  }

 private:
  // Opens a file for writing through `open`, unless a Create fault strikes,
  // and wraps it so its writes, time and sync can fail too.
  template <class Open>
  Result<std::unique_ptr<OutputFile>> output(const std::string& name, Open open) {
    const std::string full = pathOf(name);
    if (int e = owner_.check(FaultOp::Create, full)) {
      return Result<std::unique_ptr<OutputFile>>::failure(e);
    }
    auto opened = open();
    if (!opened.ok()) return opened;
    return Result<std::unique_ptr<OutputFile>>::of(std::make_unique<FaultyOutputFile>(
        std::move(opened.value), owner_.find(FaultOp::Write, full),
        owner_.find(FaultOp::SetTime, full), owner_.find(FaultOp::Sync, full)));
  }

  std::unique_ptr<Folder> inner_;
  FaultyFileSystem& owner_;
};

}  // namespace

void FaultyFileSystem::fail(FaultOp op, const std::string& path, int error, std::int64_t after) {
  faults_.push_back({op, [path](const std::string& p) { return p == path; }, error, after, false});
}

void FaultyFileSystem::failUnder(FaultOp op, const std::string& folder, int error,
                                 std::int64_t after) {
  const std::string prefix = folder + "/";
  faults_.push_back({op, [prefix](const std::string& p) { return p.rfind(prefix, 0) == 0; },
                     error, after, false});
}

void FaultyFileSystem::crash(FaultOp op, const std::string& path, std::int64_t after) {
  faults_.push_back({op, [path](const std::string& p) { return p == path; }, EIO, after, true});
}

int FaultyFileSystem::triggered(FaultOp op) const {
  int count = 0;
  for (const auto& fault : faults_) {
    if (fault.op == op) count += fault.triggered;
  }
  return count;
}

FaultyFileSystem::Fault* FaultyFileSystem::find(FaultOp op, const std::string& path) {
  for (auto& fault : faults_) {
    if (fault.op == op && fault.matches(path)) return &fault;
  }
  return nullptr;
}

int FaultyFileSystem::check(FaultOp op, const std::string& path) {
  Fault* fault = find(op, path);
  if (fault == nullptr) return 0;
  if (fault->after > 0) {
    --fault->after;  // this many calls pass before the fault strikes
    return 0;
  }
  return triggerFault(*fault);
}

Result<std::unique_ptr<Folder>> FaultyFileSystem::openFolder(const std::string& path) {
  if (int e = check(FaultOp::OpenFolder, path)) return Result<std::unique_ptr<Folder>>::failure(e);
  auto opened = inner_.openFolder(path);
  if (!opened.ok()) return opened;
  return Result<std::unique_ptr<Folder>>::of(
      std::make_unique<FaultyFolder>(std::move(opened.value), *this));
}

Result<EntryInfo> FaultyFileSystem::stat(const std::string& path) {
  if (int e = check(FaultOp::Stat, path)) return Result<EntryInfo>::failure(e);
  return inner_.stat(path);
}

Status FaultyFileSystem::makeFolder(const std::string& path) {
  if (int e = check(FaultOp::MakeFolder, path)) return Status::failure(e);
  return inner_.makeFolder(path);
}

}  // namespace tavro::testing
