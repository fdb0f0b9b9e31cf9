#include "app/autostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>

#include "app/local_text.h"
#include "platform/program_paths.h"

namespace tavro {

namespace {

// An argument of Exec in double quotes: the characters the specification
// reserves inside them get a backslash, and a percent sign is doubled.
QString quotedExec(const QString& program) {
  QString quoted = QStringLiteral("\"");
  for (const QChar c : program) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') quoted += '\\';
    if (c == '%') quoted += '%';
    quoted += c;
  }
  return quoted + '"';
}

// A string value: the escapes of the specification for what would break it.
QString escapedValue(const QString& value) {
  QString escaped;
  for (const QChar c : value) {
    if (c == '\\') {
      escaped += QStringLiteral("\\\\");
    } else if (c == '\n') {
      escaped += QStringLiteral("\\n");
    } else if (c == '\t') {
      escaped += QStringLiteral("\\t");
    } else if (c == '\r') {
      escaped += QStringLiteral("\\r");
    } else {
      escaped += c;
    }
  }
  return escaped;
}

}  // namespace

Autostart::Autostart(QString entryFile, QString executable, QString workingFolder)
    : entryFile_(std::move(entryFile)),
      executable_(std::move(executable)),
      workingFolder_(std::move(workingFolder)) {}

Autostart Autostart::forThisProgram() {
  QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
  if (!config.startsWith('/')) config = QDir::homePath() + QStringLiteral("/.config");
  return Autostart(config + QStringLiteral("/autostart/tavro.desktop"),
                   localText(ProgramPaths::executableFolder()) + QStringLiteral("/tavro"),
                   QDir::currentPath());
}

bool Autostart::enabled() const {
  if (!QFileInfo::exists(entryFile_)) return false;
  QSettings entry(entryFile_, QSettings::IniFormat);
  return entry.value(QStringLiteral("Desktop Entry/Hidden")).toString() != QStringLiteral("true");
}

QString Autostart::entryText() const {
  return QStringLiteral(
             "[Desktop Entry]\n"
             "Type=Application\n"
             "Name=Tavro\n"
             "Comment=Keeps mirror backups of folders up to date\n"
             "Comment[cs]=Udržuje zrcadlové zálohy složek\n"
             "Icon=tavro\n"
             "Exec=%1\n"
             "Path=%2\n"
             "Terminal=false\n"
             "X-GNOME-Autostart-enabled=true\n")
      .arg(quotedExec(executable_), escapedValue(workingFolder_));
}

bool Autostart::setEnabled(bool enabled) const {
  if (!enabled) return !QFileInfo::exists(entryFile_) || QFile::remove(entryFile_);
  if (!QDir().mkpath(QFileInfo(entryFile_).absolutePath())) return false;
  QSaveFile file(entryFile_);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(entryText().toUtf8());
  return file.commit();
}

}  // namespace tavro
