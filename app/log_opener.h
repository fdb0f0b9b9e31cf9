#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class QObject;

namespace tavro {

// Opens a text file (the run log) where the user sees it. The desktop's
// default application for text files comes first, unless it is a program
// for a terminal (such as vi), which a click in a window would start where
// nobody sees it; then xdg-open; then $VISUAL and the usual graphical
// editors found on the PATH.
class LogOpener {
 public:
  // What the opener asks the system; tests answer it themselves.
  struct System {
    // The desktop file of the default application for text/plain ("" when
    // none), and whether that application runs in a terminal.
    std::function<QString()> defaultTextApplication;
    std::function<bool(const QString& desktopFile)> runsInTerminal;
    // Opens the file with the desktop's default application.
    std::function<bool(const QString& path)> openWithDefault;
    // Starts a program on its own, not waited for; false when it could not.
    std::function<bool(const QString& program, const QStringList& arguments)> start;
    // A program's whole path when it is on the PATH, else "".
    std::function<QString(const QString& program)> findProgram;
    std::function<QString(const char* name)> environment;
  };

  // The real system: xdg-mime, the desktop files, QDesktopServices, QProcess.
  static System realSystem();

  explicit LogOpener(System system = realSystem()) : system_(std::move(system)) {}

  // False when nothing could be started.
  bool open(const QString& path) const;

 private:
  System system_;
};

// Opens a folder in the desktop's file manager with xdg-open (Qt's own way
// where there is none). False when nothing could be started; `failed` runs
// later, from the event loop, when the opener ends with an error: xdg-open
// starts even where no file manager is installed. The opener belongs to
// `owner` and is not waited for.
bool openFolderWatched(const QString& path, QObject* owner, std::function<void()> failed);

}  // namespace tavro
