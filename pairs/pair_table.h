#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tavro {

// One row of the pair table, as read through fieldText.
// A row of the table; the file's columns are SRC, TRG and STAV.
struct BackupPair {
  std::string source;  // SRC: the source folder, whole (a line holds at most 2046 characters)
  std::string target;  // TRG: the target folder, whole
  std::string state;   // STAV: the state text, at most 20 characters
  bool operator==(const BackupPair&) const = default;
};

// The table's columns; the file and the Part's operations name them "Src",
// "Trg" and "Stav" (letter case aside).
enum class Column { Source, Target, State };  // SRC, TRG, STAV

// Every failure of the table reaches its caller as this error, whose text is
// the one the user is shown.
class TableError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The user's list of backup pairs and its file Tavro.csv: comma-separated
// text, a header line naming the columns, one pair per line, CR LF after
// every line. Each row keeps the exact text of its line, so a row that is
// never assigned is written back byte for byte, extra items and all; what
// follows a NUL byte, which ends the reading, is written back after the rows
// as it was. A written row reads back as it was held, so a second write
// changes nothing.
//
// The table has a cursor over its rows, and at most one open edit or insert
// whose working copy takes the field reads and assignments until it is
// posted or cancelled. A changed mark says whether the file is behind the
// rows in memory. Until open() succeeds the table is closed, and every
// operation but open() and close() fails.
class PairTable {
 public:
  // `fileName` is resolved against the current folder when the table is
  // opened, unless it is a whole path already.
  explicit PairTable(FileSystem& fs, std::string fileName = "Tavro.csv");

  void open();
  // Writes the file when it changed, then closes the table, dropping an
  // open edit or insert. A failed write is thrown after the table closed, so
  // the user learns that the changes did not reach the file.
  void close();

  bool isOpen() const { return open_; }
  // The whole path the table reads and writes; set by open().
  const std::string& filePath() const { return path_; }

  int recordCount() const;
  void first();
  void next();
  // Set by next() on the last row, cleared by a move to a row.
  bool eof() const;
  // The current row's position, -1 when the table has no rows. While an
  // insert is open it is the position the new row will take.
  int currentIndex() const;

  std::string fieldText(Column column) const;
  std::string fieldTextAt(int position, Column column) const;
  void setFieldText(Column column, std::string_view text);
  // The same by the column's name; an unknown name fails with
  // "jcsv1: Field '<name>' not found".
  std::string fieldText(std::string_view column) const;
  std::string fieldTextAt(int position, std::string_view column) const;
  void setFieldText(std::string_view column, std::string_view text);
  // Assigns a value in row `position` as an edit, post and all, would, but
  // without moving the cursor or touching an open edit or insert. Fails
  // (the row unchanged) when its line cannot take the value.
  void setFieldTextAt(int position, Column column, std::string_view text);
  BackupPair pairAt(int position) const;

  void insert();
  void append();
  void edit();
  void post();
  void cancel();
  void remove();
  void moveTo(int position);

  bool isEditing() const;
  bool isInserting() const;
  // Whether a field of the open edit or insert was assigned.
  bool rowModified() const { return mode_ != Mode::Browse && assigned_; }
  bool changed() const;

  // Writes the whole table when the changed mark is set.
  void flush();

 private:
  // A row is its line, without the line break; its items are found when
  // needed, so a table of many rows costs little more than their text.
  struct Row {
    std::string text;
  };
  struct Items {
    std::vector<std::size_t> starts;  // byte offset of each item
    bool openQuote = false;           // the line ends inside double quotes
  };
  enum class Mode { Browse, Edit, Insert };

  void requireOpen() const;
  void endEditing();
  const Row* currentRow() const;
  static Column columnNamed(std::string_view name);
  std::size_t columnPosition(Column column) const;
  std::string itemValue(const Row& row, Column column) const;
  // `line` with the item of `column` replaced by `text`.
  std::string assigned(std::string line, Column column, std::string_view text) const;
  void load(const std::string& contents);
  std::string fileText() const;
  void write();

  static Items itemsOf(std::string_view line);
  // The characters of item `position` of `line`, whose items are `items`.
  static std::string_view itemText(std::string_view line, const Items& items, std::size_t position);

  FileSystem& fs_;
  std::string fileName_;
  std::string path_;
  bool open_ = false;
  std::vector<Row> rows_;
  int current_ = -1;
  bool eof_ = false;
  Mode mode_ = Mode::Browse;
  Row working_;
  int insertAt_ = 0;
  bool assigned_ = false;
  bool changed_ = false;
  // Item position of each column (SRC, TRG, STAV) and the names the header
  // is written with, in item order.
  std::size_t positions_[3] = {0, 1, 2};
  std::vector<std::string> header_;
  std::string unread_;          // the file from a NUL byte on
  bool byteOrderMark_ = false;  // the file began with one, and keeps it
};

}  // namespace tavro
