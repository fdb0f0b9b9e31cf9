#pragma once

// A main window on a temporary folder for the window's tests: fake message
// boxes, a fake clock, recorded power requests, and a fault-injecting file
// system over the real one.

#include <QColor>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/pair_grid_view.h"
#include "testing/fake_clock.h"
#include "testing/faulty_file_system.h"
#include "testing/recording_power.h"
#include "testing/temp_tree.h"

namespace tavro::testkit {

// Answers the window's message boxes without showing them.
class FakeDialogs : public Dialogs {
 public:
  void showError(QWidget*, const QString& message) override {
    errors << errorBoxText(message);
    if (whileErrorShown) whileErrorShown();
  }
  bool confirmClose(QWidget*) override {
    ++questions;
    return answerYes;
  }
  bool confirmDelete(QWidget*) override {
    ++deleteQuestions;
    return answerYes;
  }
  void showWarning(QWidget*, const QString& message) override { warnings << message; }
  bool confirmMassDeletion(QWidget*, const QString& message) override {
    massDeletionQuestions << message;
    return answerYes;
  }
  QStringList massDeletionQuestions;
  void showAbout(QWidget*, const QString& text) override { abouts << text; }
  QStringList abouts;
  void showInformation(QWidget*, const QString& message) override { informations << message; }
  QStringList informations;

  QStringList errors;
  QStringList warnings;
  // What goes on under an error box while it is open (the timer ticks).
  std::function<void()> whileErrorShown;
  int questions = 0;
  int deleteQuestions = 0;
  bool answerYes = false;
};

class FormHarness {
 public:
  // A new window whose Tavro.csv holds `csv` (none when empty); `prepare`
  // runs on the new folder just before the window is created.
  void start(const std::string& csv = "", const std::function<void()>& prepare = {}) {
    form.reset();
    tree = std::make_unique<TempTree>();
    if (!csv.empty()) tree->file("Tavro.csv", csv);
    events.clear();
    dialogs = FakeDialogs{};
    opened.clear();
    openedFolders.clear();
    canOpen = true;
    folderOpens = true;
    faulty.clear();
    if (prepare) prepare();
    createForm();
  }

  // The program started again on the same folder.
  void restart() {
    form->FormDestroy();
    form.reset();
    createForm();
  }

  void createForm() {
    clock.set(2026, 12, 9, 10, 0, 30);
    ProgramPaths paths;
    paths.settingsFile = tree->path("Tavro.ini");
    paths.logFile = tree->path("Tavro.log");
    paths.pairTable = tree->path("Tavro.csv");
    Services services{faulty, clock, power, dialogs, paths, RegionalFormats{}};
    services.trayAvailable = [this] { return trayAvailable; };
    services.autostart = Autostart(QString::fromStdString(tree->path("autostart/tavro.desktop")),
                                   QStringLiteral("/opt/Tavro 1/tavro"),
                                   QString::fromStdString(tree->path("pairs")));
    services.openFile = [this](const QString& path) {
      opened << path;
      return canOpen;
    };
    services.openFolder = [this](const QString& path, std::function<void()> failed) {
      openedFolders << path;
      if (!folderOpens) failed();
      return true;
    };
    services.folderAnswers = folderAnswers;
    services.notify = [](const QString&, const QString&, BalloonIconKind, int) { return false; };
    form = std::make_unique<MainWindow>(services);
    form->FormCreate();
    form->show();
    form->mainLoopStarted();
  }

  template <class T>
  T* find(const char* name) {
    T* found = form->findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) qFatal("no control named %s", name);
    return found;
  }
  QString labelText(const char* name) { return find<QLabel>(name)->text(); }
  void click(const char* name) { find<QPushButton>(name)->click(); }
  PairGridView& grid() { return *find<PairGridView>("DBGrid1"); }
  TrayIcon& tray() { return *form->findChild<TrayIcon*>(); }
  bool settingsPanelOpen() { return find<QWidget>("JvRollOut1Body")->isVisible(); }
  // Opens or closes the settings panel with a click on its header.
  void setSettingsPanelOpen(bool open) {
    if (settingsPanelOpen() != open) click("JvRollOut1Header");
  }

  std::unique_ptr<TempTree> tree;
  PosixFileSystem real;
  FaultyFileSystem faulty{real};
  FakeClock clock;
  std::vector<std::string> events;
  RecordingPower power{events};
  FakeDialogs dialogs;
  QStringList opened;
  QStringList openedFolders;
  bool canOpen = true;      // whether a text editor can be started
  bool folderOpens = true;  // whether the file manager's opener ends well
  bool trayAvailable = false;
  // Answers the folder dialog, when set before the window is created.
  FolderDialog::AnswerHook folderAnswers;
  std::unique_ptr<MainWindow> form;
};

// What the window's test classes share: the harness, short names for its
// parts, and helpers. Each test class adds its slots.
class FormTest : public QObject {
 protected:
  FormHarness h;
  std::unique_ptr<MainWindow>& form = h.form;
  std::unique_ptr<TempTree>& tree = h.tree;
  FakeDialogs& dialogs = h.dialogs;
  FaultyFileSystem* faulty = &h.faulty;
  std::vector<std::string>& events = h.events;
  QStringList& opened = h.opened;
  bool& trayAvailable = h.trayAvailable;

  void start(const std::string& csv = "") { h.start(csv); }
  template <class T>
  T* find(const char* name) {
    return h.find<T>(name);
  }
  QString labelText(const char* name) { return h.labelText(name); }
  void click(const char* name) { h.click(name); }
  // The pair `source` -> backup, both relative to the test's folder.
  void addPair(const std::string& source) {
    form->table().append();
    form->table().setFieldText("Src", tree->path(source));
    form->table().setFieldText("Trg", tree->path("backup"));
    form->table().post();
  }
  // The WCAG contrast ratio of two colours.
  static double contrast(const QColor& one, const QColor& other) {
    auto luminance = [](const QColor& c) {
      auto channel = [](double v) {
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
      };
      return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
             0.0722 * channel(c.blueF());
    };
    const double a = luminance(one), b = luminance(other);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
  }

  // The pair data/A -> backup, with one file in its source.
  void addPairWithOneFile() {
    tree->file("data/A/a.txt", "a");
    tree->folder("backup");
    addPair("data/A");
  }
  // Each slot starts from a clean harness and ends with the window gone.
  void resetHarness() {
    faulty->clear();
    trayAvailable = false;
  }
};

}  // namespace tavro::testkit
