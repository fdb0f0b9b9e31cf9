#include "app/tform1.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTimeEdit>
#include <QTimer>
#include <algorithm>
#include <exception>

#include "app/local_text.h"
#include "app/log_opener.h"
#include "app/pair_grid_model.h"
#include "app/pair_grid_view.h"

// The icon lives in this static library's resources; nothing would pull its
// initialiser into the program, so the window registers them itself. (The
// macro must stand outside any namespace.)
static void registerIconResource() { Q_INIT_RESOURCE(tavro); }

namespace tavro {

namespace {

const QColor kSilver(192, 192, 192);
const QColor kLime(0, 255, 0);
const QColor kAmber(255, 191, 0);
const QColor kDarkRed(128, 0, 0);

template <class W>
W* named(W* widget, const char* name) {
  widget->setObjectName(QString::fromLatin1(name));
  return widget;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, int x, int y, int w,
              int h = 18) {
  auto* l = named(new QLabel(caption, parent), name);
  l->setGeometry(x, y, w, h);
  return l;
}

}  // namespace

TForm1::TForm1(const Services& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      bd1_(this),
      program_({services_.fs, services_.clock, services_.power, services_.paths, services_.formats},
               *this, *this, *this, bd1_) {
  if (!services_.openFile) {
    services_.openFile = [](const QString& path) { return LogOpener().open(path); };
  }
  if (!services_.autostart) services_.autostart = Autostart::forThisProgram();
  setObjectName(QStringLiteral("Form1"));
  setWindowTitle(QStringLiteral("Tavro"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
  setFixedSize(844, 518);
  // The layout is drawn for an 8-point sans-serif font at 96 dots per inch.
  QFont windowFont = font();
  windowFont.setPointSize(8);
  setFont(windowFont);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kSilver);
  setPalette(palette);
  setAutoFillBackground(true);

  buildControls();

  Timer1 = named(new QTimer(this), "Timer1");
  Timer1->setInterval(1000);
  // Queued: Qt never fires a timer again while its own handler runs, and a
  // scheduled run lasts inside that handler. As a posted call the tick goes
  // on through the run's message pump, so the clock keeps showing the time.
  connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer, Qt::QueuedConnection);
  Timer1->start();

  registerIconResource();
  // The installed theme's icon, or the one built in.
  const QIcon icon = QIcon::fromTheme(QStringLiteral("tavro"), QIcon(QStringLiteral(":/tavro.png")));
  setWindowIcon(icon);
  tray_ = new TrayIcon(this, icon, services_.trayAvailable);
  connect(tray_, &TrayIcon::endRequested, this, &TForm1::Ukonitprogram1Click);
}

TForm1::~TForm1() {
  // The grid reads the table until it goes; it must go first.
  delete grid_;
  delete model_;
}

void TForm1::buildControls() {
  QFont bold = font();
  bold.setBold(true);

  // Schedule summary.
  auto* schedule = named(new QGroupBox(QStringLiteral("Čas spouštění"), this), "GroupBox1");
  schedule->setGeometry(8, 8, 236, 104);
  schedule->setFont(bold);
  // Explicitly not bold: a font taken as it is would inherit the frame's.
  QFont plain = font();
  plain.setBold(false);
  ECas = named(new QLineEdit(QStringLiteral("  :  "), schedule), "ECas");
  ECas->setReadOnly(true);
  QFont big = bold;
  big.setPointSize(20);
  ECas->setFont(big);
  ECas->setGeometry(12, 26, 96, 40);
  LKaz = label(schedule, "LKaz", QStringLiteral("každých"), 12, 26, 60);
  Emin = named(new QLineEdit(schedule), "Emin");
  Emin->setReadOnly(true);
  Emin->setGeometry(72, 24, 40, 22);
  Lm = label(schedule, "Lm", QStringLiteral("minut"), 118, 26, 90);
  Lmin = label(schedule, "Lmin", QStringLiteral("minut po startu PC."), 118, 26, 112);
  LVarCas = label(schedule, "LVarCas", QStringLiteral("Nyní se spustí v"), 12, 62, 110);
  EVarCas = named(new QLineEdit(QStringLiteral("  :  "), schedule), "EVarCas");
  EVarCas->setReadOnly(true);
  EVarCas->setGeometry(124, 58, 64, 26);
  QPalette green = EVarCas->palette();
  green.setColor(QPalette::Base, QColor(204, 255, 204));
  EVarCas->setPalette(green);
  for (QWidget* w : std::initializer_list<QWidget*>{LKaz, Emin, Lm, Lmin, LVarCas, EVarCas}) {
    w->setFont(plain);
  }

  // Title and last run.
  auto* title = label(this, "Label1", QStringLiteral("Přírůstkové zálohování"), 250, 34, 340, 24);
  QFont arial(QStringLiteral("Arial"), 12);
  title->setFont(arial);
  title->setAlignment(Qt::AlignCenter);
  label(this, "Label2", QStringLiteral("Poslední úspěšné zpracování"), 250, 62, 186);
  Label3 = label(this, "Label3", QStringLiteral("neprovedeno"), 440, 62, 150);
  Label3->setFont(bold);

  // Progress.
  G1 = named(new QProgressBar(this), "G1");
  G1->setGeometry(250, 88, 320, 14);
  G1->setTextVisible(false);
  G2 = named(new QProgressBar(this), "G2");
  G2->setGeometry(250, 106, 320, 14);
  G2->setRange(0, 1000);
  G2->setTextVisible(false);
  Label15 = label(this, "Label15", QString(), 574, 86, 54);
  Label15->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Label17 = label(this, "Label17", QStringLiteral("/"), 630, 86, 8);
  Label16 = label(this, "Label16", QString(), 640, 86, 54);
  Label14 = label(this, "Label14", QStringLiteral("Kopíruji z: "), 250, 126, 70);
  Label7 = label(this, "Label7", QString(), 322, 126, 370);
  Label19 = label(this, "Label19", QStringLiteral("Kopíruji do:"), 250, 144, 70);
  Label8 = label(this, "Label8", QString(), 322, 144, 370);
  Label18 = label(this, "Label18", QString(), 262, 162, 428);

  // Clock.
  auto* clock = named(new QFrame(this), "Panel1");
  clock->setGeometry(700, 8, 136, 56);
  clock->setFrameStyle(QFrame::Panel | QFrame::Raised);
  clock->setAutoFillBackground(true);
  QPalette black = clock->palette();
  black.setColor(QPalette::Window, Qt::black);
  black.setColor(QPalette::WindowText, Qt::white);
  clock->setPalette(black);
  QFont clockFont(QStringLiteral("Arial"), 12);
  clockFont.setBold(true);
  clockFont.setItalic(true);
  Label4 = label(clock, "Label4", QString(), 4, 6, 128, 20);
  Label5 = label(clock, "Label5", QString(), 4, 30, 128, 20);
  for (QLabel* l : {Label4, Label5}) {
    l->setFont(clockFont);
    l->setAlignment(Qt::AlignCenter);
  }
  auto* hide = named(new QPushButton(QStringLiteral("&Schovat"), this), "BitBtn1");
  hide->setGeometry(700, 70, 136, 26);
  connect(hide, &QPushButton::clicked, this, &TForm1::BitBtn1Click);

  // Run command and status.
  auto* runFrame = named(new QGroupBox(this), "GroupBox2");
  runFrame->setGeometry(8, 118, 236, 46);
  auto* runNow = named(new QPushButton(QStringLiteral("&Zálohuj ihned"), runFrame), "BitBtn2");
  runNow->setGeometry(10, 10, 216, 28);
  runNow->setFont(bold);
  connect(runNow, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
  label(this, "Label9", QStringLiteral("Stav:"), 8, 172, 30);
  Label6 = label(this, "Label6", QString(), 40, 170, 218, 20);
  QFont statusFont = font();
  statusFont.setPointSize(10);
  Label6->setFont(statusFont);
  Label6->setAutoFillBackground(true);
  setStatusLook(StatusLook::Waiting);

  auto* rule = named(new QFrame(this), "Bevel1");
  rule->setGeometry(8, 198, 828, 2);
  rule->setFrameStyle(QFrame::HLine | QFrame::Sunken);

  // Pair table: the add command above the three others, the grid below.
  struct Command {
    const char* name;
    const char* caption;
    int x;
    int y;
    int w;
    void (TForm1::*handler)();
  };
  const Command commands[] = {
      {"BitBtn3", "&Add source and target", 126, 224, 123, &TForm1::BitBtn3Click},
      {"PBEditSrc", "&Edit source", 44, 240, 69, &TForm1::PBEditSrcClick},
      {"PBEditTrg", "Edit &target", 246, 240, 61, &TForm1::PBEditTrgClick},
      {"BitBtn4", "&Remove record", 382, 240, 83, &TForm1::BitBtn4Click}};
  for (const Command& c : commands) {
    auto* button = named(new QPushButton(QString::fromLatin1(c.caption), this), c.name);
    // Wider where this font needs more room for the caption than the layout
    // gives; the place stays.
    button->setGeometry(c.x, c.y, std::max(c.w, button->sizeHint().width()), 19);
    connect(button, &QPushButton::clicked, this, c.handler);
    pairButtons_.push_back(button);
  }
  model_ = new PairGridModel(program_.table(), this);
  model_->setErrorHandler([this](const std::exception& error) {
    services_.dialogs.showError(this, localText(error.what()));
  });
  grid_ = named(new PairGridView(*model_, this), "DBGrid1");
  grid_->setGeometry(4, 260, 477, 225);
  grid_->setConfirmDelete([this] { return services_.dialogs.confirmDelete(this); });

  // Run messages.
  label(this, "Label10", QStringLiteral("Průběh zálohy"), 482, 206, 200)->setFont(bold);
  LB2 = named(new QListWidget(this), "LB2");
  LB2->setGeometry(482, 226, 354, 252);
  QPalette grey = LB2->palette();
  grey.setColor(QPalette::Base, QColor(128, 128, 128));
  grey.setColor(QPalette::Text, Qt::white);
  LB2->setPalette(grey);
  auto* viewLog =
      named(new QPushButton(QStringLiteral("Zobrazit &přehled"), this), "JvgExtSpeedButton1");
  viewLog->setGeometry(482, 484, 160, 26);
  connect(viewLog, &QPushButton::clicked, this, &TForm1::JvgExtSpeedButton1Click);

  // The settings panel, last so that it lies over the window when open.
  JvRollOut1 = named(new QFrame(this), "JvRollOut1");
  JvRollOut1->setGeometry(250, 4, 340, 24);
  JvRollOut1->setAutoFillBackground(true);
  auto* header =
      named(new QPushButton(QStringLiteral("::: &Nastavení :::"), JvRollOut1), "JvRollOut1Header");
  header->setGeometry(0, 0, 340, 22);
  header->setFlat(true);
  connect(header, &QPushButton::clicked, this,
          [this] { setSettingsPanelOpen(!settingsPanelOpen()); });
  rollOutBody_ = new QFrame(JvRollOut1);
  static_cast<QFrame*>(rollOutBody_)->setFrameStyle(QFrame::Panel | QFrame::Raised);
  rollOutBody_->setGeometry(0, 22, 340, kPanelBodyHeight);
  rollOutBody_->hide();
  cxLabel2 = label(rollOutBody_, "cxLabel2", QStringLiteral("Čas provedení zálohy"), 10, 10, 140);
  cxTimeEdit1 = named(new QTimeEdit(rollOutBody_), "cxTimeEdit1");
  cxTimeEdit1->setDisplayFormat(QStringLiteral("HH:mm:ss"));
  cxTimeEdit1->setGeometry(154, 6, 90, 24);
  JVCHB1 = named(new QCheckBox(QStringLiteral("nebo zálo&hovat "), rollOutBody_), "JVCHB1");
  JVCHB1->setGeometry(10, 38, 130, 20);
  connect(JVCHB1, &QCheckBox::clicked, this, &TForm1::JVCHB1Click);
  RG2 = new QButtonGroup(this);
  RG2->setObjectName(QStringLiteral("RG2"));
  auto* afterStart = named(new QRadioButton(QStringLiteral("  ."), rollOutBody_), "RG2Item0");
  afterStart->setGeometry(24, 62, 40, 20);
  cxTextEdit1 = named(new QLineEdit(QStringLiteral("10"), rollOutBody_), "cxTextEdit1");
  cxTextEdit1->setGeometry(70, 62, 40, 20);
  label(rollOutBody_, "cxLabel3", QStringLiteral("minut po startu PC."), 116, 63, 140);
  auto* repeat = named(new QRadioButton(QStringLiteral("   .."), rollOutBody_), "RG2Item1");
  repeat->setGeometry(24, 88, 46, 20);
  label(rollOutBody_, "cxLabel4", QStringLiteral("každých"), 70, 89, 50);
  cxTextEdit2 = named(new QLineEdit(QStringLiteral("10"), rollOutBody_), "cxTextEdit2");
  cxTextEdit2->setGeometry(124, 88, 40, 20);
  label(rollOutBody_, "cxLabel5", QStringLiteral("minut"), 170, 89, 40);
  RG2->addButton(afterStart, 0);
  RG2->addButton(repeat, 1);
  afterStart->setChecked(true);
  auto* actions = named(new QGroupBox(QStringLiteral("Po provedení zálohy"), rollOutBody_), "RG1Box");
  actions->setGeometry(10, 114, 200, 80);
  RG1 = new QButtonGroup(this);
  RG1->setObjectName(QStringLiteral("RG1"));
  // Access keys unique in the window, on letters of the captions themselves.
  const char* captions[] = {"&Vypnout PC", "Uspat P&C", "Nic nepr&ovádět"};
  for (int i = 0; i < 3; ++i) {
    auto* item = new QRadioButton(QString::fromUtf8(captions[i]), actions);
    item->setObjectName(QStringLiteral("RG1Item%1").arg(i));
    item->setGeometry(10, 18 + i * 20, 180, 18);
    RG1->addButton(item, i);
  }
  RG1->button(2)->setChecked(true);
  JvCheckBox1 = named(
      new QCheckBox(QStringLiteral("také s&ynchronizuj (výmaz již smazaných)"), rollOutBody_),
      "JvCheckBox1");
  JvCheckBox1->setGeometry(10, 198, 320, 20);
  JvCheckBox1->setChecked(true);
  auto* save = named(new QPushButton(QStringLiteral("&Uložit"), rollOutBody_), "JvXPButton1");
  save->setGeometry(250, 160, 80, 28);
  connect(save, &QPushButton::clicked, this, &TForm1::JvXPButton1Click);
  startAtLogin_ = named(new QCheckBox(QStringLiteral("Spouštět po př&ihlášení"), rollOutBody_),
                       "CHBAutostart");
  startAtLogin_->setGeometry(10, 220, 320, 20);
  startAtLogin_->setChecked(services_.autostart->enabled());
  connect(startAtLogin_, &QCheckBox::clicked, this, &TForm1::startAtLoginClicked);
  // Where the program keeps its files, so the user can find them.
  filePaths_ = named(new QLabel(rollOutBody_), "LPaths");
  filePaths_->setGeometry(10, 244, 320, 40);
  QFont small = font();
  small.setPointSize(7);
  filePaths_->setFont(small);
  filePaths_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  showFilePaths();
  JvRollOut1->raise();
}

bool TForm1::guarded(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (const std::exception& error) {
    services_.dialogs.showError(this, localText(error.what()));
  } catch (...) {
    services_.dialogs.showError(this, QStringLiteral("Unknown error"));
  }
  // An end asked for while the box was open takes effect now.
  endIfRequested();
  return false;
}

void TForm1::FormCreate() {
  hideCountdown_ = 1;
  Label6->setText(QStringLiteral("Čeká se na spuštění ..."));
  tray_->SetTrayHint(QStringLiteral("Záloha zatím neprovedena ..."));
  guarded([this] { program_.readSettings(); });
  // A settings file that could not be read or saved (a full disk at start,
  // say) is shown above; the pair table opens all the same, or no backup
  // would run until the next start.
  guarded([this] {
    program_.openPairTable();
    showFilePaths();
    showTable();
    hideProgress();
    clearPairLabels();
  });
}

void TForm1::clearPairLabels() {
  Label7->clear();
  Label14->hide();
  Label19->hide();
  Label8->clear();
  Label15->clear();
  Label16->clear();
  Label17->hide();
}

void TForm1::Timer1Timer() {
  guarded([this] { program_.tick(); });
  // The one-time hide belongs to the first tick after the window was shown:
  // ticks under a start-up error box, before it, must not use it up.
  if (shown_) {
    if (hideCountdown_ == 1) {
      tray_->HideToTray();
      tray_->ShowTrayIcon();
    }
    if (hideCountdown_ > 0) --hideCountdown_;
  }
  tray_->checkTray();
  endIfRequested();
}

void TForm1::BitBtn1Click() { tray_->HideToTray(); }

void TForm1::BitBtn2Click() {
  if (program_.runInProgress()) return;
  guarded([this] {
    G1->show();
    if (!program_.backUp()) return;
    G1->hide();
  });
  endIfRequested();
}

void TForm1::setPairEditingEnabled(bool enabled) {
  for (QPushButton* button : pairButtons_) button->setEnabled(enabled);
  grid_->setEditingEnabled(enabled);
}

void TForm1::pairCommand(void (Program::*command)()) {
  guarded([&] { (program_.*command)(); });
  showTable();
}

void TForm1::showTable() {
  model_->refresh();
  grid_->followTable();
}

void TForm1::BitBtn3Click() { pairCommand(&Program::addPair); }
void TForm1::PBEditSrcClick() { pairCommand(&Program::editSource); }
void TForm1::PBEditTrgClick() { pairCommand(&Program::editTarget); }
void TForm1::BitBtn4Click() { pairCommand(&Program::removePair); }

void TForm1::JvgExtSpeedButton1Click() {
  const QString path = localText(services_.paths.logFile);
  if (!QFileInfo::exists(path)) return;
  if (!services_.openFile(path)) {
    services_.dialogs.showError(
        this, QStringLiteral("Přehled nelze zobrazit, žádný textový editor nelze spustit: ") + path);
  }
}

void TForm1::JvXPButton1Click() {
  guarded([this] { program_.saveSettings(); });
}

void TForm1::JVCHB1Click() { program_.intervalBoxClicked(); }

void TForm1::Zobrazit1Click() { tray_->RestoreFromTray(); }

void TForm1::Ukonitprogram1Click() { requestEnd(); }

void TForm1::Zalohuj() {
  guarded([this] { program_.backUp(); });
}

void TForm1::showWarning(const std::string& message) {
  services_.dialogs.showWarning(this, localText(message));
}

void TForm1::requestEnd() {
  endRequested_ = true;
  endIfRequested();
}

void TForm1::endSoon() {
  if (program_.runInProgress()) program_.stopRun();
  endRequested_ = true;
  // As the desktop's log-out does: open boxes and dialogs are closed (as
  // with Esc), and the end follows once control is back from them.
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    if (auto* dialog = qobject_cast<QDialog*>(widget); dialog != nullptr && dialog->isVisible()) {
      dialog->reject();
    }
  }
  QTimer::singleShot(0, this, &TForm1::endIfRequested);
}

void TForm1::mainLoopStarted() {
  mainLoopRunning_ = true;
  endIfRequested();
}

void TForm1::endIfRequested() {
  // A run pumps the event loop; the end waits until the run and its log
  // entry are done and control is back in the loop. So does an open box:
  // the end follows once it is closed. Before the main loop runs (an error
  // box at start-up) quitting would be lost: the start-up sees the request.
  if (!endRequested_ || program_.runInProgress() || ending_ || !mainLoopRunning_) return;
  if (QApplication::activeModalWidget() != nullptr) return;
  ending_ = true;
  QCoreApplication::quit();
}

void TForm1::FormDestroy() {
  Timer1->stop();
  guarded([this] { program_.end(); });
  tray_->remove();
}

void TForm1::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!shown_) {
    shown_ = true;
    // A whole second on screen before the first tick hides the window.
    Timer1->start();
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (ending_) {
    event->accept();
    return;
  }
  event->ignore();
  if (!services_.dialogs.confirmClose(this)) return;
  requestEnd();
}

void TForm1::startAtLoginClicked(bool checked) {
  if (services_.autostart->setEnabled(checked)) return;
  startAtLogin_->setChecked(services_.autostart->enabled());
  services_.dialogs.showError(this, QStringLiteral("Nelze zapsat do ") +
                                        services_.autostart->entryFile());
}

void TForm1::showFilePaths() {
  const QFontMetrics metrics(filePaths_->font());
  auto line = [&](const char* what, const std::string& path) {
    const QString caption = QString::fromUtf8(what);
    return caption + metrics.elidedText(localText(path), Qt::ElideMiddle,
                                        filePaths_->width() - metrics.horizontalAdvance(caption));
  };
  const PairTable& pairs = program_.table();
  const std::string table = pairs.isOpen() ? pairs.filePath() : services_.paths.pairTable;
  filePaths_->setText(line("Nastavení: ", services_.paths.settingsFile) + '\n' +
                      line("Přehled záloh: ", services_.paths.logFile) + '\n' +
                      line("Seznam párů: ", table));
  filePaths_->setToolTip(localText(services_.paths.settingsFile) + '\n' +
                         localText(services_.paths.logFile) + '\n' + localText(table));
}

bool TForm1::settingsPanelOpen() const { return rollOutBody_->isVisible(); }

void TForm1::setSettingsPanelOpen(bool open) {
  rollOutBody_->setVisible(open);
  JvRollOut1->resize(340, open ? kPanelBodyHeight + 24 : 24);
  JvRollOut1->raise();
}

void TForm1::setStatusLook(StatusLook look) {
  QPalette palette = Label6->palette();
  switch (look) {
    case StatusLook::Waiting:
      palette.setColor(QPalette::Window, kSilver);
      palette.setColor(QPalette::WindowText, Qt::red);
      break;
    case StatusLook::Running:
      palette.setColor(QPalette::Window, kLime);
      palette.setColor(QPalette::WindowText, Qt::red);
      break;
    case StatusLook::Failed:
      // Amber, with a dark red that reads on it (contrast 6.6 : 1).
      palette.setColor(QPalette::Window, kAmber);
      palette.setColor(QPalette::WindowText, kDarkRed);
      break;
  }
  Label6->setPalette(palette);
}

// Run display.

// The current file and the per-file gauge change for every file; they are
// shown when the window next gets to paint, so a run over many small files
// is not slowed down by painting each one.
void TForm1::fileCopyStarted(const std::string& sourcePath) {
  shownFile_ = localText(sourcePath);
  fileGaugeShown_ = true;
}

void TForm1::fileGaugeRange(int maximum) {
  gaugeMaximum_ = maximum;
  fileGaugeProgress(0);
}

void TForm1::fileGaugeProgress(int position) {
  // G2 runs over a fixed range of tenths of a percent. A progress bar paints
  // itself at once when its value moves, and a copy lets no events through,
  // so during a long copy the gauge moves on its own; but painting for every
  // small file would cost far more than copying it, so the gauge takes a new
  // value at most every few hundredths of a second.
  const int permille =
      gaugeMaximum_ > 0 ? static_cast<int>(static_cast<long long>(position) * 1000 / gaugeMaximum_)
                        : 0;
  if (permille != G2->value() && sinceGaugePaint_.hasExpired(kPaintInterval)) {
    showCurrentFile();
    G2->setValue(permille);
    sinceGaugePaint_.restart();
  }
}

void TForm1::fileCopyFinished() {
  shownFile_.clear();
  fileGaugeShown_ = false;
}

void TForm1::fileDeletionStarted(const std::string& targetPath) { shownFile_ = localText(targetPath); }

void TForm1::fileDeletionFinished() { shownFile_.clear(); }

void TForm1::showCurrentFile() {
  if (Label18->text() != shownFile_) Label18->setText(shownFile_);
  if (G2->isVisibleTo(this) != fileGaugeShown_) G2->setVisible(fileGaugeShown_);
}

void TForm1::addLine(const std::string& line) { LB2->addItem(localText(line)); }

void TForm1::processMessages() {
  // The engine offers to pump before every file; taking that offer every few
  // milliseconds keeps the window as responsive and the run many times faster
  // on trees of small files, where each pump would repaint the window.
  if (!sincePump_.isValid() || sincePump_.hasExpired(kPumpInterval)) {
    showCurrentFile();
    QCoreApplication::processEvents();
    sincePump_.restart();
  }
}

void TForm1::runStarted() {
  LB2->clear();
  sincePump_.invalidate();
  sinceGaugePaint_.start();
}

void TForm1::setStatus(const std::string& caption, const std::string& trayHint) {
  Label6->setText(localText(caption));
  tray_->SetTrayHint(localText(trayHint));
}

void TForm1::showBalloon(const std::string& title, const std::string& message,
                         BalloonIconKind kind, int seconds) {
  tray_->ShowBalloon(localText(title), localText(message), kind, seconds);
}

void TForm1::showProgress(int pairCount) {
  G1->show();
  fileGaugeShown_ = true;
  showCurrentFile();
  setStatusLook(StatusLook::Running);
  Label14->show();
  Label19->show();
  G1->setRange(0, pairCount);
  G1->setValue(0);
  Label18->show();
  Label17->show();
}

void TForm1::pairStarted(int k, int n, const std::string& source, const std::string& target) {
  Label7->setText(localText(source));
  Label8->setText(localText(target));
  Label15->setText(QString::number(k));
  Label16->setText(QString::number(n));
}

void TForm1::pairFinished(int k) {
  G1->setValue(k);
  showTable();
}

void TForm1::setLastRun(const std::string& when) { Label3->setText(localText(when)); }

void TForm1::hideProgress() {
  G1->hide();
  fileGaugeShown_ = false;
  shownFile_.clear();
  showCurrentFile();
  // The run's last pump follows at once and must not be skipped: a tick
  // handled there is the first to see the run's flags set.
  sincePump_.invalidate();
}

void TForm1::runFinished(bool withFailures) {
  setStatusLook(withFailures ? StatusLook::Failed : StatusLook::Running);
  tray_->showWarning(withFailures);
  clearPairLabels();
}

// Settings panel.

TimeOfDay TForm1::fixedTimeEditor() const {
  const QTime t = cxTimeEdit1->time();
  return {t.hour(), t.minute(), t.second(), t.msec()};
}

void TForm1::setFixedTimeEditor(const TimeOfDay& time) {
  cxTimeEdit1->setTime(QTime(time.hour, time.minute, time.second, time.millisecond));
}

void TForm1::setFixedTimeEditorVisible(bool visible) {
  cxLabel2->setVisible(visible);
  cxTimeEdit1->setVisible(visible);
}

bool TForm1::intervalChecked() const { return JVCHB1->isChecked(); }
void TForm1::setIntervalChecked(bool checked) { JVCHB1->setChecked(checked); }
std::string TForm1::afterStartMinutes() const { return localBytes(cxTextEdit1->text()); }
void TForm1::setAfterStartMinutes(const std::string& value) { cxTextEdit1->setText(localText(value)); }
std::string TForm1::repeatMinutes() const { return localBytes(cxTextEdit2->text()); }
void TForm1::setRepeatMinutes(const std::string& value) { cxTextEdit2->setText(localText(value)); }
// The radio groups' item indices are the values of the choices.
AfterRunAction TForm1::afterRunAction() const {
  return static_cast<AfterRunAction>(RG1->checkedId());
}
IntervalMode TForm1::intervalMode() const { return static_cast<IntervalMode>(RG2->checkedId()); }

namespace {

void selectItem(QButtonGroup* group, int index) {
  if (index >= 0 && group->button(index) != nullptr) {
    group->button(index)->setChecked(true);
    return;
  }
  // No item selected: an exclusive group has to let go first.
  group->setExclusive(false);
  for (QAbstractButton* b : group->buttons()) b->setChecked(false);
  group->setExclusive(true);
}

}  // namespace

void TForm1::setAfterRunAction(AfterRunAction action) {
  selectItem(RG1, static_cast<int>(action));
}
void TForm1::setIntervalMode(IntervalMode mode) { selectItem(RG2, static_cast<int>(mode)); }
bool TForm1::syncDeletions() const { return JvCheckBox1->isChecked(); }
void TForm1::setSyncDeletions(bool checked) { JvCheckBox1->setChecked(checked); }

void TForm1::collapse() { setSettingsPanelOpen(false); }

std::string TForm1::scheduleDisplay(ScheduleDisplay which) const {
  return localBytes((which == ScheduleDisplay::FixedTime ? ECas : EVarCas)->text());
}

void TForm1::setScheduleDisplay(ScheduleDisplay which, const std::string& value) {
  (which == ScheduleDisplay::FixedTime ? ECas : EVarCas)->setText(localText(value));
}

void TForm1::setMinutesDisplay(const std::string& value) { Emin->setText(localText(value)); }

void TForm1::showModeControls(ScheduleMode mode) {
  const bool fixed = mode == ScheduleMode::FixedTime;
  const bool afterStart = mode == ScheduleMode::AfterStart;
  const bool repeat = mode == ScheduleMode::Repeat;
  ECas->setVisible(fixed);
  Emin->setVisible(!fixed);
  Lmin->setVisible(afterStart);
  LKaz->setVisible(repeat);
  Lm->setVisible(repeat);
  EVarCas->setVisible(!fixed);
  LVarCas->setVisible(!fixed);
}

void TForm1::showClock(const std::string& date, const std::string& time) {
  Label4->setText(localText(date));
  Label5->setText(localText(time));
}

}  // namespace tavro
