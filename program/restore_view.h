#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/restore.h"
#include "pairs/pair_table.h"

namespace tavro {

// The folder dialog of "Obnovit do…": its caption and its label.
inline constexpr const char* kRestoreFolderCaption = "Vyberte adresář, kam obnovit";
inline constexpr const char* kRestoreFolderLabel = "Obnovit do adresáře:";

// What a restore asks of the window: its question box (No the default), the
// report box, the folder dialog, the time the kept copies are named by, and
// how it shows a restore in progress.
struct RestoreHooks {
  std::function<bool(const std::string& question)> confirm;
  std::function<void(const std::string& report, bool problems)> report;
  std::function<std::optional<std::string>()> chooseFolder;
  std::function<LocalDateTime()> now;
  // The restore begins (true) and ends (false).
  std::function<void(bool)> busy;
  // How far it is; false stops it.
  std::function<bool(int done, int total)> progress;
};

// "Obnovit ze zálohy" for one pair, the same in both windows: the restore
// points, the pair's tree at the chosen one, the filter, and the restores
// into the original place or another folder.
class RestoreView {
 public:
  RestoreView(FileSystem& fs, BackupPair pair);

  const BackupPair& pair() const { return pair_; }
  const std::vector<RestorePoint>& points() const { return points_; }
  // "Aktuální záloha", or "Před zálohou dd.mm.yyyy hh:mm:ss".
  static std::string pointText(const RestorePoint& point);

  // A line of the tree: folders before their contents.
  struct Row {
    std::string path;  // in the pair
    std::string name;
    int depth = 0;
    bool folder = false;
    std::string size;      // grouped bytes; empty for a folder
    std::string modified;  // "dd.mm.yyyy hh:mm"
  };
  // Shows the tree at points()[index].
  void choosePoint(int index);
  int chosenPoint() const { return chosen_; }
  const std::vector<Row>& rows() const { return rows_; }
  // The rows whose name holds `filter` (letter case aside), with the folders
  // they lie in; every row for an empty filter.
  std::vector<int> shownRows(const std::string& filter) const;

  // The chosen rows (none: the whole pair) into their original place in
  // the source: the files there that a restore would replace, then the
  // restore, each replaced file first kept beside itself.
  std::vector<std::string> filesToReplaceInPlace(const std::vector<int>& chosen);
  RestoreReport restoreInPlace(const std::vector<int>& chosen, const LocalDateTime& now,
                               const std::function<bool(int, int)>& progress = {});
  // The chosen rows, each under its own name, into `folder`; nothing there
  // is replaced.
  RestoreReport restoreInto(const std::string& folder, const std::vector<int>& chosen,
                            const LocalDateTime& now,
                            const std::function<bool(int, int)>& progress = {});

  // The dialog's two buttons: "Obnovit na původní místo" asks before
  // replacing anything, "Obnovit do…" asks for the folder; then the restore
  // and its report. False when the user said No or Cancel.
  bool restoreInPlaceAsking(const std::vector<int>& chosen, const RestoreHooks& hooks);
  bool restoreElsewhereAsking(const std::vector<int>& chosen, const RestoreHooks& hooks);

  // A restore is copying files now.
  bool restoring() const { return restoring_; }

  // The question before replacing files (a few named, the rest counted).
  static std::string replaceQuestion(const std::vector<std::string>& files);
  // The report at the end of a restore.
  static std::string reportText(const RestoreReport& report);

 private:
  // The paths of the chosen rows, without those inside a chosen folder.
  std::vector<std::string> chosenPaths(const std::vector<int>& chosen) const;
  RestoreJob inPlaceJob(const std::vector<int>& chosen);

  FileSystem& fs_;
  BackupPair pair_;
  PairBackup backup_;
  std::vector<RestorePoint> points_;
  int chosen_ = -1;
  std::vector<Row> rows_;
  bool restoring_ = false;
};

}  // namespace tavro
