#include "engine/restore.h"

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
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

// A path in the pair cut at its last separator ("" for the folder of a name
// at the top).
PathParts splitRelative(const std::string& relative) {
  std::size_t at = relative.size();
  while (at > 0 && !isPathSeparator(relative[at - 1])) --at;
  if (at == 0) return {"", relative};
  return {relative.substr(0, at - 1), relative.substr(at)};
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
    Folder* folder = (open_[relative] = std::move(opened.value)).get();
    forgetAllBut(relative);
    return folder;
  }
  const std::vector<std::string>& made() const { return made_; }

  // Few folders stay open: a tree of many thousand folders would run out of
  // the handles a process may hold. The folders above `relative` stay, as
  // the next paths are mostly beside it.
  void forgetAllBut(const std::string& relative) {
    constexpr std::size_t kMostOpen = 64;
    if (open_.size() <= kMostOpen) return;
    for (auto folder = open_.begin(); folder != open_.end();) {
      const std::string& path = folder->first;
      const bool above = path.empty() || isSameOrInside(relative, path);
      folder = above ? std::next(folder) : open_.erase(folder);
    }
  }

 private:
  std::map<std::string, std::unique_ptr<Folder>> open_;
  std::vector<std::string> made_;
};

// "name (před obnovou <stamp>).ext": the user's current file, kept beside
// the version that takes its name.
std::string keptNameFor(const std::string& name, const LocalDateTime& now, int attempt) {
  const std::size_t dot = name.rfind('.');
  const std::size_t stem = dot != std::string::npos && dot > 0 ? dot : name.size();
  std::string kept(name, 0, stem);
  kept += " (před obnovou ";
  kept += historyStamp(now);
  if (attempt > 0) {
    kept += ' ';
    kept += std::to_string(attempt + 1);
  }
  kept += ")";
  kept.append(name, stem, std::string::npos);
  return kept;
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
  if (!history.ok()) {
    if (history.error != ENOENT) historyUnread_ = history_ + ": " + systemReason(history.error);
    return;
  }
  auto listing = history.value->list();
  if (!listing.ok()) {
    historyUnread_ = history_ + ": " + systemReason(listing.error);
    return;
  }
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

void PairBackup::walk(int copy, const std::vector<std::string>& names, const Visit& visit) {
  auto root = fs_.openFolder(copyFolder(copy));
  if (!root.ok()) {
    if (root.error != ENOENT) unread(copyFolder(copy), root.error);
    return;
  }
  if (names.empty()) {
    const auto info = root.value->info();
    if (info.ok() && visit("", info.value)) walkInside(*root.value, copy, "", visit, 1);
    return;
  }
  auto parent = openBelow(std::move(root.value), names, names.size() - 1);
  if (!parent) return;  // not in this copy
  const auto info = parent->stat(names.back());
  if (!info.ok() || info.value.kind == EntryKind::Special) return;
  std::string path;
  for (const std::string& name : names) path = joined(path, name);
  if (!visit(path, info.value) || info.value.kind != EntryKind::Folder) return;
  auto folder = parent->openFolder(names.back());
  if (!folder.ok()) {
    unread(joinPath(copyFolder(copy), path), folder.error);
    return;
  }
  walkInside(*folder.value, copy, path, visit, static_cast<int>(names.size()));
}

void PairBackup::walkInside(Folder& folder, int copy, const std::string& path, const Visit& visit,
                            int depth) {
  if (depth >= kMaxFolderDepth) return;
  auto listing = folder.list();
  if (!listing.ok()) {
    unread(folder.path(), listing.error);
    return;
  }
  ListedEntry listed;
  int error = 0;
  while (listing.value->next(listed, &error)) {
    const auto info = folder.stat(listed.name);
    if (!info.ok()) {
      if (info.error != ENOENT) unread(folder.pathOf(listed.name), info.error);
      continue;
    }
    if (info.value.kind == EntryKind::Special) continue;
    const std::string inner = joined(path, listed.name);
    if (!visit(inner, info.value) || info.value.kind != EntryKind::Folder) continue;
    auto child = folder.openFolder(listed.name);
    if (!child.ok()) {
      unread(folder.pathOf(listed.name), child.error);
      continue;
    }
    walkInside(*child.value, copy, inner, visit, depth + 1);
  }
  if (error != 0) unread(folder.path(), error);
}

void PairBackup::unread(const std::string& path, int error) {
  unreadable_.push_back(path + ": " + systemReason(error));
}

std::vector<RestoreEntry> PairBackup::stateAt(const RestorePoint& point,
                                              const std::string& relative) {
  unreadable_.clear();
  if (!historyUnread_.empty()) unreadable_.push_back(historyUnread_);
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

  // Each copy is walked on its own, holding a folder per level only, and
  // the paths met are merged: the first copy that has a path decides it,
  // and a folder takes its contents from every copy where it is a folder.
  // Keys order the paths as a walk meets them: a folder before its
  // contents ("\0" sorts before any character of a name).
  struct Found {
    RestoreEntry entry;
    int folderCopies = 0;
  };
  std::map<std::string, Found> found;
  auto keyOf = [](std::string path) {
    std::replace_if(
        path.begin(), path.end(), [](char c) { return isPathSeparator(c); }, '\0');
    return path;
  };
  for (int copy : copies) {
    walk(copy, *names, [&](const std::string& path, const EntryInfo& info) {
      const std::string key = keyOf(path);
      if (auto known = found.find(key); known != found.end()) {
        // A later copy adds to a folder only; a file's version is decided.
        const bool folder =
            known->second.entry.kind == EntryKind::Folder && info.kind == EntryKind::Folder;
        if (folder) ++known->second.folderCopies;
        return folder;
      }
      if (!path.empty() && path != relative) {
        // Inside a path an earlier copy decided is a file: not there then.
        const auto parent = found.find(keyOf(splitRelative(path).folder));
        if (parent == found.end() || parent->second.entry.kind != EntryKind::Folder) return false;
      }
      // A file the pair folder has that was last written after the point
      // came later; before it, it was not there.
      if (copy == 0 && at && info.kind != EntryKind::Folder &&
          localSecondsOf(info.modified) > *at) {
        return false;
      }
      found[key] = {{path, info.kind, info.size, info.modified, info.mode, copy},
                    info.kind == EntryKind::Folder ? 1 : 0};
      return true;
    });
  }
  // A folder only the pair folder has, empty at the point and written after
  // it, came later as well. Backwards, contents come before their folder.
  std::set<std::string> filled;
  std::vector<bool> kept(found.size(), true);
  std::size_t index = found.size();
  for (auto item = found.rbegin(); item != found.rend(); ++item) {
    --index;
    const RestoreEntry& entry = item->second.entry;
    if (entry.kind == EntryKind::Folder && at && entry.copy == 0 &&
        item->second.folderCopies == 1 && !filled.contains(item->first) &&
        localSecondsOf(entry.modified) > *at && !entry.path.empty()) {
      kept[index] = false;
      continue;
    }
    if (!entry.path.empty()) filled.insert(keyOf(splitRelative(entry.path).folder));
  }
  index = 0;
  for (auto& [key, item] : found) {
    if (kept[index++]) entries.push_back(std::move(item.entry));
  }
  return entries;
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
  const std::string sourceName = splitRelative(entry.path).name;
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
    const PathParts parts = splitRelative(place);
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
  report.failed = job.unreadable;
  auto fail = [&](const std::string& path, int error) {
    report.failed.push_back(path + ": " + systemReason(error));
  };
  // The backup is only read: a destination in it would change the versions
  // being restored, and the next run would take the files for its own.
  const std::string into = fs.resolve(job.destination);
  for (const std::string& backupFolder : {backup.pairFolder(), backup.historyFolder()}) {
    if (isSameOrInside(into, fs.resolve(backupFolder))) {
      report.failed.push_back(job.destination + ": " + kDestinationInBackup);
      return report;
    }
  }
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
    return tree->get(splitRelative(entry.path).folder, false, error);
  };
  const int total = static_cast<int>(job.entries.size());
  int done = 0;
  for (const RestoreEntry& entry : job.entries) {
    if (progress && !progress(done, total)) {
      report.stopped = true;
      break;
    }
    ++done;
    const std::string place = placeOf(job, entry);
    const std::string shown = below(job.destination, place);
    const PathParts parts = splitRelative(place);
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
    const std::string sourceName = splitRelative(entry.path).name;
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
