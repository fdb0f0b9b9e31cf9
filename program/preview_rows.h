#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/backup_run.h"

namespace tavro {

// The entry list of "Náhled zálohy" as both windows show it: a row per
// planned entry of every pair, in three columns.
enum class PreviewColumn { Kind = 0, Size = 1, Path = 2 };
inline constexpr const char* kPreviewHeadings[] = {"Změna", "Velikost (B)", "Soubor"};

// A number grouped by thousands, as Czech writes it (no-break spaces).
std::string grouped(std::int64_t number);
// "nové", "změněné" or "smazané".
const char* changeText(Change change);
// A column's text for one entry: sizes grouped by thousands (as Czech
// writes them, with no-break spaces), folders with "/" after their path and
// no size.
std::string previewCell(const PlannedEntry& entry, PreviewColumn column);
// The summary above the entries: a line per pair, and under it, indented,
// the lines of what the pair can tell already would fail.
std::vector<std::string> previewSummaryLines(const std::vector<PairPreview>& pairs);
// Every planned entry of every pair, in the plans' order.
std::vector<const PlannedEntry*> previewRows(const std::vector<PairPreview>& pairs);
// Whether `a` comes before `b` in ascending order by `column`.
bool previewLess(const PlannedEntry& a, const PlannedEntry& b, PreviewColumn column);

}  // namespace tavro
