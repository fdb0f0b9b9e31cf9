#include "pairs/pair_table.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <optional>

#include "platform/text.h"
#include "platform/utf8.h"
#include "platform/whole_file.h"

namespace tavro {

namespace {

struct Column {
  const char* name;
  std::size_t limit;  // characters
};
constexpr Column kColumns[3] = {{"SRC", 300}, {"TRG", 300}, {"STAV", 20}};

constexpr std::size_t kMaxLineChars = 2047;  // a line this long is refused
constexpr std::size_t kMaxItems = 120;
constexpr std::size_t kQuotedPrefixChars = 40;

constexpr const char* kTooManyItems = "Range check error: a line holds more than 120 items";
constexpr const char* kClosed = "jcsv1: Cannot perform this operation on a closed dataset";
constexpr const char* kEmpty = "jcsv1: Cannot perform this operation on an empty dataset";

int columnIndex(std::string_view name) {
  for (int i = 0; i < 3; ++i) {
    if (equalsIgnoringCase(name, kColumns[i].name)) return i;
  }
  return -1;
}

TableError tooLong(std::string_view line) {
  return TableError("CSV string is too long: " + std::string(utf8Prefix(line, kQuotedPrefixChars)) +
                    "...");
}

// What an assigned value becomes in the line. Control characters other than
// the tab are left out: a line break would split the row, and a NUL would end
// the file, when it is read again.
std::string itemFor(std::string_view text) {
  std::string kept;
  kept.reserve(text.size());
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 32 || c == '\t') kept += c;
  }
  if (kept.find_first_of(",\"") == std::string::npos) return kept;
  std::string quoted = "\"";
  for (char c : kept) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

}  // namespace

PairTable::PairTable(FileSystem& fs, std::string fileName)
    : fs_(fs), fileName_(std::move(fileName)), header_{"SRC", "TRG", "STAV"} {}

void PairTable::requireOpen() const {
  if (!open_) throw TableError(kClosed);
}

void PairTable::open() {
  open_ = false;
  rows_.clear();
  current_ = -1;
  eof_ = false;
  mode_ = Mode::Browse;
  changed_ = false;

  path_ = fileName_;
  if (path_.empty() || path_.front() != '/') {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) == nullptr) {
      throw TableError("Cannot open file \"" + fileName_ + "\". " + systemReason(errno));
    }
    path_ = std::string(buffer) + "/" + fileName_;
  }

  const auto contents = readWholeFile(fs_, path_);
  if (!contents.ok() && contents.error != ENOENT) {
    throw TableError("Cannot open file \"" + path_ + "\". " + systemReason(contents.error));
  }
  load(contents.ok() ? contents.value : std::string());
  open_ = true;
  current_ = rows_.empty() ? -1 : 0;
}

void PairTable::load(const std::string& whole) {
  const std::string_view text(whole.data(), std::min(whole.size(), whole.find('\0')));
  // A line ends at CR, at LF, or at CR LF together.
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = std::min(text.size(), text.find_first_of("\r\n", pos));
    lines.emplace_back(text.substr(pos, end - pos));
    if (end == text.size()) break;
    pos = end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
  }

  std::size_t positions[3] = {0, 1, 2};
  std::vector<std::string> header = {"SRC", "TRG", "STAV"};
  std::vector<Row> rows;
  std::string missingCommas;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::string& line = lines[i];
    if (utf8Length(line) >= kMaxLineChars) throw tooLong(line);
    if (i == 0) {
      // Quotes mean nothing in the header: every comma separates.
      header.clear();
      bool named[3] = {false, false, false};
      std::size_t start = 0;
      for (;;) {
        const std::size_t comma = std::min(line.size(), line.find(',', start));
        std::string_view item = trimBlanks(std::string_view(line).substr(start, comma - start));
        item = item.substr(0, item.find(':'));
        if (item.empty()) {
          throw TableError(splitPath(fileName_).name + ": Error processing first line of CSV file");
        }
        const int column = columnIndex(item);
        if (column < 0) {
          throw TableError(splitPath(fileName_).name + ": ProcessCsvHeaderRow: Field " +
                           std::string(item) + " found in file, but not in field definitions");
        }
        positions[column] = header.size();
        named[column] = true;
        header.emplace_back(kColumns[column].name);
        if (comma == line.size()) break;
        start = comma + 1;
      }
      for (int column = 0; column < 3; ++column) {
        if (named[column]) continue;
        positions[column] = header.size();
        header.emplace_back(kColumns[column].name);
        missingCommas += ',';
      }
      // Counted with the columns it lacks, as it will be written.
      if (header.size() > kMaxItems) throw TableError(kTooManyItems);
      continue;
    }
    line += missingCommas;
    // The commas added for missing columns are written back with the line,
    // so they count here: what loads once loads again after a write.
    if (!missingCommas.empty() && utf8Length(line) >= kMaxLineChars) throw tooLong(line);
    if (line.empty() || line.rfind(">>", 0) == 0) continue;
    Row row = splitLine(std::move(line));
    if (row.starts.size() > kMaxItems) throw TableError(kTooManyItems);
    rows.push_back(std::move(row));
  }

  rows_ = std::move(rows);
  std::copy(std::begin(positions), std::end(positions), positions_);
  header_ = std::move(header);
}

PairTable::Row PairTable::splitLine(std::string line) {
  Row row;
  row.starts.push_back(0);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        ++i;  // a doubled quote inside quotes is one literal quote
      } else {
        quoted = !quoted;
      }
    } else if (line[i] == ',' && !quoted) {
      row.starts.push_back(i + 1);
    }
  }
  row.text = std::move(line);
  return row;
}

void PairTable::close() {
  if (!open_) return;
  mode_ = Mode::Browse;
  std::optional<TableError> failure;
  if (changed_) {
    try {
      write();
    } catch (const TableError& error) {
      failure = error;
    }
  }
  open_ = false;
  rows_.clear();
  current_ = -1;
  changed_ = false;
  if (failure) throw *failure;
}

int PairTable::recordCount() const {
  requireOpen();
  return static_cast<int>(rows_.size());
}

void PairTable::endEditing() {
  if (mode_ == Mode::Browse) return;
  if (assigned_) {
    post();
  } else {
    cancel();
  }
}

void PairTable::first() {
  requireOpen();
  endEditing();
  if (rows_.empty()) {
    eof_ = true;
    return;
  }
  current_ = 0;
  eof_ = false;
}

void PairTable::next() {
  requireOpen();
  endEditing();
  if (rows_.empty() || current_ + 1 >= static_cast<int>(rows_.size())) {
    eof_ = true;
    return;
  }
  ++current_;
  eof_ = false;
}

bool PairTable::eof() const {
  requireOpen();
  return eof_;
}

int PairTable::currentIndex() const {
  requireOpen();
  if (mode_ == Mode::Insert) return insertAt_;
  return current_;
}

void PairTable::moveTo(int position) {
  requireOpen();
  endEditing();
  if (position < 0 || position >= static_cast<int>(rows_.size())) return;
  current_ = position;
  eof_ = false;
}

const PairTable::Row* PairTable::currentRow() const {
  if (mode_ != Mode::Browse) return &working_;
  if (current_ < 0 || current_ >= static_cast<int>(rows_.size())) return nullptr;
  return &rows_[static_cast<std::size_t>(current_)];
}

std::size_t PairTable::columnPosition(std::string_view column) const {
  const int index = columnIndex(column);
  if (index < 0) throw TableError("jcsv1: Field '" + std::string(column) + "' not found");
  return positions_[index];
}

std::size_t PairTable::columnLimit(std::string_view column) const {
  return kColumns[columnIndex(column)].limit;
}

std::string PairTable::itemValue(const Row& row, std::string_view column) const {
  const std::size_t position = columnPosition(column);
  if (position >= row.starts.size()) return {};
  const std::size_t start = row.starts[position];
  const std::size_t end =
      position + 1 < row.starts.size() ? row.starts[position + 1] - 1 : row.text.size();
  std::string_view item = trimBlanks(std::string_view(row.text).substr(start, end - start));
  std::string value;
  if (item.size() >= 2 && item.front() == '"' && item.back() == '"') {
    item = item.substr(1, item.size() - 2);
    for (std::size_t i = 0; i < item.size(); ++i) {
      value += item[i];
      if (item[i] == '"' && i + 1 < item.size() && item[i + 1] == '"') ++i;
    }
  } else {
    value = item;
  }
  return std::string(utf8Prefix(value, columnLimit(column)));
}

std::string PairTable::fieldText(std::string_view column) const {
  requireOpen();
  const Row* row = currentRow();
  if (row == nullptr) {
    columnPosition(column);
    return {};
  }
  return itemValue(*row, column);
}

std::string PairTable::fieldTextAt(int position, std::string_view column) const {
  requireOpen();
  if (position < 0 || position >= static_cast<int>(rows_.size())) return {};
  return itemValue(rows_[static_cast<std::size_t>(position)], column);
}

BackupPair PairTable::pairAt(int position) const {
  return {fieldTextAt(position, "Src"), fieldTextAt(position, "Trg"),
          fieldTextAt(position, "Stav")};
}

void PairTable::setFieldText(std::string_view column, std::string_view text) {
  requireOpen();
  const std::size_t position = columnPosition(column);
  if (mode_ == Mode::Browse) {
    throw TableError("jcsv1: Dataset not in edit or insert mode");
  }
  Row row = working_;
  // A short line gets the items it lacks, so the value is not lost.
  while (row.starts.size() <= position) {
    row.text += ',';
    row.starts.push_back(row.text.size());
  }
  const std::string item = itemFor(utf8Prefix(text, columnLimit(column)));
  const std::size_t start = row.starts[position];
  const std::size_t end =
      position + 1 < row.starts.size() ? row.starts[position + 1] - 1 : row.text.size();
  row.text.replace(start, end - start, item);
  // A line with extra items of its own could grow past what the file may
  // hold; refusing the value keeps the file loadable.
  if (utf8Length(row.text) >= kMaxLineChars) throw tooLong(row.text);
  const std::ptrdiff_t shift =
      static_cast<std::ptrdiff_t>(item.size()) - static_cast<std::ptrdiff_t>(end - start);
  for (std::size_t i = position + 1; i < row.starts.size(); ++i) {
    row.starts[i] = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(row.starts[i]) + shift);
  }
  working_ = std::move(row);
  assigned_ = true;
  changed_ = true;
}

void PairTable::insert() {
  requireOpen();
  endEditing();
  working_ = splitLine(",,");
  insertAt_ = rows_.empty() ? 0 : std::max(current_, 0);
  mode_ = Mode::Insert;
  assigned_ = false;
}

void PairTable::append() {
  requireOpen();
  endEditing();
  working_ = splitLine(",,");
  insertAt_ = static_cast<int>(rows_.size());
  mode_ = Mode::Insert;
  assigned_ = false;
}

void PairTable::edit() {
  requireOpen();
  if (mode_ != Mode::Browse) return;
  if (rows_.empty()) {
    insert();
    return;
  }
  working_ = rows_[static_cast<std::size_t>(current_)];
  mode_ = Mode::Edit;
  assigned_ = false;
}

void PairTable::post() {
  requireOpen();
  if (mode_ == Mode::Edit) {
    rows_[static_cast<std::size_t>(current_)] = std::move(working_);
  } else if (mode_ == Mode::Insert) {
    rows_.insert(rows_.begin() + insertAt_, std::move(working_));
    current_ = insertAt_;
    eof_ = false;
  } else {
    return;
  }
  mode_ = Mode::Browse;
  changed_ = true;
}

void PairTable::cancel() {
  requireOpen();
  mode_ = Mode::Browse;
  working_ = Row{};
}

void PairTable::remove() {
  requireOpen();
  if (mode_ == Mode::Insert) {
    cancel();
    return;
  }
  if (rows_.empty()) throw TableError(kEmpty);
  mode_ = Mode::Browse;
  rows_.erase(rows_.begin() + current_);
  current_ = std::min(current_, static_cast<int>(rows_.size()) - 1);
  changed_ = true;
}

bool PairTable::isEditing() const { return open_ && mode_ == Mode::Edit; }
bool PairTable::isInserting() const { return open_ && mode_ == Mode::Insert; }
bool PairTable::changed() const { return changed_; }

void PairTable::flush() {
  requireOpen();
  if (changed_) write();
}

std::string PairTable::fileText() const {
  std::string text;
  for (std::size_t i = 0; i < header_.size(); ++i) {
    if (i > 0) text += ',';
    text += header_[i];
  }
  text += "\r\n";
  for (const Row& row : rows_) {
    text += row.text;
    text += "\r\n";
  }
  return text;
}

void PairTable::write() {
  const Status written = replaceWholeFile(fs_, path_, fileText());
  if (!written.ok()) {
    throw TableError("Cannot create file \"" + path_ + "\". " + systemReason(written.error));
  }
  changed_ = false;
}

}  // namespace tavro
