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
#include "program/window_layout.h"
#include "schedule/settings_panel.h"

namespace tavro {

namespace {

QWidget* create(const ControlPlace& c, QWidget* parent, PairGridView* grid) {
  const QString caption = QString::fromUtf8(c.caption);
  switch (c.kind) {
    case ControlKind::Label: return new QLabel(caption, parent);
    case ControlKind::Edit: return new QLineEdit(caption, parent);
    case ControlKind::Display: {
      auto* edit = new QLineEdit(caption, parent);
      edit->setReadOnly(true);
      return edit;
    }
    case ControlKind::Button:
    case ControlKind::PairButton: return new QPushButton(caption, parent);
    case ControlKind::FlatButton: {
      auto* button = new QPushButton(caption, parent);
      button->setFlat(true);
      return button;
    }
    case ControlKind::CheckBox: return new QCheckBox(caption, parent);
    case ControlKind::Radio: return new QRadioButton(caption, parent);
    case ControlKind::Group: return new QGroupBox(caption, parent);
    case ControlKind::Panel: {
      auto* frame = new QFrame(parent);
      frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
      return frame;
    }
    case ControlKind::Frame: return new QFrame(parent);
    case ControlKind::Rule: {
      auto* frame = new QFrame(parent);
      frame->setFrameStyle(QFrame::HLine | QFrame::Sunken);
      return frame;
    }
    case ControlKind::Progress: {
      auto* bar = new QProgressBar(parent);
      bar->setTextVisible(false);
      return bar;
    }
    case ControlKind::List: return new QListWidget(parent);
    case ControlKind::TimeEdit: {
      auto* edit = new QTimeEdit(parent);
      edit->setDisplayFormat(QStringLiteral("HH:mm:ss"));
      return edit;
    }
    case ControlKind::Spin: {
      auto* box = new QSpinBox(parent);
      box->setRange(0, kMaxHistoryDays);
      box->setValue(kDefaultHistoryDays);
      return box;
    }
    case ControlKind::Grid: grid->setParent(parent); return grid;
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
    minutes->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,9}")), minutes));
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
  for (const ControlPlace& c : mainWindowControls()) {
    QWidget* parent = c.parent == nullptr ? window : find<QWidget>(window, c.parent);
    QWidget* w = create(c, parent, grid);
    w->setObjectName(QString::fromLatin1(c.name));
    int width = c.w;
    if (c.kind == ControlKind::PairButton) width = std::max(width, w->sizeHint().width());
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
  TAVRO_FIND(BBObnovit);
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
