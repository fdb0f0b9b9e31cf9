#include "program/restore_view.h"

#include <algorithm>
#include <ctime>

#include "engine/pair_mirror.h"
#include "program/preview_rows.h"

namespace tavro {

namespace {

std::string lowered(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string timeText(const LocalDateTime& t, bool seconds) {
  std::string text = formatDayMonthYear(t);
  text += ' ';
  text += seconds ? formatTimeOfDay(t) : formatHourMinute(t.hour, t.minute);
  return text;
}

void add(RestoreReport& into, RestoreReport&& from) {
  into.restored += from.restored;
  into.unchanged += from.unchanged;
  into.kept.insert(into.kept.end(), from.kept.begin(), from.kept.end());
  into.failed.insert(into.failed.end(), from.failed.begin(), from.failed.end());
  into.stopped = into.stopped || from.stopped;
}

// A few lines of a list, the rest counted.
std::string someOf(const std::vector<std::string>& lines) {
  constexpr std::size_t kShown = 10;
  std::string text;
  for (std::size_t i = 0; i < lines.size() && i < kShown; ++i) text += "\n" + lines[i];
  if (lines.size() > kShown)
    text += "\n... a další (" + std::to_string(lines.size() - kShown) + ")";
  return text;
}

}  // namespace

RestoreView::RestoreView(FileSystem& fs, BackupPair pair)
    : fs_(fs), pair_(std::move(pair)), backup_(fs, pair_.source, pair_.target) {
  points_ = backup_.points();
}

std::string RestoreView::pointText(const RestorePoint& point) {
  if (!point.before) return "Aktuální záloha";
  return "Před zálohou " + timeText(*point.before, true);
}

void RestoreView::choosePoint(int index) {
  rows_.clear();
  chosen_ = index;
  if (index < 0 || index >= static_cast<int>(points_.size())) return;
  for (const RestoreEntry& entry : backup_.stateAt(points_[index])) {
    if (entry.path.empty()) continue;  // the pair folder itself
    Row row;
    row.path = entry.path;
    row.name = splitPath(entry.path).name;
    row.depth = static_cast<int>(std::count_if(entry.path.begin(), entry.path.end(),
                                               [](char c) { return isPathSeparator(c); }));
    row.folder = entry.kind == EntryKind::Folder;
    if (!row.folder) row.size = grouped(entry.size);
    row.modified = timeText(localTimeOf(entry.modified.tv_sec), false);
    rows_.push_back(std::move(row));
  }
}

std::vector<int> RestoreView::shownRows(const std::string& filter) const {
  std::vector<int> shown;
  const std::string wanted = lowered(filter);
  if (wanted.empty()) {
    for (int i = 0; i < static_cast<int>(rows_.size()); ++i) shown.push_back(i);
    return shown;
  }
  // A match shows the folders above it: the rows before it that hold it.
  std::vector<bool> keep(rows_.size(), false);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (lowered(rows_[i].name).find(wanted) == std::string::npos) continue;
    keep[i] = true;
    for (std::size_t j = i; j-- > 0;) {
      if (rows_[j].folder && isSameOrInside(rows_[i].path, rows_[j].path)) keep[j] = true;
    }
  }
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    if (keep[i]) shown.push_back(static_cast<int>(i));
  }
  return shown;
}

std::vector<std::string> RestoreView::chosenPaths(const std::vector<int>& chosen) const {
  std::vector<std::string> paths;
  for (int index : chosen) {
    if (index >= 0 && index < static_cast<int>(rows_.size())) paths.push_back(rows_[index].path);
  }
  if (paths.empty()) return {""};  // nothing chosen: the whole pair
  std::sort(paths.begin(), paths.end());
  std::vector<std::string> outermost;
  for (const std::string& path : paths) {
    if (!outermost.empty() && isSameOrInside(path, outermost.back())) {
      continue;
    }
    outermost.push_back(path);
  }
  return outermost;
}

RestoreJob RestoreView::inPlaceJob(const std::vector<int>& chosen) {
  // Relative to the folder that holds the source, so that a source that is
  // gone comes back as a whole, and a path whose folders are gone with them.
  RestoreJob job;
  job.destination = splitPath(withoutTrailingSeparators(pair_.source)).folder;
  job.name = lastComponent(pair_.source);
  if (chosen_ < 0) return job;
  for (const std::string& path : chosenPaths(chosen)) {
    auto entries = backup_.stateAt(points_[chosen_], path);
    std::move(entries.begin(), entries.end(), std::back_inserter(job.entries));
    const auto& unread = backup_.unreadable();
    job.unreadable.insert(job.unreadable.end(), unread.begin(), unread.end());
  }
  return job;
}

std::vector<std::string> RestoreView::filesToReplaceInPlace(const std::vector<int>& chosen) {
  return filesToReplace(fs_, inPlaceJob(chosen));
}

RestoreReport RestoreView::restoreInPlace(const std::vector<int>& chosen, const LocalDateTime& now,
                                          const std::function<bool(int, int)>& progress) {
  return restore(fs_, backup_, inPlaceJob(chosen), RestoreMode::ReplaceKeepingCurrent, now,
                 progress);
}

RestoreReport RestoreView::restoreInto(const std::string& folder, const std::vector<int>& chosen,
                                       const LocalDateTime& now,
                                       const std::function<bool(int, int)>& progress) {
  RestoreReport report;
  if (chosen_ < 0) return report;
  for (const std::string& path : chosenPaths(chosen)) {
    if (report.stopped) break;
    RestoreJob job;
    job.entries = backup_.stateAt(points_[chosen_], path);
    job.unreadable = backup_.unreadable();
    job.relative = path;
    job.destination = folder;
    job.name = path.empty() ? lastComponent(pair_.source) : splitPath(path).name;
    add(report, restore(fs_, backup_, job, RestoreMode::NeverReplace, now, progress));
  }
  return report;
}

bool RestoreView::restoreInPlaceAsking(const std::vector<int>& chosen, const RestoreHooks& hooks) {
  const auto replaced = filesToReplaceInPlace(chosen);
  if (!replaced.empty() && !hooks.confirm(replaceQuestion(replaced))) return false;
  if (hooks.busy) hooks.busy(true);
  restoring_ = true;
  const RestoreReport report = restoreInPlace(chosen, hooks.now(), hooks.progress);
  restoring_ = false;
  if (hooks.busy) hooks.busy(false);
  hooks.report(reportText(report), !report.failed.empty() || report.stopped);
  return true;
}

bool RestoreView::restoreElsewhereAsking(const std::vector<int>& chosen,
                                         const RestoreHooks& hooks) {
  const auto folder = hooks.chooseFolder();
  if (!folder) return false;
  if (hooks.busy) hooks.busy(true);
  restoring_ = true;
  const RestoreReport report = restoreInto(*folder, chosen, hooks.now(), hooks.progress);
  restoring_ = false;
  if (hooks.busy) hooks.busy(false);
  hooks.report(reportText(report), !report.failed.empty() || report.stopped);
  return true;
}

std::string RestoreView::replaceQuestion(const std::vector<std::string>& files) {
  return "Obnova nahradí tyto soubory (" + std::to_string(files.size()) +
         "); každý se nejdřív uchová vedle sebe jako „… (před obnovou …)“:" + someOf(files) +
         "\n\nNahradit?";
}

std::string RestoreView::reportText(const RestoreReport& report) {
  std::string text = report.stopped ? "Obnova přerušena. " : "";
  text += "Obnoveno položek: " + std::to_string(report.restored) +
          ", beze změny: " + std::to_string(report.unchanged) + ".";
  if (!report.kept.empty()) text += "\n\nPonecháno:" + someOf(report.kept);
  if (!report.failed.empty()) text += "\n\nNelze obnovit:" + someOf(report.failed);
  return text;
}

}  // namespace tavro
