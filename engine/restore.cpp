#include "engine/restore.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

#include "engine/file_copy.h"
#include "engine/history.h"
#include "engine/pair_mirror.h"
#include "engine/walk_limits.h"

namespace tavro {

namespace {

// The names of a path in the pair; nothing for one that would climb out.
std::optional<std::vector<std::string>> namesOf(const std::string& relative) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= relative.size()) {
    std::size_t end = start;
    while (end < relative.size() && !isPathSeparator(relative[end])) ++end;
    std::string name = relative.substr(start, end - start);
    if (name == "..") return std::nullopt;
    if (!name.empty() && name != ".") names.push_back(std::move(name));
    start = end + 1;
  }
  return names;
}

std::string joined(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  if (name.empty()) return folder;
  return folder + preferredSeparator() + name;
}

// Opens the folder `names[0..count)` below `root`, one name at a time, never
// following a link.
std::unique_ptr<Folder> openBelow(std::unique_ptr<Folder> root,
                                  const std::vector<std::string>& names, std::size_t count) {
  for (std::size_t i = 0; i < count && root; ++i) {
    auto next = root->openFolder(names[i]);
    root = next.ok() ? std::move(next.value) : nullptr;
  }
  return root;
}

std::int64_t localSecondsOf(const timespec& modified) {
  return localSeconds(localTimeOf(modified.tv_sec));
}

bool sameFile(const EntryInfo& there, const RestoreEntry& entry) {
  return there.kind == EntryKind::File && there.size == entry.size &&
         there.modified.tv_sec == entry.modified.tv_sec;
}

// The folders of one tree opened by their paths relative to its top, each
// once: a restore of many files in few folders opens each folder once.
class OpenFolders {
 public:
  explicit OpenFolders(std::unique_ptr<Folder> top) { open_[""] = std::move(top); }

  // The folder at `relative`; with `create`, missing folders are made and
  // their paths noted.
  Folder* get(const std::string& relative, bool create, int* error) {
    if (auto found = open_.find(relative); found != open_.end()) return found->second.get();
    const PathParts parts = splitRelative(relative);
    Folder* parent = get(parts.folder, create, error);
    if (parent == nullptr) return nullptr;
    auto opened = parent->openFolder(parts.name);
    if (!opened.ok() && opened.error == ENOENT && create) {
      if (Status made = parent->makeFolder(parts.name, 0777); !made.ok()) {
        *error = made.error;
        return nullptr;
      }
      made_.push_back(relative);
      opened = parent->openFolder(parts.name);
    }
    if (!opened.ok()) {
      *error = opened.error;
      return nullptr;
    }
    return (open_[relative] = std::move(opened.value)).get();
  }
  const std::vector<std::string>& made() const { return made_; }

  static PathParts splitRelative(const std::string& relative) {
    std::size_t at = relative.size();
    while (at > 0 && !isPathSeparator(relative[at - 1])) --at;
    if (at == 0) return {"", relative};
    return {relative.substr(0, at - 1), relative.substr(at)};
  }

 private:
  std::map<std::string, std::unique_ptr<Folder>> open_;
  std::vector<std::string> made_;
};

// "name (před obnovou <stamp>).ext": the user's current file, kept beside
// the version that takes its name.
std::string keptNameFor(const std::string& name, const LocalDateTime& now, int attempt) {
  const std::size_t dot = name.rfind('.');
  const bool extension = dot != std::string::npos && dot > 0;
  std::string mark = " (před obnovou " + historyStamp(now);
  if (attempt > 0) mark += " " + std::to_string(attempt + 1);
  mark += ")";
  return extension ? name.substr(0, dot) + mark + name.substr(dot) : name + mark;
}

}  // namespace

std::int64_t localSeconds(const LocalDateTime& t) { return minutesSinceEpoch(t) * 60 + t.second; }

std::string restoredFolderName(const std::string& name, const LocalDateTime& point) {
  return name + " (obnoveno " + historyStamp(point) + ")";
}

PairBackup::PairBackup(FileSystem& fs, const std::string& source, const std::string& target)
    : fs_(fs),
      pairFolder_(pairFolderOf(source, target)),
      history_(historyFolderOf(source, target)) {
  auto history = fs_.openFolder(history_);
  if (!history.ok()) return;
  auto listing = history.value->list();
  if (!listing.ok()) return;
  ListedEntry entry;
  int error = 0;
  while (listing.value->next(entry, &error)) {
    const auto stamp = parseHistoryStamp(entry.name);
    if (stamp && kindOf(*history.value, entry) == EntryKind::Folder) {
      runs_.push_back({localSeconds(*stamp), *stamp, entry.name});
    }
  }
  std::sort(runs_.begin(), runs_.end(), [](const Run& a, const Run& b) { return a.time < b.time; });
}

std::string PairBackup::copyFolder(int copy) const {
  return copy == 0 ? pairFolder_ : joinPath(history_, runs_[copy - 1].name);
}

std::vector<RestorePoint> PairBackup::points() const {
  std::vector<RestorePoint> points{RestorePoint{}};
  for (auto run = runs_.rbegin(); run != runs_.rend(); ++run) points.push_back({run->stamp});
  return points;
}

std::vector<BackupVersion> PairBackup::versions(const std::string& relative) {
  std::vector<BackupVersion> versions;
  const auto names = namesOf(relative);
  if (!names) return versions;
  auto look = [&](int copy, std::optional<LocalDateTime> until) {
    auto root = fs_.openFolder(copyFolder(copy));
    if (!root.ok()) return;
    Result<EntryInfo> info;
    if (names->empty()) {
      info = root.value->info();
    } else {
      auto parent = openBelow(std::move(root.value), *names, names->size() - 1);
      if (!parent) return;
      info = parent->stat(names->back());
    }
    if (info.ok()) {
      versions.push_back(
          {until, info.value.kind, info.value.size, localTimeOf(info.value.modified.tv_sec)});
    }
  };
  look(0, std::nullopt);
  for (int copy = static_cast<int>(runs_.size()); copy >= 1; --copy) {
    look(copy, runs_[copy - 1].stamp);
  }
  return versions;
}

std::vector<RestoreEntry> PairBackup::stateAt(const RestorePoint& point,
                                              const std::string& relative) {
  std::vector<RestoreEntry> entries;
  const auto names = namesOf(relative);
  if (!names) return entries;
  // The copies that can hold a path's version at the point: the run folders
  // from then on, oldest first, and last the pair folder.
  std::optional<std::int64_t> at;
  std::vector<int> copies;
  if (point.before) {
    at = localSeconds(*point.before);
    for (std::size_t i = 0; i < runs_.size(); ++i) {
      if (runs_[i].time >= *at) copies.push_back(static_cast<int>(i) + 1);
    }
  }
  copies.push_back(0);
  const std::size_t levels = names->empty() ? 0 : names->size() - 1;
  std::vector<std::unique_ptr<Folder>> folders;
  for (int copy : copies) {
    auto root = fs_.openFolder(copyFolder(copy));
    folders.push_back(root.ok() ? openBelow(std::move(root.value), *names, levels) : nullptr);
  }
  if (names->empty()) {
    // The whole pair: its folder, as the first copy that has it is.
    for (auto& folder : folders) {
      if (!folder) continue;
      const auto info = folder->info();
      if (!info.ok()) continue;
      entries.push_back({"", EntryKind::Folder, 0, info.value.modified, info.value.mode, 0});
      gather(folders, copies, "", at, entries, "", 1);
      break;
    }
    return entries;
  }
  std::string parent;
  for (std::size_t i = 0; i < levels; ++i) parent = joined(parent, (*names)[i]);
  gather(folders, copies, parent, at, entries, names->back(), static_cast<int>(levels));
  return entries;
}

void PairBackup::gather(std::vector<std::unique_ptr<Folder>>& folders,
                        const std::vector<int>& copies, const std::string& relative,
                        std::optional<std::int64_t> point, std::vector<RestoreEntry>& into,
                        const std::string& only, int depth) {
  struct Found {
    RestoreEntry entry;
    std::vector<std::size_t> folderCopies;  // where it is a folder, in order
  };
  std::map<std::string, Found> found;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    Folder* folder = folders[i].get();
    if (folder == nullptr) continue;
    auto listing = folder->list();
    if (!listing.ok()) continue;
    ListedEntry listed;
    int error = 0;
    while (listing.value->next(listed, &error)) {
      if (!only.empty() && listed.name != only) continue;
      auto known = found.find(listed.name);
      if (known != found.end()) {
        // A later copy adds to a folder only; a file's version is decided.
        if (known->second.entry.kind == EntryKind::Folder &&
            kindOf(*folder, listed) == EntryKind::Folder) {
          known->second.folderCopies.push_back(i);
        }
        continue;
      }
      const auto info = folder->stat(listed.name);
      if (!info.ok() || info.value.kind == EntryKind::Special) continue;
      // A file the pair folder has that was last written after the point
      // came later; before it, it was not there.
      if (copies[i] == 0 && point && info.value.kind != EntryKind::Folder &&
          localSecondsOf(info.value.modified) > *point) {
        continue;
      }
      Found entry{{joined(relative, listed.name), info.value.kind, info.value.size,
                   info.value.modified, info.value.mode, copies[i]},
                  {}};
      if (info.value.kind == EntryKind::Folder) entry.folderCopies.push_back(i);
      found.emplace(listed.name, std::move(entry));
    }
  }
  for (auto& [name, item] : found) {
    if (item.entry.kind != EntryKind::Folder) {
      into.push_back(std::move(item.entry));
      continue;
    }
    if (depth >= kMaxFolderDepth) continue;
    std::vector<std::unique_ptr<Folder>> inside(folders.size());
    for (std::size_t i : item.folderCopies) {
      auto opened = folders[i]->openFolder(name);
      if (opened.ok()) inside[i] = std::move(opened.value);
    }
    std::vector<RestoreEntry> contents;
    gather(inside, copies, item.entry.path, point, contents, "", depth + 1);
    // A folder only the pair folder has, empty at the point and written
    // after it, came later as well.
    const bool onlyNow = item.folderCopies.size() == 1 && copies[item.folderCopies[0]] == 0;
    if (point && onlyNow && contents.empty() && localSecondsOf(item.entry.modified) > *point) {
      continue;
    }
    into.push_back(std::move(item.entry));
    std::move(contents.begin(), contents.end(), std::back_inserter(into));
  }
}

namespace {

// The whole path of `relative` below `folder`, written with the separator
// the folder's path uses.
std::string below(const std::string& folder, const std::string& relative) {
  std::string path = folder;
  for (const std::string& name : namesOf(relative).value_or(std::vector<std::string>{})) {
    path = joinPath(path, name);
  }
  return path;
}

// Where an entry of a job goes, relative to the job's destination.
std::string placeOf(const RestoreJob& job, const RestoreEntry& entry) {
  std::string rest = entry.path.substr(std::min(entry.path.size(), job.relative.size()));
  while (!rest.empty() && isPathSeparator(rest.front())) rest.erase(0, 1);
  return joined(job.name, rest);
}

// Writes the file under a temporary name in `folder`; the name it got.
Result<std::string> copyAside(Folder& from, const RestoreEntry& entry, Folder& folder,
                              const std::string& name) {
  const std::string sourceName = OpenFolders::splitRelative(entry.path).name;
  auto input = from.openFile(sourceName);
  if (!input.ok()) return Result<std::string>::failure(input.error);
  Result<std::unique_ptr<OutputFile>> output;
  std::string temporary;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = temporaryNameFor(name, attempt);
    output = folder.createFile(temporary);
    if (output.ok() || output.error != EEXIST) break;
  }
  if (!output.ok()) return Result<std::string>::failure(output.error);
  Status status;
  for (;;) {
    const auto moved = output.value->copyFrom(*input.value, std::size_t{1} << 20);
    if (!moved.ok()) status = Status::failure(moved.error);
    if (!moved.ok() || moved.value == 0) break;
  }
  if (status.ok()) status = output.value->setMode(entry.mode);
  if (status.ok()) status = output.value->setModified(entry.modified);
  const Status closed = output.value->close();
  if (status.ok()) status = closed;
  if (!status.ok()) {
    (void)folder.removeFile(temporary);
    return Result<std::string>::failure(status.error);
  }
  return Result<std::string>::of(temporary);
}

}  // namespace

std::vector<std::string> filesToReplace(FileSystem& fs, const RestoreJob& job) {
  std::vector<std::string> replaced;
  auto top = fs.openFolder(job.destination);
  if (!top.ok()) return replaced;
  OpenFolders places(std::move(top.value));
  for (const RestoreEntry& entry : job.entries) {
    if (entry.kind != EntryKind::File) continue;
    const std::string place = placeOf(job, entry);
    const PathParts parts = OpenFolders::splitRelative(place);
    int error = 0;
    Folder* folder = places.get(parts.folder, false, &error);
    if (folder == nullptr) continue;
    const auto there = folder->stat(parts.name);
    if (there.ok() && there.value.kind == EntryKind::File && !sameFile(there.value, entry)) {
      replaced.push_back(below(job.destination, place));
    }
  }
  return replaced;
}

RestoreReport restore(FileSystem& fs, const PairBackup& backup, const RestoreJob& job,
                      RestoreMode mode, const LocalDateTime& now,
                      const std::function<bool(int, int)>& progress) {
  RestoreReport report;
  auto fail = [&](const std::string& path, int error) {
    report.failed.push_back(path + ": " + systemReason(error));
  };
  auto top = fs.openFolder(job.destination);
  if (!top.ok()) {
    fail(job.destination, top.error);
    return report;
  }
  OpenFolders places(std::move(top.value));
  std::map<int, std::unique_ptr<OpenFolders>> copies;
  auto copyFolderOf = [&](const RestoreEntry& entry, int* error) -> Folder* {
    auto& tree = copies[entry.copy];
    if (!tree) {
      auto root = fs.openFolder(backup.copyFolder(entry.copy));
      if (!root.ok()) {
        *error = root.error;
        return nullptr;
      }
      tree = std::make_unique<OpenFolders>(std::move(root.value));
    }
    return tree->get(OpenFolders::splitRelative(entry.path).folder, false, error);
  };
  const int total = static_cast<int>(job.entries.size());
  int done = 0;
  for (const RestoreEntry& entry : job.entries) {
    if (progress && !progress(done, total)) break;
    ++done;
    const std::string place = placeOf(job, entry);
    const std::string shown = below(job.destination, place);
    const PathParts parts = OpenFolders::splitRelative(place);
    int error = 0;
    Folder* folder = places.get(parts.folder, true, &error);
    if (folder == nullptr) {
      fail(shown, error);
      continue;
    }
    const auto there = folder->stat(parts.name);
    if (entry.kind == EntryKind::Folder) {
      if (there.ok() && there.value.kind != EntryKind::Folder) {
        report.kept.push_back(shown);  // a file in the way stays; its folder's files fail
      } else if (places.get(place, true, &error) == nullptr) {
        fail(shown, error);
      } else if (!there.ok()) {
        ++report.restored;
      }
      continue;
    }
    if (there.ok() && entry.kind == EntryKind::File && sameFile(there.value, entry)) {
      ++report.unchanged;
      continue;
    }
    const bool replace = there.ok() && mode == RestoreMode::ReplaceKeepingCurrent &&
                         entry.kind == EntryKind::File && there.value.kind == EntryKind::File;
    if (there.ok() && !replace) {
      report.kept.push_back(shown);
      continue;
    }
    Folder* from = copyFolderOf(entry, &error);
    if (from == nullptr) {
      fail(shown, error);
      continue;
    }
    const std::string sourceName = OpenFolders::splitRelative(entry.path).name;
    if (entry.kind == EntryKind::Link) {
      const auto text = from->readLink(sourceName);
      Status made =
          text.ok() ? folder->makeLink(parts.name, text.value) : Status::failure(text.error);
      if (made.ok()) (void)folder->setLinkTime(parts.name, entry.modified);
      if (made.ok()) {
        ++report.restored;
      } else if (made.error == EEXIST) {
        report.kept.push_back(shown);
      } else {
        fail(shown, made.error);
      }
      continue;
    }
    const auto written = copyAside(*from, entry, *folder, parts.name);
    if (!written.ok()) {
      fail(shown, written.error);
      continue;
    }
    std::string keptName;
    if (replace) {
      // The user's file first goes beside itself, under a name never taken.
      Status moved;
      for (int attempt = 0; attempt < 100; ++attempt) {
        keptName = keptNameFor(parts.name, now, attempt);
        moved = folder->moveTo(parts.name, *folder, keptName);
        if (moved.error != EEXIST) break;
      }
      if (!moved.ok()) {
        (void)folder->removeFile(written.value);
        fail(shown, moved.error);
        continue;
      }
      report.kept.push_back(below(job.destination, joined(parts.folder, keptName)));
    }
    const Status placed = folder->moveTo(written.value, *folder, parts.name);
    if (placed.ok()) {
      ++report.restored;
      continue;
    }
    (void)folder->removeFile(written.value);
    if (replace) {
      (void)folder->moveTo(keptName, *folder, parts.name);
      report.kept.pop_back();
    }
    if (placed.error == EEXIST) {
      report.kept.push_back(shown);  // made there meanwhile: left as it is
    } else {
      fail(shown, placed.error);
    }
  }
  // The folders this restore made get their times and permissions last,
  // deepest first: filling them moved their times.
  std::map<std::string, const RestoreEntry*> folderEntries;
  for (const RestoreEntry& entry : job.entries) {
    if (entry.kind == EntryKind::Folder) folderEntries[placeOf(job, entry)] = &entry;
  }
  const auto& made = places.made();
  for (auto path = made.rbegin(); path != made.rend(); ++path) {
    const auto entry = folderEntries.find(*path);
    if (entry == folderEntries.end()) continue;
    int error = 0;
    if (Folder* folder = places.get(*path, false, &error)) {
      (void)folder->setModified(entry->second->modified);
      (void)folder->setMode(entry->second->mode);
    }
  }
  if (progress) progress(done, total);
  return report;
}

}  // namespace tavro
