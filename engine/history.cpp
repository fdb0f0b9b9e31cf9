#include "engine/history.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "engine/walk_limits.h"

namespace tavro {

namespace {

std::int64_t secondsSinceEpoch(const LocalDateTime& t) {
  return minutesSinceEpoch(t) * 60 + t.second;
}

LocalDateTime fromSecondsSinceEpoch(std::int64_t seconds) {
  LocalDateTime t = addMinutes(LocalDateTime{}, floorDiv(seconds, 60));
  t.second = static_cast<int>(seconds - floorDiv(seconds, 60) * 60);
  return t;
}

// A step between two runs longer than this is taken for a clock that was
// wrong at one of them: it adds nothing to the age of what came before. A
// longer pause between real runs only keeps versions a little longer.
constexpr std::int64_t kLongestTrustedStep = 31 * 86400;

// The run folders of `pair`, each with the time its name stands for,
// oldest first.
std::vector<std::pair<std::int64_t, std::string>> runFoldersIn(Folder& pair) {
  std::vector<std::pair<std::int64_t, std::string>> runs;
  auto listing = pair.list();
  if (!listing.ok()) return runs;
  ListedEntry entry;
  int error = 0;
  while (listing.value->next(entry, &error)) {
    const auto when = parseHistoryStamp(entry.name);
    if (when && kindOf(pair, entry) == EntryKind::Folder) {
      runs.emplace_back(secondsSinceEpoch(*when), entry.name);
    }
  }
  std::sort(runs.begin(), runs.end());
  return runs;
}

// Removes the folder `name` of `parent` with everything in it, as far as it
// goes; links are removed as links, never followed.
void removeTree(Folder& parent, const std::string& name, int depth) {
  if (depth < kMaxFolderDepth) {
    if (auto folder = parent.openFolder(name); folder.ok()) {
      if (auto listing = folder.value->list(); listing.ok()) {
        ListedEntry entry;
        int error = 0;
        while (listing.value->next(entry, &error)) {
          const auto kind = kindOf(*folder.value, entry);
          if (kind == EntryKind::Folder) {
            removeTree(*folder.value, entry.name, depth + 1);
          } else if (kind) {
            (void)folder.value->removeFile(entry.name);
          }
        }
      }
    }
  }
  (void)parent.removeFolder(name);
}

}  // namespace

std::string historyNameOf(const std::string& source) {
  std::string name = splitPath(withoutTrailingSeparators(source)).name;  // "/" has none
  return name.empty() ? std::string("_") : name;
}

std::string historyFolderOf(const std::string& source, const std::string& target) {
  return joinPath(joinPath(target, kHistoryFolderName), historyNameOf(source));
}

std::string historyStamp(const LocalDateTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d.%02d.%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::optional<LocalDateTime> parseHistoryStamp(const std::string& name) {
  if (name.size() != 19) return std::nullopt;
  static constexpr const char* kShape = "dddd-dd-dd dd.dd.dd";
  for (std::size_t i = 0; i < name.size(); ++i) {
    const bool digit = name[i] >= '0' && name[i] <= '9';
    if (kShape[i] == 'd' ? !digit : name[i] != kShape[i]) return std::nullopt;
  }
  auto number = [&](std::size_t at, std::size_t length) {
    return std::stoi(name.substr(at, length));
  };
  LocalDateTime t;
  t.year = number(0, 4);
  t.month = number(5, 2);
  t.day = number(8, 2);
  t.hour = number(11, 2);
  t.minute = number(14, 2);
  t.second = number(17, 2);
  if (t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 || t.hour > 23 || t.minute > 59 ||
      t.second > 59) {
    return std::nullopt;
  }
  return t;
}

History::History(Folder& target, std::string pairName, std::string pairFolderPath,
                 const LocalDateTime& runStart)
    : target_(target),
      pairName_(std::move(pairName)),
      pairFolderPath_(std::move(pairFolderPath)),
      runStart_(runStart) {}

Folder* History::child(Folder& parent, const std::string& name, std::unique_ptr<Folder>& kept) {
  auto opened = parent.openFolder(name);
  if (!opened.ok() && opened.error == ENOENT && parent.makeFolder(name, 0700).ok()) {
    opened = parent.openFolder(name);
  }
  kept = opened.ok() ? std::move(opened.value) : nullptr;
  return kept.get();
}

Folder* History::placeFor(const Folder& folder) {
  const std::string& path = folder.path();
  std::string relative;
  if (path != pairFolderPath_) {
    if (path.size() <= pairFolderPath_.size() || !path.starts_with(pairFolderPath_) ||
        !isPathSeparator(path[pairFolderPath_.size()])) {
      return nullptr;
    }
    relative = path.substr(pairFolderPath_.size() + 1);
  }
  if (place_ && placePath_ == relative) return place_.get();
  place_.reset();
  if (!run_) {
    if (!top_ && child(target_, kHistoryFolderName, top_) == nullptr) return nullptr;
    if (!pair_ && child(*top_, pairName_, pair_) == nullptr) return nullptr;
    if (child(*pair_, historyStamp(fromSecondsSinceEpoch(runTime())), run_) == nullptr) {
      return nullptr;
    }
  }
  if (relative.empty()) return run_.get();
  {
    std::unique_ptr<Folder> at;
    Folder* current = run_.get();
    std::size_t start = 0;
    while (start <= relative.size()) {
      std::size_t end = start;
      while (end < relative.size() && !isPathSeparator(relative[end])) ++end;
      std::unique_ptr<Folder> next;
      if (child(*current, relative.substr(start, end - start), next) == nullptr) return nullptr;
      at = std::move(next);
      current = at.get();
      start = end + 1;
    }
    place_ = std::move(at);
  }
  placePath_ = relative;
  return place_.get();
}

Status History::moveIn(Folder& folder, const std::string& name) {
  std::lock_guard lock(mutex_);
  Folder* place = placeFor(folder);
  if (place == nullptr) return Status::failure(EIO);
  return folder.moveTo(name, *place, name);
}

Status History::linkIn(Folder& folder, const std::string& name) {
  std::lock_guard lock(mutex_);
  Folder* place = placeFor(folder);
  if (place == nullptr) return Status::failure(EIO);
  return folder.linkTo(name, *place, name);
}

std::int64_t History::runTime() {
  if (runTime_) return *runTime_;
  std::int64_t time = secondsSinceEpoch(runStart_);
  if (auto top = target_.openFolder(kHistoryFolderName); top.ok()) {
    if (auto pair = top.value->openFolder(pairName_); pair.ok()) {
      const auto runs = runFoldersIn(*pair.value);
      // A clock set back names this run after the newest one all the same,
      // so that the names keep the order in which the runs were made.
      if (!runs.empty()) time = std::max(time, runs.back().first + 1);
    }
  }
  runTime_ = time;
  return time;
}

// A run folder's age is not this run's clock minus its name: it is the sum
// of the steps from it through the later runs to this one, each step that
// was too long to trust counting nothing. A clock far ahead or far behind
// therefore makes nothing older than it is, and the runs made while it was
// wrong age from the moment it is right again.
void History::prune(int days) {
  if (days <= 0) return;
  auto top = target_.openFolder(kHistoryFolderName);
  if (!top.ok()) return;
  auto pair = top.value->openFolder(pairName_);
  if (!pair.ok()) return;
  const auto runs = runFoldersIn(*pair.value);
  const std::int64_t kept = std::int64_t{days} * 86400;
  // From the newest back, each run folder is older than the one after it
  // by the step between them.
  std::int64_t later = runTime();
  std::int64_t age = 0;
  for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
    const std::int64_t step = later - run->first;
    if (step <= kLongestTrustedStep) age += step;
    later = run->first;
    if (age > kept) removeTree(*pair.value, run->second, 0);
  }
}

}  // namespace tavro
