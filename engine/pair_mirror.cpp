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
TimePrecision timePrecisionOf(Folder& folder, const PairOptions& options) {
  auto* known = options.timePrecisions;
  if (options.plan == nullptr) {
    const TimePrecision found = probeTimePrecision(folder);
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
  std::string trimmed = source;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  return splitPath(trimmed).name;  // "/" has none
}

bool liesInHistory(FileSystem& fs, const std::string& target) {
  const std::string real = fs.resolve(target);
  std::size_t start = 0;
  while (start < real.size()) {
    const std::size_t end = std::min(real.find('/', start), real.size());
    if (real.compare(start, end - start, kHistoryFolderName) == 0 &&
        end - start == std::char_traits<char>::length(kHistoryFolderName)) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

std::string pairFolderOf(const std::string& source, const std::string& target) {
  return target + "/" + lastComponent(source);
}

void mirrorPair(FileSystem& fs, RunDisplay& display, const std::string& source,
                const std::string& target, const PairOptions& options) {
  auto fail = [&display](FailureKind kind, const std::string& path, int error = 0) {
    display.failed({kind, path, error});
  };
  auto invalidPair = [&display, &source, &target] {
    display.failed(Failure::ofPair(FailureKind::InvalidPair, source, target));
  };
  const std::string name = lastComponent(source);
  // A pair folder inside a history would move or delete another pair's
  // versions; one that is the target itself would prune the whole target.
  if (name.empty() || name == "." || name == ".." || name == kHistoryFolderName ||
      liesInHistory(fs, target)) {
    invalidPair();
    return;
  }

  auto targetTop = fs.openFolder(target);
  if (!targetTop.ok()) {
    const bool missing = targetTop.error == ENOENT || targetTop.error == ENOTDIR;
    fail(missing ? FailureKind::TargetMissing : FailureKind::TargetUnopenable, target,
         targetTop.error);
    return;
  }
  // An unplugged drive leaves its mount point behind as an empty folder of
  // the system disk: a whole backup written there would be no backup, and
  // the next run on the drive would find its pair folder outdated.
  if (fs.unmountedMountPointOf(target) ||
      (options.backedUpBefore && knownEmpty(*targetTop.value))) {
    fail(FailureKind::TargetNotMounted, target);
    return;
  }
  auto sourceTop = fs.openFolder(source);
  const auto sourceListed =
      sourceTop.ok() ? holdsEntries(*sourceTop.value) : Result<bool>::failure(sourceTop.error);
  if (!sourceListed.ok()) {
    fail(FailureKind::SourceUnreadable, source, sourceListed.error);
    return;
  }
  const bool sourceHoldsEntries = sourceListed.value;

  TargetFolder targetFolder(std::move(targetTop.value));
  const auto existing = targetFolder.get()->stat(name);
  if (existing.ok() && existing.value.kind == EntryKind::Link) {
    invalidPair();
    return;
  }
  TargetFolder child(targetFolder, name);
  const bool existedBefore = child.get() != nullptr;
  // A failure shows as the copies that need the folder fail.
  if (options.plan == nullptr) child.createOneLevel();
  TargetFolder* pairFolder = &child;

  std::optional<History> history;
  if (options.run.historyDays > 0 && options.plan == nullptr) {
    history.emplace(*targetFolder.get(), historyNameOf(source), pairFolder->path(),
                    options.runStart);
  }
  History* keeper = history ? &*history : nullptr;

  const Deletions asked = !options.run.mirrorDeletions ? Deletions::Keep
                          : options.sharesPairFolder   ? Deletions::Shared
                                                       : Deletions::Mirror;
  const bool mirror = asked == Deletions::Mirror && options.plan == nullptr;
  DeletionDecision deletion;
  if (mirror && !existedBefore) {
    deletion.allowed = true;  // nothing there yet that could go
  } else if (mirror) {
    Folder& before = *pairFolder->get();
    if (!sourceHoldsEntries && !knownEmpty(before)) {
      deletion.failures.push_back({FailureKind::EmptySource, source});
    } else {
      deletion = countDeletions(display, *sourceTop.value, before, source, options);
    }
  }

  PassOptions copying{options.stop, options.plan, keeper, options.run.readAhead};
  copying.replaceOtherKinds = deletion.allowed;
  copying.otherSources = options.otherSources;
  copying.keepOwners = fs.keepsOwners();
  if (Folder* folder = pairFolder->get()) copying.times = timePrecisionOf(*folder, options);
  {
    // The syncs go through a descriptor of their own: the walk's folders
    // are not shared between threads.
    std::optional<EarlyWriteBack> early;
    Folder& top = *targetFolder.get();
    if (options.run.durable && options.plan == nullptr && top.gainsFromEarlySyncs()) {
      if (auto own = top.openFolder("."); own.ok()) {
        early.emplace([folder = std::shared_ptr<Folder>(
                           std::move(own.value))] { (void)folder->syncFileSystem(); },
                      std::chrono::milliseconds(250));
      }
    }
    copyTree(display, *sourceTop.value, *pairFolder, copying);
    if (early) early->end([&display] { display.processMessages(); });
  }

  Folder* folder = pairFolder->get();
  // After a stop the deletion pass does not start; what the copy pass wrote
  // still goes on the disk below.
  const Deletions deletions = stopRequested(options.stop) ? Deletions::Keep : asked;
  switch (deletions) {
    case Deletions::Keep: break;
    case Deletions::Shared:
      fail(FailureKind::SharedPairFolder, pairFolderOf(source, target));
      break;
    case Deletions::Mirror:
      if (options.plan != nullptr) {
        if (folder == nullptr) break;  // nothing there to delete
        if (!sourceHoldsEntries && !knownEmpty(*folder)) {
          fail(FailureKind::EmptySource, source);
        } else {
          deleteVanished(display, *sourceTop.value, *folder, options.otherSources,
                         {options.stop, options.plan, nullptr});
        }
        break;
      }
      for (const Failure& failure : deletion.failures) display.failed(failure);
      if (deletion.needed && folder != nullptr) {
        deleteVanished(display, *sourceTop.value, *folder, options.otherSources,
                       {options.stop, nullptr, keeper});
      }
      break;
  }

  if (options.plan != nullptr) return;
  if (history) history->prune(options.run.historyDays);
  if (options.run.durable) {
    Folder& written = folder != nullptr ? *folder : *targetFolder.get();
    if (const Status synced = syncWhileAnswering(written, display); !synced.ok()) {
      fail(FailureKind::NotOnDisk, written.path(), synced.error);
    }
  }
}

}  // namespace tavro
