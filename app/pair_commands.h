#pragma once

#include <QString>
#include <functional>

#include "app/folder_dialog.h"
#include "pairs/pair_table.h"
#include "platform/file_system.h"

namespace tavro {

// The four pair list commands. Each changes the table through its
// operations and writes the file at the end; a table error ends the command
// where it stood and is thrown. Cancel in a folder dialog changes nothing.
class PairCommands {
 public:
  // `warn` shows a warning to the user.
  PairCommands(PairTable& table, FolderDialog& dialog, FileSystem& fs,
               std::function<void(const QString&)> warn);

  void BitBtn3Click();    // add a pair
  void PBEditSrcClick();  // change the current pair's source
  void PBEditTrgClick();  // change the current pair's target
  void BitBtn4Click();    // remove the current pair

 private:
  bool chooseSource();
  bool chooseTarget();
  void change(Column column, bool chosen);
  void warnAboutConflicts();

  PairTable& table_;
  FolderDialog& dialog_;
  FileSystem& fs_;
  std::function<void(const QString&)> warn_;
};

}  // namespace tavro
