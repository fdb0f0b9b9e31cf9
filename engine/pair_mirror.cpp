#include "engine/pair_mirror.h"

#include <cerrno>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/deletion_pass.h"
#include "engine/history.h"
#include "engine/target_folder.h"
#include "engine/tree_copy.h"
#include "engine/write_back.h"

namespace tavro {

namespace {

enum class Deletions {
  Mirror,  // what the source no longer has is removed from the pair folder
  Keep,    // the backup keeps what the source lost
  Shared,  // another pair's backup lies in the pair folder: kept, with a failure
};

// Whether a folder holds any entry, or why it cannot be listed.
Result<bool> holdsEntries(Folder& folder) {
  auto listing = folder.list();
  if (!listing.ok()) return Result<bool>::failure(listing.error);
  ListedEntry entry;
  int error = 0;
  const bool any = listing.value->next(entry, &error);
  if (error != 0) return Result<bool>::failure(error);
  return Result<bool>::of(any);
}

// Known to hold nothing: a folder that cannot be listed may hold anything.
bool knownEmpty(Folder& folder) {
  const Result<bool> holds = holdsEntries(folder);
  return holds.ok() && !holds.value;
}

// Putting a pair on the disk can take a good part of a second after many
// writes; the window keeps answering meanwhile. Nothing else touches the
// folder until the sync is done.
Status syncWhileAnswering(Folder& folder, RunDisplay& display) {
  auto synced = std::async(std::launch::async, [&folder] { return folder.syncFileSystem(); });
  while (synced.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
    display.processMessages();
  }
  return synced.get();
}

// What the deletion pass may do, decided before anything is copied.
struct DeletionDecision {
  bool allowed = false;           // it may remove what the source lacks
  bool needed = false;            // and there is something to remove
  std::vector<Failure> failures;  // to show after the copy pass
};

// The deletion pass, counted against the pair folder as the last run left
// it, before this run's copies are added: one that would take most of its
// files (a source emptied by mistake, or encrypted under new names the copy
// pass is about to add beside the originals) removes nothing unless the
// user confirms it.
DeletionDecision countDeletions(RunDisplay& display, Folder& source, Folder& folder,
                                const std::string& sourcePath, const PairOptions& options) {
  DeletionDecision decision;
  PairPlan counted;
  counted.keepEntries = false;
  QuietDisplay quiet(display);
  deleteVanished(quiet, source, folder, options.otherSources, {options.stop, &counted, nullptr});
  decision.failures = std::move(quiet.failures);
  if (stopRequested(options.stop)) return decision;
  const std::int64_t k = counted.deletedFiles;
  const std::int64_t n = counted.pairFolderFiles;
  if (counted.deletes() && k > kMassDeletionFiles && 2 * k > n &&
      !(options.run.confirmMassDeletion && options.run.confirmMassDeletion(k, n, folder.path()))) {
    decision.failures.push_back(Failure::massDeletion(sourcePath, k, n));
    return decision;
  }
  decision.allowed = true;
  decision.needed = counted.deletes();
  // The pass itself reports them again.
  if (decision.needed) decision.failures.clear();
  return decision;
}

// How finely the pair folder keeps times: probed by a run, which writes
// anyway, and remembered for the plans, which write nothing.
TimePrecision timePrecisionOf(Folder& folder, Folder& targetTop, const PairOptions& options) {
  auto* known = options.timePrecisions;
  if (options.plan == nullptr) {
    const TimePrecision found = probeTimePrecision(folder, targetTop);
    if (known != nullptr) (*known)[folder.id()] = found;
    return found;
  }
  if (known == nullptr) return {};
  const auto found = known->find(folder.id());
  return found != known->end() ? found->second : TimePrecision{};
}

}  // namespace

std::string lastComponent(const std::string& source) {
  // "/data/" names the folder "data" as "/data" does; a pair folder that is
  // the target itself would have its deletion pass remove other folders of
  // the target.
  return splitPath(withoutTrailingSeparators(source)).name;  // "/" has none
}

bool liesInHistory(FileSystem& fs, const std::string& target) {
  const std::string real = fs.resolve(target);
  std::size_t start = 0;
  while (start < real.size()) {
    std::size_t end = start;
    while (end < real.size() && !isPathSeparator(real[end])) ++end;
    if (real.compare(start, end - start, kHistoryFolderName) == 0 &&
        end - start == std::char_traits<char>::length(kHistoryFolderName)) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

std::string pairFolderOf(const std::string& source, const std::string& target) {
  return joinPath(target, lastComponent(source));
}

namespace {

// One pair's mirror, step by step: the checks that open its folders, the
// deletion pass's decision, the copy pass, the deletion pass, and putting it
// on the disk.
class PairMirror {
 public:
  PairMirror(FileSystem& fs, RunDisplay& display, const std::string& source,
             const std::string& target, const PairOptions& options)
      : fs_(fs),
        display_(display),
        source_(source),
        target_(target),
        options_(options),
        name_(lastComponent(source)),
        planOnly_(options.plan != nullptr) {}

  void run() {
    if (!open()) return;
    TargetFolder targetFolder(std::move(targetTop_));
    TargetFolder pairFolder(targetFolder, name_);
    const bool existedBefore = pairFolder.get() != nullptr;
    // A failure shows as the copies that need the folder fail.
    if (!planOnly_) pairFolder.createOneLevel();
    if (options_.run.historyDays > 0 && !planOnly_) {
      history_.emplace(*targetFolder.get(), historyNameOf(source_), pairFolder.path(),
                       options_.runStart);
    }
    const DeletionDecision deletion = decideDeletions(pairFolder, existedBefore);
    copy(*targetFolder.get(), pairFolder, deletion.allowed);
    Folder* folder = pairFolder.get();
    deleteVanishedFiles(folder, deletion);
    if (planOnly_) return;
    if (history_) history_->prune(options_.run.historyDays);
    if (options_.run.durable) putOnDisk(folder != nullptr ? *folder : *targetFolder.get());
  }

 private:
  void fail(FailureKind kind, const std::string& path, int error = 0) {
    display_.failed({kind, path, error});
  }
  void invalidPair() {
    display_.failed(Failure::ofPair(FailureKind::InvalidPair, source_, target_));
  }

  // What the pair needs, checked before anything is written; false, with
  // the failure reported, when the pair is not to be run.
  bool open() {
    // A pair folder inside a history would move or delete another pair's
    // versions; one that is the target itself would prune the whole target.
    if (name_.empty() || name_ == "." || name_ == ".." || name_ == kHistoryFolderName ||
        liesInHistory(fs_, target_)) {
      invalidPair();
      return false;
    }
    auto targetTop = fs_.openFolder(target_);
    if (!targetTop.ok()) {
      const bool missing = targetTop.error == ENOENT || targetTop.error == ENOTDIR;
      fail(missing ? FailureKind::TargetMissing : FailureKind::TargetUnopenable, target_,
           targetTop.error);
      return false;
    }
    // An unplugged drive leaves its mount point behind as an empty folder of
    // the system disk: a whole backup written there would be no backup, and
    // the next run on the drive would find its pair folder outdated.
    if (fs_.unmountedMountPointOf(target_) ||
        (options_.backedUpBefore && knownEmpty(*targetTop.value))) {
      fail(FailureKind::TargetNotMounted, target_);
      return false;
    }
    auto sourceTop = fs_.openFolder(source_);
    const auto sourceListed =
        sourceTop.ok() ? holdsEntries(*sourceTop.value) : Result<bool>::failure(sourceTop.error);
    if (!sourceListed.ok()) {
      fail(FailureKind::SourceUnreadable, source_, sourceListed.error);
      return false;
    }
    const auto existing = targetTop.value->stat(name_);
    if (existing.ok() && existing.value.kind == EntryKind::Link) {
      invalidPair();
      return false;
    }
    targetTop_ = std::move(targetTop.value);
    sourceTop_ = std::move(sourceTop.value);
    sourceHoldsEntries_ = sourceListed.value;
    return true;
  }

  Deletions asked() const {
    return !options_.run.mirrorDeletions ? Deletions::Keep
           : options_.sharesPairFolder   ? Deletions::Shared
                                         : Deletions::Mirror;
  }

  // What the deletion pass may do, decided against the pair folder as the
  // last run left it.
  DeletionDecision decideDeletions(TargetFolder& pairFolder, bool existedBefore) {
    DeletionDecision deletion;
    if (asked() != Deletions::Mirror || planOnly_) return deletion;
    if (!existedBefore) {
      deletion.allowed = true;  // nothing there yet that could go
      return deletion;
    }
    Folder& before = *pairFolder.get();
    if (!sourceHoldsEntries_ && !knownEmpty(before)) {
      deletion.failures.push_back({FailureKind::EmptySource, source_});
      return deletion;
    }
    return countDeletions(display_, *sourceTop_, before, source_, options_);
  }

  void copy(Folder& top, TargetFolder& pairFolder, bool replaceOtherKinds) {
    PassOptions copying{options_.stop, options_.plan, keeper(), options_.run.readAhead};
    copying.replaceOtherKinds = replaceOtherKinds;
    copying.otherSources = options_.otherSources;
    copying.keepOwners = fs_.keepsOwners();
    if (Folder* folder = pairFolder.get()) copying.times = timePrecisionOf(*folder, top, options_);
    // The syncs go through a descriptor of their own: the walk's folders
    // are not shared between threads.
    std::optional<EarlyWriteBack> early;
    if (options_.run.durable && !planOnly_ && top.gainsFromEarlySyncs()) {
      if (auto own = top.openFolder("."); own.ok()) {
        early.emplace([folder = std::shared_ptr<Folder>(
                           std::move(own.value))] { (void)folder->syncFileSystem(); },
                      std::chrono::milliseconds(250));
      }
    }
    copyTree(display_, *sourceTop_, pairFolder, copying);
    if (early) early->end([this] { display_.processMessages(); });
  }

  void deleteVanishedFiles(Folder* folder, const DeletionDecision& deletion) {
    // After a stop the deletion pass does not start; what the copy pass
    // wrote still goes on the disk.
    const Deletions deletions = stopRequested(options_.stop) ? Deletions::Keep : asked();
    switch (deletions) {
      case Deletions::Keep: return;
      case Deletions::Shared:
        fail(FailureKind::SharedPairFolder, pairFolderOf(source_, target_));
        return;
      case Deletions::Mirror: break;
    }
    if (planOnly_) {
      if (folder == nullptr) return;  // nothing there to delete
      if (!sourceHoldsEntries_ && !knownEmpty(*folder)) {
        fail(FailureKind::EmptySource, source_);
      } else {
        deleteVanished(display_, *sourceTop_, *folder, options_.otherSources,
                       {options_.stop, options_.plan, nullptr});
      }
      return;
    }
    for (const Failure& failure : deletion.failures) display_.failed(failure);
    if (deletion.needed && folder != nullptr) {
      deleteVanished(display_, *sourceTop_, *folder, options_.otherSources,
                     {options_.stop, nullptr, keeper()});
    }
  }

  void putOnDisk(Folder& written) {
    if (const Status synced = syncWhileAnswering(written, display_); !synced.ok()) {
      fail(FailureKind::NotOnDisk, written.path(), synced.error);
    }
  }

  History* keeper() { return history_ ? &*history_ : nullptr; }

  FileSystem& fs_;
  RunDisplay& display_;
  const std::string& source_;
  const std::string& target_;
  const PairOptions& options_;
  const std::string name_;
  const bool planOnly_;
  std::unique_ptr<Folder> targetTop_;
  std::unique_ptr<Folder> sourceTop_;
  bool sourceHoldsEntries_ = false;
  std::optional<History> history_;
};

}  // namespace

void mirrorPair(FileSystem& fs, RunDisplay& display, const std::string& source,
                const std::string& target, const PairOptions& options) {
  PairMirror(fs, display, source, target, options).run();
}

}  // namespace tavro
