#pragma once

#include <QString>

namespace tavro {

// The program's entry in the desktop's autostart folder, as the freedesktop
// autostart specification lays it out: $XDG_CONFIG_HOME/autostart/tavro.desktop.
// Its Exec is this program and its Path the folder it was started in, where
// the pair table is found. The entry itself is the setting: nothing about it
// is kept in Tavro.ini.
class Autostart {
 public:
  Autostart(QString entryFile, QString executable, QString workingFolder);
  // For this program and the folder it runs in.
  static Autostart forThisProgram();

  // Whether the entry is there and not hidden.
  bool enabled() const;
  // Writes or removes the entry; false when that failed.
  bool setEnabled(bool enabled) const;
  const QString& entryFile() const { return entryFile_; }

  // The entry's text.
  QString entryText() const;

 private:
  QString entryFile_;
  QString executable_;
  QString workingFolder_;
};

}  // namespace tavro
