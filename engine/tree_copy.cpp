#include "engine/tree_copy.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "engine/deletion_pass.h"
#include "engine/file_stamp.h"
#include "engine/history.h"
#include "engine/lookup_worker.h"
#include "engine/plan.h"
#include "engine/walk_limits.h"

namespace tavro {

namespace {

// A folder's copy must stay open to its owner for later runs to work in it.
FileMode folderMode(FileMode sourceMode) { return (sourceMode & 0777) | kOwnerAll; }

// A listing is handled in batches of this many entries, whose lookups are
// made before any of them is handled.
constexpr std::size_t kBatchSize = 128;
// Fewer lookups than this are made when the walk comes to them: handing them
// over to the worker would cost more than it saves.
constexpr std::size_t kMinLookupsAhead = 16;

// A listed entry, with what was looked up about it ahead of its turn.
struct BatchEntry {
  ListedEntry listed;
  bool ahead = false;  // `source` and `target` hold lookups made ahead
  Result<EntryInfo> source;
  Result<EntryInfo> target;
};

// A failure or a line kept to be shown later, in its place in the list.
using KeptLine = std::variant<std::string, Failure>;

void showLines(const std::vector<KeptLine>& lines, RunDisplay& display) {
  for (const auto& item : lines) {
    if (const auto* line = std::get_if<std::string>(&item)) {
      display.addLine(*line);
    } else {
      display.failed(std::get<Failure>(item));
    }
  }
}

// The walk's display. While a folder is copied beside the walk, the walk's
// own failures and lines wait until that folder's are shown: the list keeps
// the order the walk would give them on its own.
class LineOrder final : public RunDisplayWrapper {
 public:
  using RunDisplayWrapper::RunDisplayWrapper;
  void addLine(const std::string& line) override {
    if (holding_) {
      held_.emplace_back(line);
    } else {
      target().addLine(line);
    }
  }
  void failed(const Failure& failure) override {
    if (holding_) {
      held_.emplace_back(failure);
    } else {
      target().failed(failure);
    }
  }
  void hold() { holding_ = true; }
  void release() {
    holding_ = false;
    showLines(held_, target());
    held_.clear();
  }
  RunDisplay& shown() const { return target(); }

 private:
  bool holding_ = false;
  std::vector<KeptLine> held_;
};

// The display of the copy of a new folder beside the walk, on the second
// thread. Its failures and lines are kept, to be shown on the run's thread
// once the copy is over; the file it is copying can be shown there while the
// walk waits for it. Nothing of the run's display is called from the second
// thread.
class AlongsideDisplay final : public RunDisplay {
 public:
  void fileCopyStarted(const std::string& sourcePath) override {
    std::lock_guard lock(mutex_);
    file_ = sourcePath;
    range_ = position_ = 0;
    ++changes_;
  }
  void fileGaugeRange(int maximum) override {
    std::lock_guard lock(mutex_);
    range_ = maximum;
    position_ = 0;
  }
  void fileGaugeProgress(int position) override {
    std::lock_guard lock(mutex_);
    position_ = position;
  }
  void fileCopyFinished() override {
    std::lock_guard lock(mutex_);
    file_.clear();
    ++changes_;
  }
  void fileDeletionStarted(const std::string&) override {}
  void fileDeletionFinished() override {}
  void addLine(const std::string& line) override {
    std::lock_guard lock(mutex_);
    kept_.emplace_back(line);
  }
  void failed(const Failure& failure) override {
    std::lock_guard lock(mutex_);
    kept_.emplace_back(failure);
  }
  void processMessages() override {}

  // On the run's thread: the file being copied now, with its gauge.
  void showCurrentFile(RunDisplay& display) {
    std::unique_lock lock(mutex_);
    const std::string file = file_;
    const int range = range_, position = position_;
    const std::uint64_t changes = changes_;
    lock.unlock();
    if (changes != shownChanges_) {
      shownChanges_ = changes;
      stopShowing(display);
      if (file.empty()) return;
      display.fileCopyStarted(file);
      display.fileGaugeRange(range);
      showing_ = true;
    }
    if (showing_) display.fileGaugeProgress(position);
  }

  // On the run's thread, once the copy is over: its failures and lines.
  void showKept(RunDisplay& display) {
    stopShowing(display);
    std::lock_guard lock(mutex_);
    showLines(kept_, display);
  }

 private:
  void stopShowing(RunDisplay& display) {
    if (showing_) display.fileCopyFinished();
    showing_ = false;
  }

  std::mutex mutex_;
  std::vector<KeptLine> kept_;
  std::string file_;
  int range_ = 0;
  int position_ = 0;
  std::uint64_t changes_ = 0;
  // The run's thread's own.
  std::uint64_t shownChanges_ = 0;
  bool showing_ = false;
};

class TreeCopy {
 public:
  TreeCopy(RunDisplay& display, const PassOptions& options)
      : order_(display),
        display_(order_),
        options_(options),
        stop_(options.stop),
        plan_(options.plan),
        readAhead_(options.readAhead) {}

  void run(Folder& source, TargetFolder& target) {
    display_.processMessages();
    targetTop_ = &target;
    sourceTop_ = source.id();
    alongsideOptions_ = options_;
    // Beside the walk nothing is removed to make room; what it replaces (in
    // a folder someone else made meanwhile) goes into the history, which
    // takes moves from both threads.
    alongsideOptions_.replaceOtherKinds = false;
    alongsideOptions_.readAhead = false;
    try {
      copyFolder(source, target, false);
    } catch (...) {
      // What was found before the failure is shown, as it would have been.
      copier_.abandon();
      if (alongside_) alongside_->display.showKept(order_.shown());
      order_.release();
      throw;
    }
    endAlongside();
  }

 private:
  // A folder the walk has just created, copied whole on the second thread
  // while the walk goes on with the folders after it.
  struct AlongsideCopy {
    std::unique_ptr<Folder> source;
    std::unique_ptr<TargetFolder> target;
    AlongsideDisplay display;
  };

  // Hands the new folder `name` over to the second thread when that is
  // free; false when the walk is to copy it itself.
  bool copyAlongside(std::unique_ptr<Folder>& source, TargetFolder& target,
                     const std::string& name) {
    if (!readAhead_ || plan_ != nullptr || !copier_.idleWithin(std::chrono::milliseconds(0))) {
      return false;
    }
    showAlongsideCopy();
    Folder* parent = target.get();
    if (parent == nullptr) return false;
    auto opened = parent->openFolder(name);
    if (!opened.ok()) return false;
    alongside_ = std::make_unique<AlongsideCopy>();
    alongside_->source = std::move(source);
    alongside_->target = std::make_unique<TargetFolder>(std::move(opened.value));
    const auto topId = targetTop_->id();
    copier_.start([&options = alongsideOptions_, copy = alongside_.get(), topId,
                   sourceTop = sourceTop_, depth = depth_ + 1] {
      TreeCopy beside(copy->display, options);
      beside.copyNewFolder(*copy->source, *copy->target, topId, sourceTop, depth);
    });
    order_.hold();
    return true;
  }

  // On the second thread: a folder created by the walk, and all in it.
  void copyNewFolder(Folder& source, TargetFolder& target, std::optional<FolderId> targetTopId,
                     FolderId sourceTop, int depth) {
    targetTopId_ = targetTopId;
    sourceTop_ = sourceTop;
    depth_ = depth;
    copyFolder(source, target, true);
  }

  // The last folder handed over is done: what it failed is shown, then
  // what the walk failed since; what it threw is thrown here.
  void showAlongsideCopy() {
    if (!alongside_) return;
    copier_.finish();
    alongside_->display.showKept(order_.shown());
    alongside_.reset();
    order_.release();
  }

  // The walk is over: it waits for the second thread with the window
  // answering, so that a stop request still reaches both.
  void endAlongside() {
    while (!copier_.idleWithin(std::chrono::milliseconds(50))) {
      alongside_->display.showCurrentFile(display_);
      display_.processMessages();
    }
    showAlongsideCopy();
  }

  std::optional<FolderId> targetTopId() const {
    return targetTop_ != nullptr ? targetTop_->id() : targetTopId_;
  }

  void copyFolder(Folder& source, TargetFolder& target, bool targetIsNew) {
    auto listing = source.list();
    if (!listing.ok()) {
      cannotRead(source.path(), listing.error);
      return;
    }
    std::vector<BatchEntry> batch;
    int error = 0;
    bool more = true;
    // A listing that breaks off ends this folder like its end would.
    while (more) {
      batch.clear();
      ListedEntry entry;
      while (batch.size() < kBatchSize && (more = listing.value->next(entry, &error))) {
        batch.push_back(BatchEntry{std::move(entry), false, {}, {}});
      }
      const std::uint64_t writesBefore = writes_;
      // In a folder this walk created there is nothing to look up ahead.
      if (readAhead_ && !targetIsNew) {
        if (Folder* out = target.get()) lookAhead(source, *out, batch);
      }
      for (BatchEntry& item : batch) {
        if (stopRequested(stop_)) return;
        // What the walk wrote since may have changed what the target holds.
        if (writes_ != writesBefore) item.ahead = false;
        const auto kind = item.ahead && item.listed.kind == EntryKind::Unknown
                              ? kindOfLookup(item.source)
                              : kindOf(source, item.listed);
        if (!kind) continue;
        if (*kind == EntryKind::Folder) {
          copySubfolder(source, item.listed.name, target);
        } else if (*kind != EntryKind::Special) {
          copyEntry(source, item, target, targetIsNew);
        }
      }
    }
    if (error != 0) cannotRead(source.path(), error);
    finishFolder(source, target);
  }

  bool replacesOtherKinds() const { return options_.replaceOtherKinds && plan_ == nullptr; }

  static std::optional<EntryKind> kindOfLookup(const Result<EntryInfo>& info) {
    if (!info.ok()) return std::nullopt;
    return info.value.kind;
  }

  // Looks up the batch's files in the source on this thread and in the
  // target on the worker at the same time. The results serve only until the
  // walk next writes anything.
  void lookAhead(Folder& source, Folder& target, std::vector<BatchEntry>& batch) {
    std::vector<BatchEntry*> files;
    for (BatchEntry& item : batch) {
      if (item.listed.kind != EntryKind::Folder && item.listed.kind != EntryKind::Special) {
        files.push_back(&item);
      }
    }
    if (files.size() < kMinLookupsAhead) return;
    worker_.start([&files, &target] {
      for (BatchEntry* item : files) item->target = target.stat(item->listed.name);
    });
    // The worker uses `files` and the entries: it is done before they go,
    // even when a lookup here throws.
    try {
      for (BatchEntry* item : files) item->source = source.stat(item->listed.name);
    } catch (...) {
      worker_.abandon();
      throw;
    }
    worker_.finish();
    for (BatchEntry* item : files) item->ahead = true;
  }

  void copySubfolder(Folder& source, const std::string& name, TargetFolder& target) {
    if (depth_ >= kMaxFolderDepth) {
      display_.failed({FailureKind::FolderTooDeep, source.pathOf(name)});
      return;
    }
    auto sub = source.openFolder(name);
    // A target inside its own source would otherwise be copied into itself
    // without end. (The listing's inode cannot stand in for this check: at a
    // mount point it names the folder underneath.)
    const auto top = targetTopId();
    if (sub.ok() && top && *top == sub.value->id()) return;
    TargetFolder child(target, name);
    // A file in the folder's place goes first, as the deletion pass would
    // take it, so that the folder is whole after this run.
    if (child.otherKindInTheWay() && replacesOtherKinds()) {
      if (Folder* parent = target.get()) {
        ++writes_;
        (void)removeOtherKind(display_, *parent, name, sourceTop_, options_);
      }
    }
    const bool created = child.get() == nullptr && plan_ == nullptr;
    if (created) {
      ++writes_;
      child.createOneLevel();
    }
    display_.processMessages();
    if (!sub.ok()) {
      // A folder that went away since it was listed is no failure.
      if (sub.error != ENOENT && sub.error != ENOTDIR) cannotRead(source.pathOf(name), sub.error);
      return;
    }
    if (created && copyAlongside(sub.value, target, name)) return;
    ++depth_;
    copyFolder(*sub.value, child, created);
    --depth_;
  }

  void attributesNotCopied(const std::string& path) {
    display_.failed({FailureKind::AttributesNotCopied, path});
  }

  // Once its contents are there, the folder takes its source's owner,
  // permissions, attributes and time: a folder the run changed anything in
  // (its time then differs) or whose permissions differ. The time goes last,
  // as every change inside a folder moves it.
  void finishFolder(Folder& source, TargetFolder& target) {
    if (plan_ != nullptr || stopRequested(stop_)) return;
    Folder* out = target.get();
    if (out == nullptr) return;
    const auto from = source.info();
    const auto to = out->info();
    if (!from.ok() || !to.ok()) return;
    const FileMode mode = folderMode(from.value.mode);
    const bool owned = !options_.keepOwners ||
                       (to.value.owner == from.value.owner && to.value.group == from.value.group);
    const bool sameMode = (to.value.mode & 07777) == mode;
    const bool sameTime = options_.times.same(to.value.modified, from.value.modified, offset_);
    // Targets whose precision was not probed (FAT, FUSE, network ones) may
    // keep no modes or owners at all: there they would differ at every run,
    // and only a time that differs calls for the work.
    const bool keepsModes = options_.times.unit != 0;
    if (sameTime && (!keepsModes || (owned && sameMode))) return;
    if (!owned) (void)out->setOwner(from.value.owner, from.value.group);
    bool kept = out->copyAttributesFrom(source).ok();
    if (!sameMode) (void)out->setMode(mode);
    kept = out->setModified(from.value.modified).ok() && kept;
    if (!kept) attributesNotCopied(source.path());
  }

  // The backup of such a folder stays as it is: the deletion pass leaves
  // alone what it cannot compare.
  void cannotRead(const std::string& path, int error) {
    display_.failed({FailureKind::FolderUnreadable, path, error});
  }

  void copyEntry(Folder& source, const BatchEntry& item, TargetFolder& target, bool targetIsNew) {
    const std::string& name = item.listed.name;
    // A file the listing named, going into a folder this walk created, has
    // nothing to be compared with: the copy looks at the file once it is
    // open.
    const bool unseen = targetIsNew && item.listed.kind == EntryKind::File;
    const auto info = item.ahead ? item.source
                      : unseen   ? Result<EntryInfo>::of(EntryInfo{EntryKind::File})
                                 : source.stat(name);
    if (info.ok() && info.value.kind == EntryKind::Folder) {
      copySubfolder(source, name, target);
      return;
    }
    if (info.ok() && info.value.kind == EntryKind::Special) return;

    // In a folder this walk created, only what it put there could be found.
    Result<EntryInfo> existing = Result<EntryInfo>::failure(ENOENT);
    if (item.ahead) {
      existing = item.target;
    } else if (Folder* out = targetIsNew ? nullptr : target.get()) {
      existing = out->stat(name);
    }

    if (existing.ok() && existing.value.kind == EntryKind::Folder && replacesOtherKinds()) {
      // The folder goes (into the history, when versions are kept) and the
      // file takes its place in this run; the backup holds the entry as the
      // source now has it.
      if (Folder* out = target.get()) {
        ++writes_;
        if (removeOtherKind(display_, *out, name, sourceTop_, options_)) {
          copyWithDisplay(source, name, info, target, name, CopyMode::New, false);
          return;
        }
      }
    }
    if (existing.ok() && existing.value.kind == EntryKind::Folder) {
      // A folder holds the file's name: the copy goes into that folder under
      // the same name. The deletion pass then removes the folder, and the
      // next run puts the file where it belongs.
      TargetFolder inside(target, name);
      Result<EntryInfo> there = Result<EntryInfo>::failure(ENOENT);
      if (Folder* folder = inside.get()) there = folder->stat(name);
      // A folder of that name in there, too, makes the creation fail.
      const bool replace = there.ok() && there.value.kind != EntryKind::Folder;
      copyWithDisplay(source, name, info, inside, name, replace ? CopyMode::Replace : CopyMode::New,
                      false);
      return;
    }

    if (existing.ok()) {
      // The size catches a copy left by an older version, which wrote under
      // the real name and could be cut short within its source's second.
      const bool unchanged =
          info.ok() && existing.value.kind == info.value.kind &&
          existing.value.size == info.value.size &&
          options_.times.same(existing.value.modified, info.value.modified, offset_);
      if (unchanged) return;
      copyWithDisplay(source, name, info, target, name, CopyMode::Replace, true);
      return;
    }
    copyWithDisplay(source, name, info, target, name, CopyMode::New, false);
  }

  void copyWithDisplay(Folder& source, const std::string& name, const Result<EntryInfo>& info,
                       TargetFolder& target, const std::string& targetName, CopyMode mode,
                       bool replacingOutdatedCopy) {
    const std::string sourcePath = source.pathOf(name);
    ++writes_;
    if (plan_ != nullptr) {
      const bool file = info.ok() && info.value.kind == EntryKind::File;
      plan_->add(mode == CopyMode::New ? Change::New : Change::Changed, false,
                 file ? info.value.size : 0, sourcePath);
      return;
    }
    display_.fileCopyStarted(sourcePath);
    display_.processMessages();
    CopyOutcome outcome;
    if (info.ok() && info.value.kind == EntryKind::Link) {
      display_.fileGaugeRange(0);
      outcome = copyLink(source, name, info.value, target, targetName, mode, options_);
      display_.fileGaugeProgress(0);
    } else {
      outcome = copyFileWithProgress(source, name, target, targetName, mode, display_, options_);
    }
    if (outcome == CopyOutcome::Stopped) {
      display_.fileCopyFinished();
      return;
    }
    if (outcome == CopyOutcome::CopiedWithoutAttributes) {
      attributesNotCopied(sourcePath);
      outcome = CopyOutcome::Copied;
    }
    if (outcome == CopyOutcome::ReplaceFailed && replacingOutdatedCopy) {
      display_.failed({FailureKind::OldCopyNotRemoved, joinPath(target.path(), targetName)});
    }
    if (outcome != CopyOutcome::Copied) {
      display_.failed({FailureKind::NotCopied, sourcePath});
    }
    display_.fileCopyFinished();
  }

  LineOrder order_;
  RunDisplay& display_;  // order_
  const PassOptions& options_;
  const StopRequest* stop_;
  PairPlan* plan_;
  const long offset_ = currentUtcOffset();
  const bool readAhead_;
  TargetFolder* targetTop_ = nullptr;    // null on the second thread
  std::optional<FolderId> targetTopId_;  // the second thread's
  FolderId sourceTop_;
  int depth_ = 0;
  // Everything the walk created, replaced or planned so far: lookups made
  // before the latest of these no longer count.
  std::uint64_t writes_ = 0;
  LookupWorker worker_;
  PassOptions alongsideOptions_;
  std::unique_ptr<AlongsideCopy> alongside_;
  // Declared after what its job uses, so that it is done first.
  LookupWorker copier_;
};

}  // namespace

void copyTree(FileSystem& fs, RunDisplay& display, const std::string& source,
              const std::string& target, const PassOptions& options) {
  auto top = fs.openFolder(source);
  if (!top.ok()) {
    display.processMessages();
    return;
  }
  TargetFolder targetTop(fs, target);
  copyTree(display, *top.value, targetTop, options);
}

void copyTree(RunDisplay& display, Folder& source, TargetFolder& target,
              const PassOptions& options) {
  TreeCopy(display, options).run(source, target);
}

}  // namespace tavro
