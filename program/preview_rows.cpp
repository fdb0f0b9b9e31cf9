#include "program/preview_rows.h"

namespace tavro {

const char* changeText(Change change) {
  switch (change) {
    case Change::New: return "nové";
    case Change::Changed: return "změněné";
    case Change::Deleted: return "smazané";
  }
  return "";
}

std::string grouped(std::int64_t number) {
  const std::string digits = std::to_string(number < 0 ? -number : number);
  std::string text = number < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += "\u00A0";
    text += digits[i];
  }
  return text;
}

std::string previewCell(const PlannedEntry& entry, PreviewColumn column) {
  switch (column) {
    case PreviewColumn::Kind: return changeText(entry.change);
    case PreviewColumn::Size: return entry.folder ? std::string() : grouped(entry.size);
    case PreviewColumn::Path: return entry.folder ? entry.path + "/" : entry.path;
  }
  return {};
}

std::vector<std::string> previewSummaryLines(const std::vector<PairPreview>& pairs) {
  std::vector<std::string> lines;
  for (const auto& pair : pairs) {
    lines.push_back(previewSummary(pair));
    for (const auto& line : pair.lines) lines.push_back("    " + line);
  }
  return lines;
}

std::vector<const PlannedEntry*> previewRows(const std::vector<PairPreview>& pairs) {
  std::vector<const PlannedEntry*> rows;
  for (const auto& pair : pairs) {
    for (const auto& entry : pair.plan.entries) rows.push_back(&entry);
  }
  return rows;
}

bool previewLess(const PlannedEntry& a, const PlannedEntry& b, PreviewColumn column) {
  switch (column) {
    case PreviewColumn::Kind: return a.change < b.change;
    case PreviewColumn::Size: return a.size < b.size;
    case PreviewColumn::Path: return a.path < b.path;
  }
  return false;
}

}  // namespace tavro
