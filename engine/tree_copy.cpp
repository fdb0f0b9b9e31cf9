#include "engine/tree_copy.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "engine/deletion_pass.h"
#include "engine/file_stamp.h"
#include "engine/history.h"
#include "engine/lookup_worker.h"
#include "engine/plan.h"
#include "engine/walk_limits.h"

namespace tavro {

namespace {

// Large enough that moving the bytes costs little more than the kernel's own
// copy, small enough that the gauge moves several times on a big file.
constexpr std::size_t kChunk = 1 << 20;
constexpr std::size_t kMaxNameBytes = 255;
constexpr int kTemporaryAttempts = 8;

// A copy is readable as the source was, and always writable by its owner so
// that a later run can replace it. Set-id bits are not carried over: the copy
// may belong to another user than the source.
mode_t copyMode(mode_t sourceMode) { return (sourceMode & 0777) | S_IWUSR; }
// A folder's copy must stay open to its owner for later runs to work in it.
mode_t folderMode(mode_t sourceMode) { return (sourceMode & 0777) | S_IRWXU; }

// Claims a free temporary name in `target` for a replacement of `name`,
// creating the entry through `create`. A name that is taken and that the
// source does not have is what an interrupted copy left behind: it is
// removed and the name reused.
std::optional<std::string> claimTemporaryName(
    Folder& source, Folder& target, const std::string& name,
    const std::function<Status(const std::string&)>& create) {
  for (int attempt = 0; attempt < kTemporaryAttempts; ++attempt) {
    const std::string temporary = temporaryNameFor(name, attempt);
    Status made = create(temporary);
    if (made.ok()) return temporary;
    if (made.error != EEXIST) return std::nullopt;
    const auto inSource = source.stat(temporary);
    if (inSource.ok() || inSource.error != ENOENT) continue;
    if (!target.removeFile(temporary).ok()) continue;
    if (create(temporary).ok()) return temporary;
  }
  return std::nullopt;
}

// Before a replacement takes the name `name` of `folder`, the copy there
// goes into the history: as a second name, so that the name never stands
// empty, or where the file system has no such names by a move.
Status keepOldVersion(Folder& folder, const std::string& name, History* history) {
  if (history == nullptr) return Status::success();
  if (history->linkIn(folder, name).ok()) return Status::success();
  return history->moveIn(folder, name);
}

CopyOutcome copyLink(Folder& source, const std::string& name, const EntryInfo& info,
                     TargetFolder& target, const std::string& targetName, CopyMode mode,
                     const PassOptions& options) {
  History* history = options.history;
  const auto text = source.readLink(name);
  if (!text.ok()) return CopyOutcome::Failed;
  Folder* out = target.getOrCreate();
  if (out == nullptr) return CopyOutcome::Failed;

  auto makeTimedLink = [&](const std::string& linkName) {
    Status made = out->makeLink(linkName, text.value);
    if (!made.ok()) return made;
    if (options.keepOwners) (void)out->setLinkOwner(linkName, info.owner, info.group);
    Status timed = out->setLinkTime(linkName, info.modified);
    if (!timed.ok()) (void)out->removeFile(linkName);
    return timed;
  };

  if (mode == CopyMode::New) {
    return makeTimedLink(targetName).ok() ? CopyOutcome::Copied : CopyOutcome::Failed;
  }
  const auto temporary = claimTemporaryName(source, *out, targetName, makeTimedLink);
  if (!temporary) return CopyOutcome::ReplaceFailed;
  if (!keepOldVersion(*out, targetName, history).ok() ||
      !out->rename(*temporary, targetName).ok()) {
    (void)out->removeFile(*temporary);
    return CopyOutcome::ReplaceFailed;
  }
  return CopyOutcome::Copied;
}

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

class TreeCopy {
 public:
  TreeCopy(RunDisplay& display, const PassOptions& options)
      : display_(display),
        options_(options),
        stop_(options.stop),
        plan_(options.plan),
        readAhead_(options.readAhead) {}

  void run(Folder& source, TargetFolder& target) {
    display_.processMessages();
    targetTop_ = &target;
    sourceTop_ = source.id();
    copyFolder(source, target, false);
  }

 private:
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
    const auto top = targetTop_->id();
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
    const mode_t mode = folderMode(from.value.mode);
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
      display_.failed({FailureKind::OldCopyNotRemoved, target.path() + "/" + targetName});
    }
    if (outcome != CopyOutcome::Copied) {
      display_.failed({FailureKind::NotCopied, sourcePath});
    }
    display_.fileCopyFinished();
  }

  RunDisplay& display_;
  const PassOptions& options_;
  const StopRequest* stop_;
  PairPlan* plan_;
  const long offset_ = currentUtcOffset();
  const bool readAhead_;
  TargetFolder* targetTop_ = nullptr;
  FolderId sourceTop_;
  int depth_ = 0;
  // Everything the walk created, replaced or planned so far: lookups made
  // before the latest of these no longer count.
  std::uint64_t writes_ = 0;
  LookupWorker worker_;
};

}  // namespace

int gaugeUnits(std::int64_t bytes, std::int64_t size) {
  int shift = 0;
  while ((size >> shift) > INT_MAX) ++shift;
  return static_cast<int>(std::min(bytes, size) >> shift);
}

std::string temporaryNameFor(const std::string& name, int attempt) {
  std::string prefix = ".tavro-part";
  if (attempt > 0) prefix += std::to_string(attempt);
  prefix += ".";
  std::string kept = name;
  if (prefix.size() + kept.size() > kMaxNameBytes) {
    std::size_t cut = kMaxNameBytes - prefix.size();
    // Never cut a multi-byte character in half.
    while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80) --cut;
    kept.resize(cut);
  }
  return prefix + kept;
}

bool isTemporaryName(std::string_view name) {
  constexpr std::string_view prefix = ".tavro-part";
  if (!name.starts_with(prefix)) return false;
  name.remove_prefix(prefix.size());
  while (!name.empty() && name.front() >= '0' && name.front() <= '9') name.remove_prefix(1);
  return name.size() > 1 && name.front() == '.';
}

TimePrecision probeTimePrecision(Folder& folder) {
  // An odd second and every digit of the nanoseconds: each way of keeping
  // times less finely changes some of it.
  constexpr timespec kProbe{1262340001, 123456789};
  if (!folder.answersWithKeptTimes()) return {};
  const std::string probeName = temporaryNameFor(".tavro-cas", 0);
  std::unique_ptr<OutputFile> file;
  bool named = false;
  auto made = folder.createUnnamedFile(probeName);
  if (!made.ok() && made.error == EOPNOTSUPP) {
    made = folder.createFile(probeName);
    named = made.ok();
  }
  if (!made.ok()) return {};
  file = std::move(made.value);
  TimePrecision found;
  if (file->setModified(kProbe).ok()) {
    const auto kept = file->info();
    if (kept.ok()) found = TimePrecision::ofProbe(kProbe, kept.value.modified);
  }
  (void)file->close();
  if (named) (void)folder.removeFile(probeName);
  return found;
}

CopyOutcome copyFileWithProgress(Folder& source, const std::string& name, TargetFolder& target,
                                 const std::string& targetName, CopyMode mode, RunDisplay& gauge,
                                 const PassOptions& options) {
  struct ProgressReset {
    RunDisplay& gauge;
    ~ProgressReset() { gauge.fileGaugeProgress(0); }
  } resetAtEnd{gauge};

  auto input = source.openFile(name);
  if (!input.ok()) return CopyOutcome::Failed;
  const auto info = input.value->info();
  if (!info.ok()) return CopyOutcome::Failed;
  const std::int64_t size = info.value.size;
  gauge.fileGaugeRange(gaugeUnits(size, size));

  Folder* out = target.getOrCreate();
  if (out == nullptr) return CopyOutcome::Failed;

  std::unique_ptr<OutputFile> output;
  auto create = [&](const std::string& fileName) {
    auto created = out->createFile(fileName);
    if (created.ok()) output = std::move(created.value);
    return Status{created.error};
  };
  // A new file is written without a name where the file system allows it,
  // elsewhere under a temporary one: a copy cut short (a kill, a power cut)
  // never sits under the file's real name, where the next run would take it
  // for a complete copy to be kept as a former version.
  std::string writtenName = targetName;
  bool unnamed = false;
  if (mode == CopyMode::New) {
    auto made = out->createUnnamedFile(targetName);
    if (made.ok()) {
      output = std::move(made.value);
      unnamed = true;
    } else if (made.error != EOPNOTSUPP) {
      return CopyOutcome::Failed;
    }
  }
  if (!unnamed) {
    // Without a place to write the new copy aside, the old one cannot be
    // replaced.
    auto temporary = claimTemporaryName(source, *out, targetName, create);
    if (!temporary) return mode == CopyMode::New ? CopyOutcome::Failed : CopyOutcome::ReplaceFailed;
    writtenName = *temporary;
  }

  auto abandon = [&](CopyOutcome outcome = CopyOutcome::Failed) {
    (void)output->close();
    if (!unnamed) (void)out->removeFile(writtenName);
    return outcome;
  };

  // The copy ends at the size the file had when it was opened, without a
  // last call to find the end: what was added since changed its time, and
  // the next run copies it again.
  std::int64_t total = 0;
  while (total < size) {
    const auto moved = output->copyFrom(*input.value, kChunk);
    if (!moved.ok()) return abandon();
    if (moved.value == 0) break;
    total += static_cast<std::int64_t>(moved.value);
    gauge.fileGaugeProgress(gaugeUnits(total, size));
    // A large file takes long enough that the window must answer, "Přerušit"
    // above all.
    gauge.processMessages();
    if (stopRequested(options.stop)) return abandon(CopyOutcome::Stopped);
  }
  // Owners, modes and attributes are carried over where the target can hold
  // them: vfat and exFAT, the usual file systems of USB drives, refuse most
  // modes and every owner, and a copy is no less whole for that. The access
  // control lists go before the mode, which would otherwise give way to
  // theirs.
  if (options.keepOwners) (void)output->setOwner(info.value.owner, info.value.group);
  const bool attributesKept = output->copyAttributesFrom(*input.value).ok();
  (void)output->setMode(copyMode(info.value.mode));
  // The time goes last: it is what tells the next run that the copy is done.
  if (!output->setModified(info.value.modified).ok()) return abandon();
  if (unnamed) {
    // The name appears with the whole copy behind it, or not at all.
    if (!output->publish().ok()) return abandon();
    if (!output->close().ok()) {
      (void)out->removeFile(targetName);
      return CopyOutcome::Failed;
    }
    return attributesKept ? CopyOutcome::Copied : CopyOutcome::CopiedWithoutAttributes;
  }
  if (!output->close().ok()) {
    (void)out->removeFile(writtenName);
    return CopyOutcome::Failed;
  }
  if (mode == CopyMode::New) {
    // Never over an entry that took the name meanwhile.
    if (!out->moveTo(writtenName, *out, targetName).ok()) {
      (void)out->removeFile(writtenName);
      return CopyOutcome::Failed;
    }
  } else if (!keepOldVersion(*out, targetName, options.history).ok() ||
             !out->rename(writtenName, targetName).ok()) {
    (void)out->removeFile(writtenName);
    return CopyOutcome::ReplaceFailed;
  }
  // Some drivers (fusefat) give a renamed file the time of the rename: a
  // copy with the wrong time would be copied again by every run. The file
  // systems whose precision was probed are not among them.
  if (options.times.unit == 0) (void)out->setLinkTime(targetName, info.value.modified);
  if (!attributesKept) return CopyOutcome::CopiedWithoutAttributes;
  return CopyOutcome::Copied;
}

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
