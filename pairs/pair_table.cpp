#include "pairs/pair_table.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <limits>
#include <optional>

#include "platform/file_text.h"
#include "platform/text.h"
#include "platform/utf8.h"
#include "platform/whole_file.h"

namespace tavro {

namespace {

struct ColumnDefinition {
  const char* name;
  std::size_t limit;  // characters
};
// Paths are never cut: a cut path is another folder. Only the line limit
// bounds them.
constexpr std::size_t kWhole = std::numeric_limits<std::size_t>::max();
constexpr ColumnDefinition kColumns[3] = {{"SRC", kWhole}, {"TRG", kWhole}, {"STAV", 20}};

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

std::string quotedItem(std::string_view value) {
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  quoted += '"';
  return quoted;
}

// The value an item's characters stand for: blanks and tabs around it go,
// and an item in double quotes loses them and reads doubled quotes as one.
std::string valueOf(std::string_view item) {
  item = trimBlanks(item);
  if (item.size() < 2 || item.front() != '"' || item.back() != '"') return std::string(item);
  item = item.substr(1, item.size() - 2);
  std::string value;
  for (std::size_t i = 0; i < item.size(); ++i) {
    value += item[i];
    if (item[i] == '"' && i + 1 < item.size() && item[i + 1] == '"') ++i;
  }
  return value;
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
  return quotedItem(kept);
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
  unread_.clear();

  const auto whole = fs_.absolutePath(fileName_);
  if (!whole.ok()) {
    throw TableError("Cannot open file \"" + fileName_ + "\". " + systemReason(whole.error));
  }
  path_ = whole.value;

  const auto contents = readWholeFile(fs_, path_);
  if (!contents.ok() && contents.error != ENOENT) {
    throw TableError("Cannot open file \"" + path_ + "\". " + systemReason(contents.error));
  }
  if (contents.ok()) {
    FileText read = textOfFile(contents.value);
    byteOrderMark_ = read.byteOrderMark;
    load(read.text);
  } else {
    byteOrderMark_ = false;
    load({});
  }
  open_ = true;
  current_ = rows_.empty() ? -1 : 0;
}

void PairTable::load(const std::string& whole) {
  const std::size_t nul = std::min(whole.size(), whole.find('\0'));
  const std::string_view text(whole.data(), nul);

  std::size_t positions[3] = {0, 1, 2};
  std::vector<std::string> header = {"SRC", "TRG", "STAV"};
  std::vector<Row> rows;
  std::string missingCommas;
  bool headerRead = false;
  // Lines are taken one at a time from the file's text: a file of millions
  // of empty lines must not become millions of strings.
  std::size_t pos = 0;
  while (pos < text.size()) {
    // A line ends at CR, at LF, or at CR LF together.
    const std::size_t end = std::min(text.size(), text.find_first_of("\r\n", pos));
    const std::string_view line = text.substr(pos, end - pos);
    pos = end == text.size()
              ? end
              : end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    if (line.size() >= kMaxLineChars && utf8Length(line) >= kMaxLineChars) throw tooLong(line);
    if (!headerRead) {
      headerRead = true;
      // Quotes mean nothing in the header: every comma separates.
      header.clear();
      bool named[3] = {false, false, false};
      std::size_t start = 0;
      for (;;) {
        const std::size_t comma = std::min(line.size(), line.find(',', start));
        std::string_view item = trimBlanks(line.substr(start, comma - start));
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
    if ((line.empty() && missingCommas.empty()) || line.starts_with(">>")) continue;
    std::string full(line);
    full += missingCommas;
    // The commas added for missing columns are written back with the line,
    // so they count here: what loads once loads again after a write.
    if (!missingCommas.empty() && utf8Length(full) >= kMaxLineChars) throw tooLong(full);
    if (itemsOf(full).starts.size() > kMaxItems) throw TableError(kTooManyItems);
    rows.push_back(Row{std::move(full)});
  }

  rows_ = std::move(rows);
  std::copy(std::begin(positions), std::end(positions), positions_);
  header_ = std::move(header);
  unread_ = whole.substr(nul);
}

PairTable::Items PairTable::itemsOf(std::string_view line) {
  Items items;
  items.starts.push_back(0);
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') {
      if (quoted && i + 1 < line.size() && line[i + 1] == '"') {
        ++i;  // a doubled quote inside quotes is one literal quote
      } else {
        quoted = !quoted;
      }
    } else if (line[i] == ',' && !quoted) {
      items.starts.push_back(i + 1);
    }
  }
  items.openQuote = quoted;
  return items;
}

std::string_view PairTable::itemText(std::string_view line, const Items& items,
                                     std::size_t position) {
  const std::size_t start = items.starts[position];
  const std::size_t end =
      position + 1 < items.starts.size() ? items.starts[position + 1] - 1 : line.size();
  return line.substr(start, end - start);
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

Column PairTable::columnNamed(std::string_view name) {
  const int index = columnIndex(name);
  if (index < 0) throw TableError("jcsv1: Field '" + std::string(name) + "' not found");
  return static_cast<Column>(index);
}

std::size_t PairTable::columnPosition(Column column) const {
  return positions_[static_cast<int>(column)];
}

std::string PairTable::itemValue(const Row& row, Column column) const {
  const std::size_t position = columnPosition(column);
  const Items items = itemsOf(row.text);
  if (position >= items.starts.size()) return {};
  return std::string(utf8Prefix(valueOf(itemText(row.text, items, position)),
                                kColumns[static_cast<int>(column)].limit));
}

std::string PairTable::fieldText(Column column) const {
  requireOpen();
  const Row* row = currentRow();
  return row == nullptr ? std::string() : itemValue(*row, column);
}

std::string PairTable::fieldTextAt(int position, Column column) const {
  requireOpen();
  if (position < 0 || position >= static_cast<int>(rows_.size())) return {};
  return itemValue(rows_[static_cast<std::size_t>(position)], column);
}

std::string PairTable::fieldText(std::string_view column) const {
  return fieldText(columnNamed(column));
}

std::string PairTable::fieldTextAt(int position, std::string_view column) const {
  return fieldTextAt(position, columnNamed(column));
}

void PairTable::setFieldText(std::string_view column, std::string_view text) {
  setFieldText(columnNamed(column), text);
}

BackupPair PairTable::pairAt(int position) const {
  return {fieldTextAt(position, Column::Source), fieldTextAt(position, Column::Target),
          fieldTextAt(position, Column::State)};
}

std::string PairTable::assigned(std::string line, Column column, std::string_view text) const {
  const std::size_t position = columnPosition(column);
  Items items = itemsOf(line);
  if (position >= items.starts.size() && items.openQuote) {
    // The last item opened a quote it never closed, so a comma added after
    // it would be read as part of it: it is written in a closed form of
    // the same value first.
    const std::size_t last = items.starts.size() - 1;
    const std::string value = valueOf(itemText(line, items, last));
    line.replace(items.starts[last], std::string::npos, quotedItem(value));
    items.openQuote = false;
  }
  // A short line gets the items it lacks, so the value is not lost.
  while (items.starts.size() <= position) {
    line += ',';
    items.starts.push_back(line.size());
  }
  const std::string item = itemFor(utf8Prefix(text, kColumns[static_cast<int>(column)].limit));
  const std::string_view old = itemText(line, items, position);
  line.replace(items.starts[position], old.size(), item);
  // A line with extra items of its own could grow past what the file may
  // hold; refusing the value keeps the file loadable.
  if (utf8Length(line) >= kMaxLineChars) throw tooLong(line);
  return line;
}

void PairTable::setFieldText(Column column, std::string_view text) {
  requireOpen();
  if (mode_ == Mode::Browse) {
    throw TableError("jcsv1: Dataset not in edit or insert mode");
  }
  working_.text = assigned(working_.text, column, text);
  assigned_ = true;
  changed_ = true;
}

void PairTable::setFieldTextAt(int position, Column column, std::string_view text) {
  requireOpen();
  if (position < 0 || position >= static_cast<int>(rows_.size())) return;
  Row& row = rows_[static_cast<std::size_t>(position)];
  row.text = assigned(row.text, column, text);
  changed_ = true;
}

void PairTable::insert() {
  requireOpen();
  endEditing();
  working_ = Row{",,"};
  insertAt_ = rows_.empty() ? 0 : std::max(current_, 0);
  mode_ = Mode::Insert;
  assigned_ = false;
}

void PairTable::append() {
  requireOpen();
  endEditing();
  working_ = Row{",,"};
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
  text += unread_;
  return text;
}

void PairTable::write() {
  const Status written = replaceWholeFile(fs_, path_, bytesOfFile(fileText(), byteOrderMark_));
  if (!written.ok()) {
    throw TableError("Cannot create file \"" + path_ + "\". " + systemReason(written.error));
  }
  changed_ = false;
}

}  // namespace tavro
