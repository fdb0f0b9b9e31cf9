#include "app/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>
#include <exception>
#include <memory>

#include "app/desktop_notifications.h"
#include "app/local_text.h"
#include "app/log_opener.h"
#include "app/pair_grid_model.h"
#include "app/pair_grid_view.h"
#include "app/preview_window.h"
#include "app/restore_dialog.h"

// The icon lives in this static library's resources; nothing would pull its
// initialiser into the program, so the window registers them itself. (The
// macro must stand outside any namespace.)
static void registerIconResource() { Q_INIT_RESOURCE(tavro); }

namespace tavro {

namespace {

// The window keeps its light grey under any theme, so its texts must keep
// dark colours too: every colour of every group is set here, and none is
// taken from a dark theme that would put light text on the grey.
QPalette windowPalette() {
  const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
  const QPalette light = fusion->standardPalette();
  QPalette palette;
  for (int group = 0; group < QPalette::NColorGroups; ++group) {
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      const auto g = static_cast<QPalette::ColorGroup>(group);
      const auto r = static_cast<QPalette::ColorRole>(role);
      palette.setColor(g, r, light.color(g, r));
    }
  }
  palette.setColor(QPalette::All, QPalette::Window, QColor(192, 192, 192));
  return palette;
}

}  // namespace

MainWindow::MainWindow(const Services& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      runDisplay_(ui_),
      settingsPanel_(ui_),
      bd1_(this),
      core_({services_.fs, services_.clock, services_.power, services_.paths, services_.formats,
             services_.readAhead},
            runDisplay_, settingsPanel_, *this, bd1_),
      program_(core_.program()) {
  if (!services_.openFolder) {
    services_.openFolder = [this](const QString& path, std::function<void()> failed) {
      return openFolderWatched(path, this, std::move(failed));
    };
  }
  if (!services_.openFile) {
    services_.openFile = [](const QString& path) { return LogOpener().open(path); };
  }
  if (!services_.notify) {
    services_.notify = [notifications = std::make_shared<DesktopNotifications>()](
                           const QString& title, const QString& text, BalloonIconKind kind,
                           int seconds) { return notifications->send(title, text, kind, seconds); };
  }
  if (!services_.autostart) services_.autostart = Autostart::forThisProgram();
  if (services_.folderAnswers) bd1_.setAnswerHook(services_.folderAnswers);
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Tavro"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(kMainWindowWidth, kMainWindowHeight);
  // The layout is drawn for an 8-point sans-serif font at 96 dots per inch.
  QFont windowFont = font();
  windowFont.setPointSize(8);
  setFont(windowFont);
  setPalette(windowPalette());
  setAutoFillBackground(true);

  model_ = new PairGridModel(program_.table(), this);
  model_->setErrorHandler([this](const std::exception& error) {
    services_.dialogs.showError(this, localText(error.what()));
  });
  auto* grid = new PairGridView(*model_, this);
  grid->setConfirmDelete([this] { return services_.dialogs.confirmDelete(this); });
  grid->setEmptyHint(QString::fromUtf8(kFirstPairHint));
  ui_ = buildWindowControls(this, grid);
  runDisplay_.showWaiting();
  ui_.CHBAutostart->setChecked(services_.autostart->enabled());
  showFilePaths();

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  // Queued: Qt never fires a timer again while its own handler runs, and a
  // scheduled run lasts inside that handler. As a posted call the tick goes
  // on through the run's message pump, so the clock keeps showing the time.
  connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1Timer, Qt::QueuedConnection);
  Timer1->start();

  registerIconResource();
  // The installed theme's icon, or the one built in.
  const QIcon icon =
      QIcon::fromTheme(QStringLiteral("tavro"), QIcon(QStringLiteral(":/tavro.png")));
  setWindowIcon(icon);
  ui_.tray = new TrayIcon(this, icon, services_.trayAvailable);
  ui_.tray->setNotify(services_.notify);
  connectControls();
}

MainWindow::~MainWindow() {
  // The grid reads the table until it goes; it must go first.
  delete ui_.DBGrid1;
  delete model_;
}

void MainWindow::connectControls() {
  connect(ui_.BitBtn1, &QPushButton::clicked, this, [this] { core_.hide(); });
  connect(ui_.BitBtn2, &QPushButton::clicked, this, [this] { core_.backUpNow(); });
  connect(ui_.BitBtn3, &QPushButton::clicked, this, [this] { pairCommand(&Program::addPair); });
  connect(ui_.PBEditSrc, &QPushButton::clicked, this,
          [this] { pairCommand(&Program::editSource); });
  connect(ui_.PBEditTrg, &QPushButton::clicked, this,
          [this] { pairCommand(&Program::editTarget); });
  connect(ui_.BitBtn4, &QPushButton::clicked, this, [this] { pairCommand(&Program::removePair); });
  connect(ui_.JvgExtSpeedButton1, &QPushButton::clicked, this, [this] { core_.showLog(); });
  connect(ui_.BBHistorie, &QPushButton::clicked, this, [this] { core_.showHistory(); });
  connect(ui_.BBObnovit, &QPushButton::clicked, this, [this] { core_.restore(); });
  connect(ui_.BBNahled, &QPushButton::clicked, this, &MainWindow::previewClick);
  connect(ui_.tray, &TrayIcon::previewRequested, this, &MainWindow::previewClick);
  connect(ui_.tray, &TrayIcon::aboutRequested, this, [this] {
    services_.dialogs.showAbout(
        this, localText(aboutText(TAVRO_VERSION, services_.paths, core_.pairTablePath())));
  });
  connect(ui_.JvRollOut1Header, &QPushButton::clicked, this,
          [this] { settingsPanel_.setOpen(!settingsPanel_.isOpen()); });
  connect(ui_.JVCHB1, &QCheckBox::clicked, this, [this] { program_.intervalBoxClicked(); });
  connect(ui_.JvXPButton1, &QPushButton::clicked, this, [this] { core_.saveSettings(); });
  connect(ui_.CHBAutostart, &QCheckBox::clicked, this, &MainWindow::startAtLoginClicked);
  connect(ui_.tray, &TrayIcon::endRequested, this, &MainWindow::requestEnd);
  connect(ui_.BBPrerusit, &QPushButton::clicked, this, [this] { program_.interruptRun(); });
  connect(ui_.tray, &TrayIcon::interruptRequested, this, [this] { program_.interruptRun(); });
}

void MainWindow::FormCreate() {
  if (core_.start()) {
    showFilePaths();
    runDisplay_.hideProgress();
    runDisplay_.clearPairLabels();
  }
}

void MainWindow::Timer1Timer() { core_.tick(); }

void MainWindow::setPairEditingEnabled(bool enabled) {
  for (QPushButton* button : ui_.pairButtons()) button->setEnabled(enabled);
  // "Obnovit" too: a restore reads the backup the run changes.
  ui_.BBObnovit->setEnabled(enabled);
  ui_.DBGrid1->setEditingEnabled(enabled);
}

void MainWindow::pairCommand(void (Program::*command)()) {
  Program& program = program_;
  core_.guarded([&program, command] { (program.*command)(); });
}

void MainWindow::showTable() {
  model_->refresh();
  ui_.DBGrid1->followTable();
}

void MainWindow::previewClick() {
  if (program_.runInProgress()) return;
  std::optional<std::vector<PairPreview>> previews;
  if (!core_.guarded([&] { previews = program_.preview(); }) || !previews) return;
  delete findChild<PreviewWindow*>();  // one preview at a time: the newest
  auto* window = new PreviewWindow(std::move(*previews), this);
  // Queued: the run starts once the preview has closed and its click is over.
  connect(
      window, &PreviewWindow::backUpRequested, this, [this] { core_.backUpNow(); },
      Qt::QueuedConnection);
  window->show();
  window->raise();
  window->activateWindow();
}

void MainWindow::Zobrazit1Click() { ui_.tray->RestoreFromTray(); }

bool MainWindow::confirm(const std::string& question) {
  return services_.dialogs.confirmMassDeletion(this, localText(question));
}

void MainWindow::showWarning(const std::string& message) {
  services_.dialogs.showWarning(this, localText(message));
}

void MainWindow::showError(const std::string& message) {
  services_.dialogs.showError(this, localText(message));
}

bool MainWindow::hideToTray() { return ui_.tray->HideToTray(); }

void MainWindow::showTrayIcon() { ui_.tray->ShowTrayIcon(); }

void MainWindow::checkTray() { ui_.tray->checkTray(); }

void MainWindow::showPairGauge(bool shown) { runDisplay_.showPairGauge(shown); }

bool MainWindow::openLog(const std::string& path) { return services_.openFile(localText(path)); }

bool MainWindow::openFolder(const std::string& path, std::function<void()> failed) {
  return services_.openFolder(localText(path), std::move(failed));
}

bool MainWindow::boxOpen() const { return QApplication::activeModalWidget() != nullptr; }

void MainWindow::quit() { QCoreApplication::quit(); }

void MainWindow::showRestore(RestoreView& view) {
  RestoreHooks hooks;
  hooks.confirm = [this](const std::string& question) { return confirm(question); };
  hooks.report = [this](const std::string& report, bool problems) {
    if (problems) {
      services_.dialogs.showWarning(this, localText(report));
    } else {
      services_.dialogs.showInformation(this, localText(report));
    }
  };
  hooks.chooseFolder = [this]() -> std::optional<std::string> {
    if (!bd1_.execute(kRestoreFolderCaption, kRestoreFolderLabel)) return std::nullopt;
    return bd1_.path();
  };
  hooks.now = [this] { return services_.clock.now(); };
  RestoreDialog dialog(view, std::move(hooks), this);
  dialog.exec();
}

void MainWindow::requestEnd() { core_.requestEnd(); }

void MainWindow::endSoon() {
  core_.endSoon();
  // As the desktop's log-out does: open boxes and dialogs are closed (as
  // with Esc), and the end follows once control is back from them.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog != nullptr && dialog->isVisible()) {
      dialog->reject();
    }
  }
  QTimer::singleShot(0, this, [this] { core_.endIfRequested(); });
}

void MainWindow::mainLoopStarted() { core_.mainLoopStarted(); }

void MainWindow::FormDestroy() {
  Timer1->stop();
  core_.finish();
  ui_.tray->remove();
}

void MainWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // A whole second on screen before the first tick hides the window.
  if (core_.windowShown()) Timer1->start();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (core_.isEnding()) {
    event->accept();
    return;
  }
  event->ignore();
  if (!services_.dialogs.confirmClose(this)) return;
  requestEnd();
}

void MainWindow::startAtLoginClicked(bool checked) {
  if (services_.autostart->setEnabled(checked)) return;
  ui_.CHBAutostart->setChecked(services_.autostart->enabled());
  services_.dialogs.showError(
      this, QStringLiteral("Nelze zapsat do ") + services_.autostart->entryFile());
}

void MainWindow::showFilePaths() {
  const QFontMetrics metrics(ui_.LPaths->font());
  QStringList lines, paths;
  for (const FileLocation& file : fileLocationList(services_.paths, core_.pairTablePath())) {
    const QString caption = QString::fromUtf8(file.caption);
    lines << caption + metrics.elidedText(localText(file.path), Qt::ElideMiddle,
                                          ui_.LPaths->width() - metrics.horizontalAdvance(caption));
    paths << localText(file.path);
  }
  ui_.LPaths->setText(lines.join('\n'));
  ui_.LPaths->setToolTip(paths.join('\n'));
}

}  // namespace tavro
