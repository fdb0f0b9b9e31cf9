#include "engine/deletion_pass.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "engine/history.h"
#include "engine/plan.h"
#include "engine/tree_copy.h"
#include "engine/walk_limits.h"

namespace tavro {

namespace {

bool isGone(int error) { return error == ENOENT || error == ENOTDIR || error == ELOOP; }

// The names of a folder, each with whether it is a folder, folded into a
// count and an order-free sum of hashes. When a target folder's summary
// equals its source folder's, every target entry has a source entry of the
// same name and kind, and the pass needs no lookup for its files. A false
// match could only keep a file that should have gone, never delete one.
struct NameSummary {
  std::uint64_t count = 0;
  std::uint64_t sum = 0;
  bool complete = true;  // false when some entry's kind was not listed
  bool operator==(const NameSummary& other) const {
    return count == other.count && sum == other.sum && complete == other.complete;
  }
  // The target side's folders, in listing order, while there are not too
  // many to hold: when the names match, they are all the walk needs, and
  // the folder need not be listed again.
  std::vector<std::string> folders;
  bool foldersKept = false;
};

constexpr std::size_t kMaxKeptFolders = 1024;

std::uint64_t nameHash(const std::string& name, bool folder) {
  std::uint64_t h = folder ? 0x9E3779B97F4A7C15ULL : 0xCBF29CE484222325ULL;
  for (unsigned char c : name) h = (h ^ c) * 0x100000001B3ULL;
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDULL;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53ULL;
  return h ^ (h >> 33);
}

// Reads the whole listing; nullopt when it cannot be read to its end. On
// the source side special files count as absent, as they are never copied.
std::optional<NameSummary> summarize(Folder& folder, bool sourceSide) {
  auto listing = folder.list();
  if (!listing.ok()) return std::nullopt;
  NameSummary summary;
  summary.foldersKept = !sourceSide;
  ListedEntry entry;
  int error = 0;
  while (listing.value->next(entry, &error)) {
    if (entry.kind == EntryKind::Unknown) summary.complete = false;
    if (sourceSide && entry.kind == EntryKind::Special) continue;
    const bool isFolder = entry.kind == EntryKind::Folder;
    ++summary.count;
    summary.sum += nameHash(entry.name, isFolder);
    if (isFolder && summary.foldersKept) {
      summary.foldersKept = summary.folders.size() < kMaxKeptFolders;
      if (summary.foldersKept) summary.folders.push_back(entry.name);
    }
  }
  if (error != 0) return std::nullopt;
  if (!summary.foldersKept) summary.folders.clear();
  return summary;
}

// The names of a source folder that the target folder does not hold as they
// are written. After the copy pass these are few: files that could not be
// copied, and names whose case changed where the target ignores case.
class Orphans {
 public:
  // `none`: the two folders are known to hold the same names.
  explicit Orphans(bool none = false) : built_(none) {}

  const std::vector<std::string>& of(Folder& source, Folder& target) {
    if (!built_) {
      built_ = true;
      build(source, target);
    }
    return names_;
  }

 private:
  void build(Folder& source, Folder& target) {
    // A second descriptor of the target: its listing is being worked through.
    auto again = target.openFolder(".");
    if (!again.ok()) return;
    const auto held = namesOf(*again.value);
    const auto wanted = namesOf(source);
    if (!held || !wanted) return;
    for (const auto& name : *wanted) {
      if (!held->contains(name)) names_.push_back(name);
    }
  }

  static std::optional<std::unordered_set<std::string>> namesOf(Folder& folder) {
    auto listing = folder.list();
    if (!listing.ok()) return std::nullopt;
    std::unordered_set<std::string> names;
    ListedEntry entry;
    int error = 0;
    while (listing.value->next(entry, &error)) names.insert(entry.name);
    if (error != 0) return std::nullopt;
    return names;
  }

  bool built_;
  std::vector<std::string> names_;
};

class DeletionPass {
 public:
  DeletionPass(RunDisplay& display, FolderId sourceTop, std::span<const FolderId> otherSources,
               const PassOptions& options)
      : display_(display),
        sourceTop_(sourceTop),
        otherSources_(otherSources),
        stop_(options.stop),
        plan_(options.plan),
        history_(options.history) {}

  // The entry `name` of `target` goes, whatever it is.
  bool removeEntry(Folder& target, const std::string& name) {
    const auto info = target.stat(name);
    if (!info.ok()) return isGone(info.error);
    if (info.value.kind == EntryKind::Folder) {
      Orphans none;
      pruneSubfolder(nullptr, target, name, none);
    } else {
      deleteFile(target, name);
    }
    const auto after = target.stat(name);
    return !after.ok() && after.error == ENOENT;
  }

  // `source` is null when the source has no folder of this name any more:
  // then everything below `target` goes. A folder that stays and had
  // anything removed gets its source's time back, as the copy pass gave it.
  void prune(Folder* source, Folder& target) {
    const std::uint64_t before = changes_;
    pruneEntries(source, target);
    if (changes_ == before || source == nullptr || plan_ != nullptr) return;
    if (const auto from = source->info(); from.ok()) (void)target.setModified(from.value.modified);
  }

 private:
  void pruneEntries(Folder* source, Folder& target) {
    bool sameNames = false;
    std::optional<NameSummary> mirrored;
    if (source != nullptr) {
      // A source folder that cannot be read to its end is not known to lack
      // anything.
      const auto have = summarize(*source, true);
      if (!have) return;
      mirrored = summarize(target, false);
      sameNames = mirrored && have->complete && mirrored->complete && *have == *mirrored;
    }
    Orphans orphans(sameNames);
    if (sameNames && mirrored->foldersKept) {
      // Every file has its source: only the folders are left to walk.
      if (plan_ != nullptr) {
        plan_->pairFolderFiles +=
            static_cast<std::int64_t>(mirrored->count - mirrored->folders.size());
      }
      for (const std::string& name : mirrored->folders) {
        if (stopRequested(stop_)) return;
        pruneSubfolder(source, target, name, orphans);
      }
      return;
    }
    auto listing = target.list();
    if (!listing.ok()) return;
    ListedEntry entry;
    int error = 0;
    while (listing.value->next(entry, &error)) {
      if (stopRequested(stop_)) return;
      const auto kind = kindOf(target, entry);
      if (!kind) continue;
      if (*kind != EntryKind::Folder && plan_ != nullptr) ++plan_->pairFolderFiles;
      if (*kind == EntryKind::Folder) {
        pruneSubfolder(source, target, entry.name, orphans);
      } else if (!sameNames) {
        pruneFile(source, target, entry.name, orphans);
      }
    }
  }

  void pruneFile(Folder* source, Folder& target, const std::string& name, Orphans& orphans) {
    // A source that ignores letter case answers for a name in the copy's old
    // case too: its own name, which the copy then takes, is asked first.
    if (foldsCase(source) && keptUnderSourceCase(source, target, name, false, orphans)) return;
    if (inSourceAsFile(source, name)) return;
    if (!foldsCase(source) && keptUnderSourceCase(source, target, name, false, orphans)) return;
    deleteFile(target, name);
  }

  static bool foldsCase(Folder* source) { return source != nullptr && source->foldsCase(); }

  void pruneSubfolder(Folder* source, Folder& target, const std::string& name, Orphans& orphans) {
    display_.processMessages();
    // Too deep to compare: the copy pass reported it, and its backup stays.
    if (depth_ >= kMaxFolderDepth) return;
    auto sub = target.openFolder(name);
    if (sub.ok()) {
      const FolderId id = sub.value->id();
      if (id == sourceTop_) return;
      if (isOtherSource(id)) {
        display_.failed({FailureKind::OtherPairsSource, target.pathOf(name)});
        return;
      }
    }

    std::unique_ptr<Folder> sourceSub;
    if (foldsCase(source)) {
      if (auto renamed = sourceCaseOf(*source, target, name, true, orphans)) {
        auto again = source->openFolder(*renamed);
        if (!again.ok()) return;
        sourceSub = std::move(again.value);
      }
    }
    if (source != nullptr && !sourceSub) {
      auto opened = source->openFolder(name);
      if (opened.ok()) {
        sourceSub = std::move(opened.value);
      } else if (!isGone(opened.error)) {
        return;  // there, but out of reach: its backup stays as it is
      } else if (auto renamed = sourceCaseOf(*source, target, name, true, orphans)) {
        auto again = source->openFolder(*renamed);
        if (!again.ok()) return;
        sourceSub = std::move(again.value);
      }
    }
    if (!sourceSub && sub.ok() && history_ != nullptr && !cannotMoveWhole(*sub.value, 0) &&
        history_->moveIn(target, name).ok()) {
      ++changes_;
      return;  // the whole folder, in one move
    }
    if (sub.ok()) {
      ++depth_;
      prune(sourceSub.get(), *sub.value);
      --depth_;
    }
    if (sourceSub || stopRequested(stop_)) return;
    if (plan_ != nullptr) {
      plan_->add(Change::Deleted, true, 0, target.pathOf(name));
    } else {
      // Emptied by now, when versions are kept too: what it held was moved.
      if (target.removeFolder(name).ok()) ++changes_;
    }
  }

  // Whether a pair's source lies in `folder` (or is it), or a file an
  // interrupted copy left: such a folder cannot move as a whole.
  bool cannotMoveWhole(Folder& folder, int depth) {
    if (isOtherSource(folder.id())) return true;
    if (depth >= kMaxFolderDepth) return true;
    auto listing = folder.list();
    if (!listing.ok()) return true;
    ListedEntry entry;
    int error = 0;
    while (listing.value->next(entry, &error)) {
      const auto kind = kindOf(folder, entry);
      if (kind != EntryKind::Folder) {
        if (isTemporaryName(entry.name)) return true;
        continue;
      }
      auto sub = folder.openFolder(entry.name);
      if (!sub.ok() || cannotMoveWhole(*sub.value, depth + 1)) return true;
    }
    return error != 0;
  }

  // Whether the target entry `name`, missing from the source as written, is
  // the copy of a source entry whose name differs in a way the target's file
  // system ignores (letter case on vfat or exFAT). Deleting it would delete
  // that copy: it is renamed to the source's name instead, or left as it is.
  bool keptUnderSourceCase(Folder* source, Folder& target, const std::string& name, bool folder,
                           Orphans& orphans) {
    return source != nullptr && sourceCaseOf(*source, target, name, folder, orphans).has_value();
  }

  std::optional<std::string> sourceCaseOf(Folder& source, Folder& target, const std::string& name,
                                          bool folder, Orphans& orphans) {
    const auto& candidates = orphans.of(source, target);
    if (candidates.empty()) return std::nullopt;
    const auto entry = target.stat(name);
    if (!entry.ok()) return std::nullopt;
    for (const auto& candidate : candidates) {
      const auto same = target.stat(candidate);
      if (!same.ok() || same.value.inode != entry.value.inode) continue;
      const auto original = source.stat(candidate);
      if (!original.ok() || (original.value.kind == EntryKind::Folder) != folder) continue;
      if (plan_ != nullptr) {
        ++plan_->caseRenames;
      } else {
        if (target.rename(name, candidate).ok()) ++changes_;
      }
      return candidate;
    }
    return std::nullopt;
  }

  bool isOtherSource(const FolderId& id) const {
    return std::binary_search(otherSources_.begin(), otherSources_.end(), id);
  }

  // A name that is a file or a link in the source keeps its copy; so does
  // any name the source cannot answer for.
  static bool inSourceAsFile(Folder* source, const std::string& name) {
    if (source == nullptr) return false;
    const auto info = source->stat(name);
    if (!info.ok()) return !isGone(info.error);
    return info.value.kind == EntryKind::File || info.value.kind == EntryKind::Link;
  }

  void deleteFile(Folder& target, const std::string& name) {
    const std::string path = target.pathOf(name);
    if (isTemporaryName(name)) {
      if (plan_ != nullptr) {
        ++plan_->leftovers;
      } else if (const Status removed = target.removeFile(name); removed.ok()) {
        ++changes_;
      } else {
        display_.failed({FailureKind::NotDeleted, path, removed.error});
      }
      return;
    }
    if (plan_ != nullptr) {
      std::int64_t size = 0;
      if (plan_->keepEntries) {
        const auto info = target.stat(name);
        if (info.ok() && info.value.kind == EntryKind::File) size = info.value.size;
      }
      plan_->add(Change::Deleted, false, size, path);
      return;
    }
    display_.fileDeletionStarted(path);
    display_.processMessages();
    const Status gone =
        history_ != nullptr ? history_->moveIn(target, name) : target.removeFile(name);
    if (gone.ok()) {
      ++changes_;
    } else {
      display_.failed({FailureKind::NotDeleted, path, gone.error});
    }
    display_.fileDeletionFinished();
  }

  RunDisplay& display_;
  FolderId sourceTop_;
  std::span<const FolderId> otherSources_;
  const StopRequest* stop_;
  PairPlan* plan_;
  History* history_;
  int depth_ = 0;
  std::uint64_t changes_ = 0;  // entries removed, moved or renamed so far
};

void prunePair(RunDisplay& display, Folder& source, Folder& target,
               std::span<const FolderId> otherSources, const PassOptions& options) {
  if (std::binary_search(otherSources.begin(), otherSources.end(), target.id())) {
    display.failed({FailureKind::OtherPairsSource, target.path()});
    return;
  }
  DeletionPass(display, source.id(), otherSources, options).prune(&source, target);
}

}  // namespace

bool removeOtherKind(RunDisplay& display, Folder& target, const std::string& name,
                     FolderId sourceTop, const PassOptions& options) {
  return DeletionPass(display, sourceTop, options.otherSources, options).removeEntry(target, name);
}

void deleteVanished(FileSystem& fs, RunDisplay& display, const std::string& source,
                    const std::string& target) {
  display.processMessages();
  auto targetTop = fs.openFolder(target);
  if (!targetTop.ok()) return;
  // Without a readable source nothing can be known to be gone: an unplugged
  // drive must not empty its backup.
  auto sourceTop = fs.openFolder(source);
  if (!sourceTop.ok()) return;
  prunePair(display, *sourceTop.value, *targetTop.value, {}, {});
}

void deleteVanished(RunDisplay& display, Folder& source, Folder& target,
                    std::span<const FolderId> otherSources, const PassOptions& options) {
  display.processMessages();
  prunePair(display, source, target, otherSources, options);
}

}  // namespace tavro
