#include <QApplication>
#include <QScreen>
#include <QSessionManager>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <memory>

#include "app/command_line.h"
#include "app/dialogs.h"
#include "app/local_text.h"
#include "app/paint_log.h"
#include "app/power_dbus.h"
#include "app/qt_translations.h"
#include "app/signal_bridge.h"
#include "app/single_instance.h"
#include "app/main_window.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  // --help, --version and --run need no display.
  if (const auto status = tavro::handleCommandLine(argc, argv)) return *status;

  QApplication app(argc, argv);
  // Only the name: a display name would be appended to every window title
  // ("Confirm — Tavro").
  QApplication::setApplicationName(QStringLiteral("Tavro"));
  // The window lives hidden in the tray; closing a message box must not end
  // the program, only "Ukončit program", the close question or a signal.
  QApplication::setQuitOnLastWindowClosed(false);
  tavro::installQtTranslations(app);
  std::unique_ptr<tavro::PaintLog> paintLog;
  if (const QByteArray file = qgetenv("TAVRO_PAINT_LOG"); !file.isEmpty()) {
    paintLog = std::make_unique<tavro::PaintLog>(QString::fromLocal8Bit(file));
    app.installEventFilter(paintLog.get());
  }

  const tavro::ProgramPaths paths = tavro::ProgramPaths::locate();
  // A second start shows the first one's window and ends.
  tavro::SingleInstance instance(tavro::localText(paths.settingsFile));
  const auto lock = instance.acquire();
  if (lock == tavro::SingleInstance::Outcome::HeldElsewhere) {
    if (!instance.askToShow()) {
      std::fprintf(stderr, "tavro: program už běží, jeho okno se nepodařilo zobrazit\n");
    }
    return 0;
  }

  tavro::PosixFileSystem fs;
  tavro::SystemClock clock;
  tavro::LogindPower power;
  tavro::MessageBoxDialogs dialogs;
  tavro::Services services{fs,
                           clock,
                           power,
                           dialogs,
                           paths,
                           tavro::RegionalFormats::fromLocale(),
                           tavro::readAheadFromEnvironment()};
  tavro::MainWindow form(services);
  QObject::connect(&instance, &tavro::SingleInstance::showRequested, &form,
                   &tavro::MainWindow::Zobrazit1Click);

  tavro::SignalBridge signalBridge;
  QObject::connect(&signalBridge, &tavro::SignalBridge::endRequested, &form,
                   &tavro::MainWindow::endSoon);
  // The session is ending: agree without asking, and end the orderly way.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                   [&form](QSessionManager&) { form.endSoon(); });

  // Without a lock the program still backs up; the user learns why first,
  // before whatever else the same cause (a read-only folder) breaks.
  if (lock == tavro::SingleInstance::Outcome::Unavailable) {
    dialogs.showError(nullptr, instance.unavailableReason());
  }
  form.FormCreate();
  int result = 0;
  // A signal under a start-up error box ends the program before it shows.
  if (!form.endRequested()) {
    if (const QScreen* screen = form.screen()) {
      form.move(screen->availableGeometry().center() - form.rect().center());
    }
    form.show();
    form.raise();
    form.activateWindow();
    QTimer::singleShot(0, &form, &tavro::MainWindow::mainLoopStarted);
    result = QApplication::exec();
  }
  form.FormDestroy();
  return result;
}
