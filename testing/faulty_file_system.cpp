#include "testing/faulty_file_system.h"

#include <algorithm>

namespace tavro::testkit {

namespace {

int triggerFault(FaultyFileSystem::Fault& fault) {
  ++fault.triggered;
  if (fault.crash) throw SimulatedCrash();
  return fault.error;
}

class FaultyListing final : public Listing {
 public:
  FaultyListing(std::unique_ptr<Listing> inner, FaultyFileSystem::Fault* middle, bool hideKinds)
      : inner_(std::move(inner)), middle_(middle), hideKinds_(hideKinds) {}

  bool next(ListedEntry& entry, int* error) override {
    if (middle_ != nullptr && seen_ >= middle_->after) {
      const int code = triggerFault(*middle_);
      if (error) *error = code;
      return false;
    }
    ++seen_;
    const bool more = inner_->next(entry, error);
    if (more && hideKinds_) entry.kind = EntryKind::Unknown;
    return more;
  }

 private:
  std::unique_ptr<Listing> inner_;
  FaultyFileSystem::Fault* middle_;
  bool hideKinds_;
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
  InputFile& inner() { return *inner_; }

 private:
  std::unique_ptr<InputFile> inner_;
  FaultyFileSystem::Fault* fault_;
  std::int64_t done_ = 0;
};

// Leaves copyFrom() to the base class, so every byte passes through write().
class FaultyOutputFile final : public OutputFile {
 public:
  FaultyOutputFile(std::unique_ptr<OutputFile> inner, FaultyFileSystem& owner, std::string path,
                   std::int64_t initialSize)
      : inner_(std::move(inner)),
        owner_(owner),
        path_(std::move(path)),
        initialSize_(initialSize),
        writeFault_(owner.find(FaultOp::Write, path_)),
        timeFault_(owner.find(FaultOp::SetTime, path_)),
        modeFault_(owner.find(FaultOp::SetMode, path_)),
        attributesFault_(owner.find(FaultOp::Attributes, path_)),

        syncFault_(owner.find(FaultOp::Sync, path_)) {}

  Result<std::size_t> write(const char* data, std::size_t size) override {
    if (writeFault_ != nullptr) {
      if (done_ >= writeFault_->after) {
        return Result<std::size_t>::failure(triggerFault(*writeFault_));
      }
      size = std::min<std::size_t>(size, static_cast<std::size_t>(writeFault_->after - done_));
    }
    owner_.wrote(path_, initialSize_);
    owner_.interruptIfDue(path_);
    auto put = inner_->write(data, size);
    if (put.ok()) done_ += static_cast<std::int64_t>(put.value);
    return put;
  }

  Status resize(std::int64_t size) override { return inner_->resize(size); }

  Status setMode(FileMode mode) override {
    if (modeFault_ != nullptr) return Status::failure(triggerFault(*modeFault_));
    return inner_->setMode(mode);
  }

  Status setModified(timespec modified) override {
    if (timeFault_ != nullptr) return Status::failure(triggerFault(*timeFault_));
    return inner_->setModified(modified);
  }

  Status setOwner(UserId owner, GroupId group) override { return inner_->setOwner(owner, group); }
  Result<EntryInfo> info() override { return inner_->info(); }

  Status copyAttributesFrom(InputFile& source) override {
    if (attributesFault_ != nullptr) return Status::failure(triggerFault(*attributesFault_));
    auto* faulty = dynamic_cast<FaultyInputFile*>(&source);
    return inner_->copyAttributesFrom(faulty != nullptr ? faulty->inner() : source);
  }

  // A Create fault on the name strikes when an unnamed file would take it.
  Status publish() override {
    if (int e = owner_.check(FaultOp::Create, path_)) return Status::failure(e);
    return inner_->publish();
  }

  Status sync() override {
    if (syncFault_ != nullptr) return Status::failure(triggerFault(*syncFault_));
    Status done = inner_->sync();
    if (done.ok()) owner_.synced(path_, initialSize_ + done_);
    return done;
  }

  Status close() override {
    Status closed = inner_->close();
    if (int e = owner_.check(FaultOp::Close, path_)) return Status::failure(e);
    return closed;
  }

 private:
  std::unique_ptr<OutputFile> inner_;
  FaultyFileSystem& owner_;
  std::string path_;
  std::int64_t initialSize_;
  FaultyFileSystem::Fault* writeFault_;
  FaultyFileSystem::Fault* timeFault_;
  FaultyFileSystem::Fault* modeFault_;
  FaultyFileSystem::Fault* attributesFault_;
  FaultyFileSystem::Fault* syncFault_;
  std::int64_t done_ = 0;
};

std::string foldedCase(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

class FaultyFolder final : public Folder {
 public:
  FaultyFolder(std::unique_ptr<Folder> inner, FaultyFileSystem& owner)
      : Folder(inner->path()),
        inner_(std::move(inner)),
        owner_(owner),
        foldsCase_(owner.foldsCase(path())) {}

  FolderId id() const override { return inner_->id(); }

  Result<std::unique_ptr<Listing>> list() override {
    if (int e = owner_.check(FaultOp::ListStart, path())) {
      return Result<std::unique_ptr<Listing>>::failure(e);
    }
    auto listing = inner_->list();
    if (!listing.ok()) return listing;
    return Result<std::unique_ptr<Listing>>::of(std::make_unique<FaultyListing>(
        std::move(listing.value), owner_.find(FaultOp::ListMiddle, path()), owner_.kindsHidden()));
  }

  Result<EntryInfo> stat(const std::string& name) override {
    if (int e = owner_.check(FaultOp::Stat, pathOf(name))) return Result<EntryInfo>::failure(e);
    return inner_->stat(stored(name));
  }

  Result<std::unique_ptr<Folder>> openFolder(const std::string& name) override {
    if (int e = owner_.check(FaultOp::OpenFolder, pathOf(name))) {
      return Result<std::unique_ptr<Folder>>::failure(e);
    }
    auto opened = inner_->openFolder(stored(name));
    if (!opened.ok()) return opened;
    return Result<std::unique_ptr<Folder>>::of(
        std::make_unique<FaultyFolder>(std::move(opened.value), owner_));
  }

  Status makeFolder(const std::string& name, FileMode mode) override {
    if (int e = owner_.check(FaultOp::MakeFolder, pathOf(name))) return Status::failure(e);
    if (stored(name) != name) return Status::failure(EEXIST);
    return inner_->makeFolder(name, mode);
  }

  Status removeFolder(const std::string& name) override {
    if (int e = owner_.check(FaultOp::Delete, pathOf(name))) return Status::failure(e);
    return inner_->removeFolder(stored(name));
  }

  Status removeFile(const std::string& name) override {
    if (int e = owner_.check(FaultOp::Delete, pathOf(name))) return Status::failure(e);
    const std::string real = stored(name);
    Status removed = inner_->removeFile(real);
    if (removed.ok()) owner_.removed(pathOf(real));
    return removed;
  }

  Result<std::unique_ptr<InputFile>> openFile(const std::string& name) override {
    const std::string full = pathOf(name);
    if (int e = owner_.check(FaultOp::Open, full)) {
      return Result<std::unique_ptr<InputFile>>::failure(e);
    }
    auto opened = inner_->openFile(stored(name));
    if (!opened.ok()) return opened;
    return Result<std::unique_ptr<InputFile>>::of(std::make_unique<FaultyInputFile>(
        std::move(opened.value), owner_.find(FaultOp::Read, full)));
  }

  Result<std::unique_ptr<OutputFile>> createFile(const std::string& name) override {
    if (stored(name) != name) return Result<std::unique_ptr<OutputFile>>::failure(EEXIST);
    return output(name, 0, [&] { return inner_->createFile(name); });
  }

  // The file's writes, time and publishing fail as they would under `name`.
  Result<std::unique_ptr<OutputFile>> createUnnamedFile(const std::string& name) override {
    if (owner_.unnamedFilesRefused())
      return Result<std::unique_ptr<OutputFile>>::failure(EOPNOTSUPP);
    if (stored(name) != name) return Result<std::unique_ptr<OutputFile>>::failure(EEXIST);
    const std::string full = pathOf(name);
    // Only the creation itself here: a Create fault on the name strikes
    // when the file is published.
    auto opened = inner_->createUnnamedFile(name);
    if (!opened.ok()) return opened;
    return Result<std::unique_ptr<OutputFile>>::of(
        std::make_unique<FaultyOutputFile>(std::move(opened.value), owner_, full, 0));
  }

  Result<std::unique_ptr<OutputFile>> appendFile(const std::string& name) override {
    const std::string real = stored(name);
    const auto before = inner_->stat(real);
    return output(real, before.ok() ? before.value.size : 0,
                  [&] { return inner_->appendFile(real); });
  }

  Result<std::unique_ptr<OutputFile>> openToRewrite(const std::string& name) override {
    const std::string real = stored(name);
    const auto before = inner_->stat(real);
    return output(real, before.ok() ? before.value.size : 0,
                  [&] { return inner_->openToRewrite(real); });
  }

  Status rename(const std::string& from, const std::string& to) override {
    if (int e = owner_.check(FaultOp::Rename, pathOf(to))) return Status::failure(e);
    if (int e = owner_.check(FaultOp::Rename, pathOf(from))) return Status::failure(e);
    const std::string realFrom = stored(from);
    // A name that differs only in case from the entry it names is a change
    // of case; any other name in use is replaced under its stored case.
    const std::string storedTo = stored(to);
    const std::string realTo = storedTo == realFrom ? to : storedTo;
    Status renamed = inner_->rename(realFrom, realTo);
    if (renamed.ok()) owner_.renamed(pathOf(realFrom), pathOf(realTo));
    return renamed;
  }

  Status moveTo(const std::string& name, Folder& destination, const std::string& to) override {
    auto* other = dynamic_cast<FaultyFolder*>(&destination);
    if (other == nullptr) return Status::failure(EXDEV);
    if (int e = owner_.check(FaultOp::Rename, other->pathOf(to))) return Status::failure(e);
    if (int e = owner_.check(FaultOp::Rename, pathOf(name))) return Status::failure(e);
    const std::string real = stored(name);
    Status moved = inner_->moveTo(real, *other->inner_, to);
    if (moved.ok()) owner_.renamed(pathOf(real), other->pathOf(to));
    return moved;
  }

  Status linkTo(const std::string& name, Folder& destination, const std::string& to) override {
    auto* other = dynamic_cast<FaultyFolder*>(&destination);
    if (other == nullptr) return Status::failure(EXDEV);
    if (int e = owner_.check(FaultOp::Link, other->pathOf(to))) return Status::failure(e);
    if (int e = owner_.check(FaultOp::Link, pathOf(name))) return Status::failure(e);
    return inner_->linkTo(stored(name), *other->inner_, to);
  }

  Result<std::string> readLink(const std::string& name) override {
    if (int e = owner_.check(FaultOp::Open, pathOf(name))) {
      return Result<std::string>::failure(e);
    }
    return inner_->readLink(stored(name));
  }

  Status makeLink(const std::string& name, const std::string& text) override {
    if (int e = owner_.check(FaultOp::Create, pathOf(name))) return Status::failure(e);
    if (stored(name) != name) return Status::failure(EEXIST);
    return inner_->makeLink(name, text);
  }

  Status setLinkTime(const std::string& name, timespec modified) override {
    if (int e = owner_.check(FaultOp::SetTime, pathOf(name))) return Status::failure(e);
    return inner_->setLinkTime(stored(name), modified);
  }

  Status setLinkOwner(const std::string& name, UserId owner, GroupId group) override {
    return inner_->setLinkOwner(stored(name), owner, group);
  }

  Result<EntryInfo> info() override { return inner_->info(); }

  Status setModified(timespec modified) override {
    if (int e = owner_.check(FaultOp::SetTime, path())) return Status::failure(e);
    return inner_->setModified(modified);
  }

  Status setMode(FileMode mode) override {
    if (int e = owner_.check(FaultOp::SetMode, path())) return Status::failure(e);
    return inner_->setMode(mode);
  }

  Status setOwner(UserId owner, GroupId group) override { return inner_->setOwner(owner, group); }

  Status copyAttributesFrom(Folder& source) override {
    if (int e = owner_.check(FaultOp::Attributes, path())) return Status::failure(e);
    auto* faulty = dynamic_cast<FaultyFolder*>(&source);
    return inner_->copyAttributesFrom(faulty != nullptr ? *faulty->inner_ : source);
  }

  bool answersWithKeptTimes() override { return inner_->answersWithKeptTimes(); }
  bool foldsCase() override { return foldsCase_ || inner_->foldsCase(); }
  // Its failures and its record of what was synced are kept for one thread.
  bool gainsFromEarlySyncs() override { return false; }

  Status syncFileSystem() override {
    if (int e = owner_.check(FaultOp::Sync, path())) return Status::failure(e);
    Status done = inner_->syncFileSystem();
    if (done.ok()) owner_.syncedAll();
    return done;
  }

 private:
  // The name an entry is stored under when `name` reaches it: itself, or on
  // a case-folding folder the one entry whose name differs only in case.
  std::string stored(const std::string& name) {
    if (!foldsCase_ || name == "." || name == ".." || inner_->stat(name).ok()) return name;
    // A second descriptor of this folder, so that a listing the caller is
    // working through keeps its place.
    auto self = inner_->openFolder(".");
    if (!self.ok()) return name;
    auto listing = self.value->list();
    if (!listing.ok()) return name;
    const std::string wanted = foldedCase(name);
    ListedEntry entry;
    int error = 0;
    while (listing.value->next(entry, &error)) {
      if (foldedCase(entry.name) == wanted) return entry.name;
    }
    return name;
  }

  // Opens a file for writing through `open`, unless a Create fault strikes,
  // and wraps it so its writes, time and sync can fail too.
  template <class Open>
  Result<std::unique_ptr<OutputFile>> output(const std::string& name, std::int64_t initialSize,
                                             Open open) {
    const std::string full = pathOf(name);
    if (int e = owner_.check(FaultOp::Create, full)) {
      return Result<std::unique_ptr<OutputFile>>::failure(e);
    }
    auto opened = open();
    if (!opened.ok()) return opened;
    return Result<std::unique_ptr<OutputFile>>::of(
        std::make_unique<FaultyOutputFile>(std::move(opened.value), owner_, full, initialSize));
  }

  std::unique_ptr<Folder> inner_;
  FaultyFileSystem& owner_;
  const bool foldsCase_;
};

}  // namespace

void FaultyFileSystem::wrote(const std::string& path, std::int64_t initialSize) {
  std::lock_guard lock(keeping_);
  unsynced_.emplace(path, initialSize);
}

void FaultyFileSystem::synced(const std::string& path, std::int64_t size) {
  std::lock_guard lock(keeping_);
  if (auto it = unsynced_.find(path); it != unsynced_.end()) it->second = size;
}

void FaultyFileSystem::syncedAll() {
  std::lock_guard lock(keeping_);
  unsynced_.clear();
}

void FaultyFileSystem::removed(const std::string& path) {
  std::lock_guard lock(keeping_);
  unsynced_.erase(path);
}

void FaultyFileSystem::renamed(const std::string& from, const std::string& to) {
  std::lock_guard lock(keeping_);
  auto it = unsynced_.find(from);
  if (it == unsynced_.end()) {
    unsynced_.erase(to);  // what stood there was replaced
    return;
  }
  const std::int64_t size = it->second;
  unsynced_.erase(it);
  unsynced_[to] = size;
}

void FaultyFileSystem::dropUnsyncedData() {
  std::lock_guard lock(keeping_);
  for (const auto& [path, size] : unsynced_) {
    const auto [folderPath, name] = splitPath(path);
    auto folder = inner_.openFolder(folderPath);
    if (!folder.ok()) continue;
    const auto info = folder.value->stat(name);
    if (!info.ok() || info.value.kind != EntryKind::File || info.value.size <= size) continue;
    auto file = folder.value->openToRewrite(name);
    if (!file.ok() || !file.value->resize(size).ok()) continue;
    (void)file.value->setModified(info.value.modified);
    (void)file.value->close();
  }
  unsynced_.clear();
}

void FaultyFileSystem::foldCase(const std::string& folder) { foldingFolders_.push_back(folder); }

bool FaultyFileSystem::foldsCase(const std::string& path) const {
  for (const auto& folder : foldingFolders_) {
    if (path == folder || path.rfind(folder + "/", 0) == 0) return true;
  }
  return false;
}

void FaultyFileSystem::fail(FaultOp op, const std::string& path, int error, std::int64_t after) {
  faults_.emplace_back(
      op, [path](const std::string& p) { return p == path; }, error, after, false);
}

void FaultyFileSystem::failUnder(FaultOp op, const std::string& folder, int error,
                                 std::int64_t after) {
  const std::string prefix = folder + "/";
  faults_.emplace_back(
      op, [prefix](const std::string& p) { return p.rfind(prefix, 0) == 0; }, error, after, false);
}

void FaultyFileSystem::crash(FaultOp op, const std::string& path, std::int64_t after) {
  faults_.emplace_back(
      op, [path](const std::string& p) { return p == path; }, EIO, after, true);
}

void FaultyFileSystem::crashUnder(FaultOp op, const std::string& folder, std::int64_t after) {
  const std::string prefix = folder + "/";
  faults_.emplace_back(
      op, [prefix](const std::string& p) { return p.rfind(prefix, 0) == 0; }, EIO, after, true);
}

void FaultyFileSystem::interruptWrite(const std::string& folder, std::function<void()> action) {
  std::lock_guard lock(keeping_);
  interrupts_.emplace_back(folder + "/", std::move(action));
}

void FaultyFileSystem::interruptIfDue(const std::string& path) {
  std::function<void()> action;
  {
    std::lock_guard lock(keeping_);
    for (auto it = interrupts_.begin(); it != interrupts_.end(); ++it) {
      if (path.rfind(it->first, 0) != 0) continue;
      action = std::move(it->second);
      interrupts_.erase(it);
      break;
    }
  }
  // Outside the lock: the action may write through this file system itself.
  if (action) action();
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
  // Where the system makes no unnamed files (Windows, FAT), a copy is made
  // under a temporary name (".tavro-part.", ".tavro-part2.", ... before its
  // own): a fault set on the copy strikes it there too. The name is spelled
  // out here so that the platform's tests need not link the engine.
  const auto [folder, name] = splitPath(path);
  if ((op == FaultOp::Create || op == FaultOp::Write) && name.starts_with(".tavro-part") &&
      name.find('.', 1) != std::string::npos) {
    const std::size_t dot = name.find('.', 1);
    return find(op, joinPath(folder, name.substr(dot + 1)));
  }
  return nullptr;
}

int FaultyFileSystem::check(FaultOp op, const std::string& path) {
  if (std::this_thread::get_id() != creator_) ++otherThreadCalls_;
  std::lock_guard lock(checking_);
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

}  // namespace tavro::testkit
