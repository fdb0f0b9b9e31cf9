#include "app/log_opener.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace tavro {

namespace {

// Editors that need a terminal: $VISUAL naming one of these is passed over.
const QStringList kTerminalEditors = {"vi",   "vim",   "nvim", "nano", "emacs", "ed",
                                      "joe",  "micro", "mcedit", "kak", "hx",  "ne"};
// Graphical editors of the usual desktops, in the order they are tried.
const QStringList kGraphicalEditors = {
    "gnome-text-editor", "gedit", "kate",    "kwrite", "mousepad", "xed",
    "pluma",             "featherpad", "geany", "leafpad", "gvim"};

}  // namespace

LogOpener::System LogOpener::realSystem() {
  System system;
  system.defaultTextApplication = [] {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/plain")});
    if (!query.waitForFinished(3000)) return QString();
    return QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
  };
  system.runsInTerminal = [](const QString& desktopFile) {
    const QString file = QStandardPaths::locate(QStandardPaths::ApplicationsLocation, desktopFile);
    if (file.isEmpty()) return false;
    QSettings entry(file, QSettings::IniFormat);
    return entry.value(QStringLiteral("Desktop Entry/Terminal")).toString() ==
           QStringLiteral("true");
  };
  system.openWithDefault = [](const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  };
  system.start = [](const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
  };
  system.findProgram = [](const QString& program) {
    return QStandardPaths::findExecutable(program);
  };
  system.environment = [](const char* name) { return qEnvironmentVariable(name); };
  return system;
}

bool LogOpener::open(const QString& path) const {
  const QString application = system_.defaultTextApplication();
  const bool terminal = !application.isEmpty() && system_.runsInTerminal(application);
  if (!terminal) {
    if (system_.openWithDefault(path)) return true;
    const QString xdgOpen = system_.findProgram(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty() && system_.start(xdgOpen, {path})) return true;
  }
  const QString visual = system_.environment("VISUAL").trimmed();
  if (!visual.isEmpty()) {
    QStringList words = QProcess::splitCommand(visual);
    const QString program = words.isEmpty() ? QString() : words.takeFirst();
    if (!program.isEmpty() && !kTerminalEditors.contains(QFileInfo(program).fileName()) &&
        system_.start(program, words << path)) {
      return true;
    }
  }
  for (const QString& editor : kGraphicalEditors) {
    const QString found = system_.findProgram(editor);
    if (!found.isEmpty() && system_.start(found, {path})) return true;
  }
  return false;
}

bool openFolderWatched(const QString& path, QObject* owner, std::function<void()> failed) {
  const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (xdgOpen.isEmpty()) return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  auto* opener = new QProcess(owner);
  opener->setProcessChannelMode(QProcess::ForwardedChannels);
  QObject::connect(opener, &QProcess::finished, opener,
                   [opener, failed](int code, QProcess::ExitStatus status) {
                     opener->deleteLater();
                     // Killed, it was by its owner going away: no one to tell.
                     if (status == QProcess::NormalExit && code != 0) failed();
                   });
  opener->start(xdgOpen, {path});
  if (opener->waitForStarted()) return true;
  delete opener;
  return false;
}

}  // namespace tavro
