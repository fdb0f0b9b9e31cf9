#include "app/window_layout.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTimeEdit>
#include <algorithm>
#include <initializer_list>
#include <type_traits>

#include "app/pair_grid_view.h"
#include "schedule/settings_panel.h"

namespace tavro {

namespace {

enum class Kind {
  Label,
  Edit,
  Display,  // a read-only edit field
  Button,
  FlatButton,
  PairButton,  // wider where the font needs more room for the caption
  CheckBox,
  Radio,
  Group,
  Panel,  // a raised frame
  Frame,
  Rule,
  Progress,
  List,
  TimeEdit,
  Spin,  // whole days of the history
  Grid,
};

struct Control {
  const char* name;
  Kind kind;
  const char* parent;   // nullptr: the window
  const char* caption;  // UTF-8
  int x, y, w, h;
};

// In the order the keyboard visits them; the settings panel last, so that
// it lies over the window when open.
constexpr Control kControls[] = {
    {"GroupBox1", Kind::Group, nullptr, "Čas spouštění", 8, 8, 236, 104},
    {"ECas", Kind::Display, "GroupBox1", "  :  ", 12, 26, 96, 40},
    {"LKaz", Kind::Label, "GroupBox1", "každých", 12, 26, 60, 18},
    {"Emin", Kind::Display, "GroupBox1", "", 72, 24, 40, 22},
    {"Lm", Kind::Label, "GroupBox1", "minut", 118, 26, 90, 18},
    {"Lmin", Kind::Label, "GroupBox1", "minut po startu PC.", 118, 26, 112, 18},
    {"LVarCas", Kind::Label, "GroupBox1", "Nyní se spustí v", 12, 62, 110, 18},
    {"EVarCas", Kind::Display, "GroupBox1", "  :  ", 124, 58, 64, 26},

    {"Label1", Kind::Label, nullptr, "Přírůstkové zálohování", 250, 34, 340, 24},
    {"Label2", Kind::Label, nullptr, "Poslední úspěšné zpracování", 250, 62, 186, 18},
    {"Label3", Kind::Label, nullptr, "neprovedeno", 440, 62, 150, 18},
    {"G1", Kind::Progress, nullptr, "", 250, 88, 320, 14},
    {"G2", Kind::Progress, nullptr, "", 250, 106, 320, 14},
    {"Label15", Kind::Label, nullptr, "", 574, 86, 54, 18},
    {"Label17", Kind::Label, nullptr, "/", 630, 86, 8, 18},
    {"Label16", Kind::Label, nullptr, "", 640, 86, 54, 18},
    {"Label14", Kind::Label, nullptr, "Kopíruji z: ", 250, 126, 70, 18},
    {"Label7", Kind::Label, nullptr, "", 322, 126, 370, 18},
    {"Label19", Kind::Label, nullptr, "Kopíruji do:", 250, 144, 70, 18},
    {"Label8", Kind::Label, nullptr, "", 322, 144, 370, 18},
    {"Label18", Kind::Label, nullptr, "", 262, 162, 428, 18},

    {"Panel1", Kind::Panel, nullptr, "", 700, 8, 136, 56},
    {"Label4", Kind::Label, "Panel1", "", 4, 6, 128, 20},
    {"Label5", Kind::Label, "Panel1", "", 4, 30, 128, 20},
    {"BitBtn1", Kind::Button, nullptr, "&Schovat", 700, 70, 136, 26},
    // Shown while a run is in progress.
    {"BBPrerusit", Kind::Button, nullptr, "P&řerušit", 700, 102, 136, 26},

    {"GroupBox2", Kind::Group, nullptr, "", 8, 118, 236, 46},
    {"BitBtn2", Kind::Button, "GroupBox2", "&Zálohuj ihned", 10, 10, 126, 28},
    {"BBNahled", Kind::Button, "GroupBox2", "Náh&led", 140, 10, 86, 28},
    {"Label9", Kind::Label, nullptr, "Stav:", 8, 172, 30, 18},
    {"Label6", Kind::Label, nullptr, "", 40, 170, 218, 20},
    {"Bevel1", Kind::Rule, nullptr, "", 8, 198, 828, 2},

    // The add command above the three others, the grid below.
    {"BitBtn3", Kind::PairButton, nullptr, "&Add source and target", 126, 224, 123, 19},
    {"PBEditSrc", Kind::PairButton, nullptr, "&Edit source", 44, 240, 69, 19},
    {"PBEditTrg", Kind::PairButton, nullptr, "Edit &target", 246, 240, 61, 19},
    {"BitBtn4", Kind::PairButton, nullptr, "&Remove record", 382, 240, 83, 19},
    {"DBGrid1", Kind::Grid, nullptr, "", 4, 260, 477, 225},

    {"Label10", Kind::Label, nullptr, "Průběh zálohy", 482, 206, 200, 18},
    {"LB2", Kind::List, nullptr, "", 482, 226, 354, 252},
    {"JvgExtSpeedButton1", Kind::Button, nullptr, "Zobrazit &přehled", 482, 484, 160, 26},
    {"BBHistorie", Kind::Button, nullptr, "&Historie", 648, 484, 100, 26},

    {"JvRollOut1", Kind::Frame, nullptr, "", 250, 4, 340, kSettingsPanelClosedHeight},
    {"JvRollOut1Header", Kind::FlatButton, "JvRollOut1", "::: &Nastavení :::", 0, 0, 340, 22},
    {"JvRollOut1Body", Kind::Panel, "JvRollOut1", "", 0, 22, 340,
     kSettingsPanelOpenHeight - kSettingsPanelClosedHeight},
    {"cxLabel2", Kind::Label, "JvRollOut1Body", "Čas provedení zálohy", 10, 10, 140, 18},
    {"cxTimeEdit1", Kind::TimeEdit, "JvRollOut1Body", "", 154, 6, 90, 24},
    {"JVCHB1", Kind::CheckBox, "JvRollOut1Body", "ne&bo zálohovat ", 10, 38, 130, 20},
    {"RG2Item0", Kind::Radio, "JvRollOut1Body", "  .", 24, 62, 40, 20},
    {"cxTextEdit1", Kind::Edit, "JvRollOut1Body", "10", 70, 62, 40, 20},
    {"cxLabel3", Kind::Label, "JvRollOut1Body", "minut po startu PC.", 116, 63, 140, 18},
    {"RG2Item1", Kind::Radio, "JvRollOut1Body", "   ..", 24, 88, 46, 20},
    {"cxLabel4", Kind::Label, "JvRollOut1Body", "každých", 70, 89, 50, 18},
    {"cxTextEdit2", Kind::Edit, "JvRollOut1Body", "10", 124, 88, 40, 20},
    {"cxLabel5", Kind::Label, "JvRollOut1Body", "minut", 170, 89, 40, 18},
    {"RG1Box", Kind::Group, "JvRollOut1Body", "Po provedení zálohy", 10, 114, 200, 80},
    // Access keys unique in the window, on letters of the captions themselves.
    {"RG1Item0", Kind::Radio, "RG1Box", "&Vypnout PC", 10, 18, 180, 18},
    {"RG1Item1", Kind::Radio, "RG1Box", "Uspat P&C", 10, 38, 180, 18},
    {"RG1Item2", Kind::Radio, "RG1Box", "Nic nepr&ovádět", 10, 58, 180, 18},
    {"JvCheckBox1", Kind::CheckBox, "JvRollOut1Body", "také s&ynchronizuj (výmaz již smazaných)",
     10, 198, 320, 20},
    {"JvXPButton1", Kind::Button, "JvRollOut1Body", "&Uložit", 250, 160, 80, 28},
    {"cxLabelHist", Kind::Label, "JvRollOut1Body", "Uchovávat smazané a přepsané soubory", 10,
     222, 236, 18},
    {"SEHist", Kind::Spin, "JvRollOut1Body", "", 248, 220, 58, 20},
    {"cxLabelHistDays", Kind::Label, "JvRollOut1Body", "dní", 310, 222, 26, 18},
    {"CHBAutostart", Kind::CheckBox, "JvRollOut1Body", "Spouštět po př&ihlášení", 10, 244, 320, 20},
    // Where the program keeps its files, so the user can find them.
    {"LPaths", Kind::Label, "JvRollOut1Body", "", 10, 268, 320, 40},
};

QWidget* create(const Control& c, QWidget* parent, PairGridView* grid) {
  const QString caption = QString::fromUtf8(c.caption);
  switch (c.kind) {
    case Kind::Label: return new QLabel(caption, parent);
    case Kind::Edit: return new QLineEdit(caption, parent);
    case Kind::Display: {
      auto* edit = new QLineEdit(caption, parent);
      edit->setReadOnly(true);
      return edit;
    }
    case Kind::Button:
    case Kind::PairButton: return new QPushButton(caption, parent);
    case Kind::FlatButton: {
      auto* button = new QPushButton(caption, parent);
      button->setFlat(true);
      return button;
    }
    case Kind::CheckBox: return new QCheckBox(caption, parent);
    case Kind::Radio: return new QRadioButton(caption, parent);
    case Kind::Group: return new QGroupBox(caption, parent);
    case Kind::Panel: {
      auto* frame = new QFrame(parent);
      frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
      return frame;
    }
    case Kind::Frame: return new QFrame(parent);
    case Kind::Rule: {
      auto* frame = new QFrame(parent);
      frame->setFrameStyle(QFrame::HLine | QFrame::Sunken);
      return frame;
    }
    case Kind::Progress: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      return bar;
    }
    case Kind::List: return new QListWidget(parent);
    case Kind::TimeEdit: {
      auto* edit = new QTimeEdit(parent);
      edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
      return edit;
    }
    case Kind::Spin: {
      auto* box = new QSpinBox(parent);
      box->setRange(0, kMaxHistoryDays);
      box->setValue(kDefaultHistoryDays);
      return box;
    }
    case Kind::Grid: grid->setParent(parent); return grid;
  }
  return nullptr;
}

template <class W>
W* find(QWidget* window, const char* name) {
  return window->findChild<W*>(QString::fromLatin1(name));
}

QFont withPointSize(QFont font, int points) {
  font.setPointSize(points);
  return font;
}

void setColours(QWidget* w, QPalette::ColorRole backRole, const QColor& back, const QColor& text) {
  QPalette palette = w->palette();
  palette.setColor(backRole, back);
  palette.setColor(backRole == QPalette::Base ? QPalette::Text : QPalette::WindowText, text);
  w->setPalette(palette);
}

// Fonts and colours that differ from the window's.
void dress(QWidget* window, const WindowControls& c) {
  QFont bold = window->font();
  bold.setBold(true);
  // Explicitly not bold: a font taken as it is would inherit the frame's.
  QFont plain = window->font();
  plain.setBold(false);
  find<QWidget>(window, "GroupBox1")->setFont(bold);
  QFont big = bold;
  big.setPointSize(20);
  c.ECas->setFont(big);
  for (QWidget* w :
       std::initializer_list<QWidget*>{c.LKaz, c.Emin, c.Lm, c.Lmin, c.LVarCas, c.EVarCas}) {
    w->setFont(plain);
  }
  setColours(c.EVarCas, QPalette::Base, QColor(204, 255, 204), c.EVarCas->palette().text().color());

  auto* title = find<QLabel>(window, "Label1");
  title->setFont(QFont(QStringLiteral("Arial"), 12));
  title->setAlignment(Qt::AlignCenter);
  c.Label3->setFont(bold);
  c.G2->setRange(0, 1000);
  c.Label15->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* clock = find<QWidget>(window, "Panel1");
  clock->setAutoFillBackground(true);
  setColours(clock, QPalette::Window, Qt::black, Qt::white);
  QFont clockFont(QStringLiteral("Arial"), 12);
  clockFont.setBold(true);
  clockFont.setItalic(true);
  for (QLabel* l : {c.Label4, c.Label5}) {
    l->setFont(clockFont);
    l->setAlignment(Qt::AlignCenter);
  }

  c.BitBtn2->setFont(bold);
  c.Label6->setFont(withPointSize(window->font(), 10));
  c.Label6->setAutoFillBackground(true);
  find<QLabel>(window, "Label10")->setFont(bold);
  setColours(c.LB2, QPalette::Base, QColor(128, 128, 128), Qt::white);

  c.JvRollOut1->setAutoFillBackground(true);
  c.JvRollOut1Body->hide();
  c.JvCheckBox1->setChecked(true);
  c.LPaths->setFont(withPointSize(window->font(), 7));
  c.LPaths->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The minutes take digits only, as many as the schedule can count with;
  // what a hand edit left in the file still shows as it is.
  for (QLineEdit* minutes : {c.cxTextEdit1, c.cxTextEdit2}) {
    minutes->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]{0,9}")), minutes));
  }
}

QButtonGroup* radioGroup(QWidget* window, const char* name,
                         std::initializer_list<const char*> items, int checked) {
  auto* group = new QButtonGroup(window);
  group->setObjectName(QString::fromLatin1(name));
  int id = 0;
  for (const char* item : items) group->addButton(find<QRadioButton>(window, item), id++);
  group->button(checked)->setChecked(true);
  return group;
}

}  // namespace

WindowControls buildWindowControls(QWidget* window, PairGridView* grid) {
  for (const Control& c : kControls) {
    QWidget* parent = c.parent == nullptr ? window : find<QWidget>(window, c.parent);
    QWidget* w = create(c, parent, grid);
    w->setObjectName(QString::fromLatin1(c.name));
    int width = c.w;
    if (c.kind == Kind::PairButton) width = std::max(width, w->sizeHint().width());
    w->setGeometry(c.x, c.y, width, c.h);
  }

  WindowControls c;
#define TAVRO_FIND(member) \
  c.member = find<std::remove_pointer_t<decltype(c.member)>>(window, #member)
  TAVRO_FIND(ECas);
  TAVRO_FIND(EVarCas);
  TAVRO_FIND(Emin);
  TAVRO_FIND(LKaz);
  TAVRO_FIND(Lm);
  TAVRO_FIND(Lmin);
  TAVRO_FIND(LVarCas);
  TAVRO_FIND(Label3);
  TAVRO_FIND(Label4);
  TAVRO_FIND(Label5);
  TAVRO_FIND(Label6);
  TAVRO_FIND(Label7);
  TAVRO_FIND(Label8);
  TAVRO_FIND(Label14);
  TAVRO_FIND(Label15);
  TAVRO_FIND(Label16);
  TAVRO_FIND(Label17);
  TAVRO_FIND(Label18);
  TAVRO_FIND(Label19);
  TAVRO_FIND(G1);
  TAVRO_FIND(G2);
  TAVRO_FIND(LB2);
  TAVRO_FIND(BitBtn1);
  TAVRO_FIND(BitBtn2);
  TAVRO_FIND(BBPrerusit);
  TAVRO_FIND(BBNahled);
  TAVRO_FIND(JvgExtSpeedButton1);
  TAVRO_FIND(BBHistorie);
  TAVRO_FIND(BitBtn3);
  TAVRO_FIND(PBEditSrc);
  TAVRO_FIND(PBEditTrg);
  TAVRO_FIND(BitBtn4);
  TAVRO_FIND(DBGrid1);
  TAVRO_FIND(JvRollOut1);
  TAVRO_FIND(JvRollOut1Header);
  TAVRO_FIND(JvRollOut1Body);
  TAVRO_FIND(cxLabel2);
  TAVRO_FIND(cxTimeEdit1);
  TAVRO_FIND(JVCHB1);
  TAVRO_FIND(cxTextEdit1);
  TAVRO_FIND(cxTextEdit2);
  TAVRO_FIND(JvCheckBox1);
  TAVRO_FIND(JvXPButton1);
  TAVRO_FIND(SEHist);
  TAVRO_FIND(CHBAutostart);
  TAVRO_FIND(LPaths);
#undef TAVRO_FIND
  c.RG1 = radioGroup(window, "RG1", {"RG1Item0", "RG1Item1", "RG1Item2"}, 2);
  c.RG2 = radioGroup(window, "RG2", {"RG2Item0", "RG2Item1"}, 0);

  dress(window, c);
  c.JvRollOut1->raise();
  return c;
}

}  // namespace tavro
