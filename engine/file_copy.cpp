#include "engine/file_copy.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <functional>
#include <optional>

#include "engine/history.h"

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
FileMode copyMode(FileMode sourceMode) { return (sourceMode & 0777) | kOwnerWrite; }

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

}  // namespace

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

TimePrecision probeTimePrecision(Folder& folder, Folder& namedProbeFolder) {
  // An odd second and every digit of the nanoseconds: each way of keeping
  // times less finely changes some of it.
  constexpr timespec kProbe{1262340001, 123456789};
  if (!folder.answersWithKeptTimes()) return {};
  const std::string probeName = temporaryNameFor(".tavro-cas", 0);
  std::unique_ptr<OutputFile> file;
  bool named = false;
  auto made = folder.createUnnamedFile(probeName);
  if (!made.ok() && made.error == EOPNOTSUPP) {
    made = namedProbeFolder.createFile(probeName);
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
  if (named) (void)namedProbeFolder.removeFile(probeName);
  return found;
}

namespace {

// Where a file's copy is being written: without a name, or under a
// temporary one until it is complete.
struct CopyInProgress {
  Folder* folder = nullptr;
  std::unique_ptr<OutputFile> output;
  std::string writtenName;
  bool unnamed = false;

  // Gives up the copy: what was written is gone.
  CopyOutcome abandon(CopyOutcome outcome = CopyOutcome::Failed) {
    (void)output->close();
    if (!unnamed) (void)folder->removeFile(writtenName);
    return outcome;
  }
};

// A new file is written without a name where the file system allows it,
// elsewhere under a temporary one: a copy cut short (a kill, a power cut)
// never sits under the file's real name, where the next run would take it
// for a complete copy to be kept as a former version. Copied here means
// that the copy can go on.
CopyOutcome startCopy(Folder& source, Folder& out, const std::string& targetName, CopyMode mode,
                      CopyInProgress& copy) {
  copy.folder = &out;
  copy.writtenName = targetName;
  if (mode == CopyMode::New) {
    auto made = out.createUnnamedFile(targetName);
    if (made.ok()) {
      copy.output = std::move(made.value);
      copy.unnamed = true;
      return CopyOutcome::Copied;
    }
    if (made.error != EOPNOTSUPP) return CopyOutcome::Failed;
  }
  auto create = [&](const std::string& fileName) {
    auto created = out.createFile(fileName);
    if (created.ok()) copy.output = std::move(created.value);
    return Status{created.error};
  };
  // Without a place to write the new copy aside, the old one cannot be
  // replaced.
  auto temporary = claimTemporaryName(source, out, targetName, create);
  if (!temporary) return mode == CopyMode::New ? CopyOutcome::Failed : CopyOutcome::ReplaceFailed;
  copy.writtenName = *temporary;
  return CopyOutcome::Copied;
}

// The copy ends at the size the file had when it was opened, without a last
// call to find the end: what was added since changed its time, and the next
// run copies it again.
CopyOutcome copyContents(InputFile& input, std::int64_t size, CopyInProgress& copy,
                         RunDisplay& gauge, const PassOptions& options) {
  std::int64_t total = 0;
  while (total < size) {
    const auto moved = copy.output->copyFrom(input, kChunk);
    if (!moved.ok()) return CopyOutcome::Failed;
    if (moved.value == 0) break;
    total += static_cast<std::int64_t>(moved.value);
    gauge.fileGaugeProgress(gaugeUnits(total, size));
    // A large file takes long enough that the window must answer, "Přerušit"
    // above all.
    gauge.processMessages();
    if (stopRequested(options.stop)) return CopyOutcome::Stopped;
  }
  return CopyOutcome::Copied;
}

// The whole copy takes its name: published where it has none, renamed
// where it was written aside (an old copy going into the history first).
CopyOutcome putInPlace(CopyInProgress& copy, const std::string& targetName, CopyMode mode,
                       const PassOptions& options) {
  Folder& out = *copy.folder;
  if (copy.unnamed) {
    // The name appears with the whole copy behind it, or not at all.
    if (!copy.output->publish().ok()) return copy.abandon();
    if (!copy.output->close().ok()) {
      (void)out.removeFile(targetName);
      return CopyOutcome::Failed;
    }
    return CopyOutcome::Copied;
  }
  if (!copy.output->close().ok()) {
    (void)out.removeFile(copy.writtenName);
    return CopyOutcome::Failed;
  }
  if (mode == CopyMode::New) {
    // Never over an entry that took the name meanwhile.
    if (!out.moveTo(copy.writtenName, out, targetName).ok()) {
      (void)out.removeFile(copy.writtenName);
      return CopyOutcome::Failed;
    }
  } else if (!keepOldVersion(out, targetName, options.history).ok() ||
             !out.rename(copy.writtenName, targetName).ok()) {
    (void)out.removeFile(copy.writtenName);
    return CopyOutcome::ReplaceFailed;
  }
  return CopyOutcome::Copied;
}

}  // namespace

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
  CopyInProgress copy;
  if (const CopyOutcome started = startCopy(source, *out, targetName, mode, copy);
      started != CopyOutcome::Copied) {
    return started;
  }
  if (const CopyOutcome copied = copyContents(*input.value, size, copy, gauge, options);
      copied != CopyOutcome::Copied) {
    return copy.abandon(copied);
  }
  // Owners, modes and attributes are carried over where the target can hold
  // them: vfat and exFAT, the usual file systems of USB drives, refuse most
  // modes and every owner, and a copy is no less whole for that. The access
  // control lists go before the mode, which would otherwise give way to
  // theirs.
  OutputFile& output = *copy.output;
  if (options.keepOwners) (void)output.setOwner(info.value.owner, info.value.group);
  const bool attributesKept = output.copyAttributesFrom(*input.value).ok();
  (void)output.setMode(copyMode(info.value.mode));
  // The time goes last: it is what tells the next run that the copy is done.
  if (!output.setModified(info.value.modified).ok()) return copy.abandon();
  if (const CopyOutcome placed = putInPlace(copy, targetName, mode, options);
      placed != CopyOutcome::Copied) {
    return placed;
  }
  // Some drivers (fusefat) give a renamed file the time of the rename: a
  // copy with the wrong time would be copied again by every run. The file
  // systems whose precision was probed are not among them.
  if (!copy.unnamed && options.times.unit == 0) {
    (void)out->setLinkTime(targetName, info.value.modified);
  }
  return attributesKept ? CopyOutcome::Copied : CopyOutcome::CopiedWithoutAttributes;
}

}  // namespace tavro
