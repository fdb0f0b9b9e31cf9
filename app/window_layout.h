#pragma once

#include <vector>

#include "program/window_layout.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QSpinBox;
class QPushButton;
class QTimeEdit;
class QWidget;

namespace tavro {

class PairGridView;
class TrayIcon;

// The main window's controls that the program reads or changes after they
// were built, named as on the window.
struct WindowControls {
  // Schedule summary.
  QLineEdit* ECas = nullptr;
  QLineEdit* EVarCas = nullptr;
  QLineEdit* Emin = nullptr;
  QLabel* LKaz = nullptr;
  QLabel* Lm = nullptr;
  QLabel* Lmin = nullptr;
  QLabel* LVarCas = nullptr;
  // Last run, progress, clock and status.
  QLabel* Label3 = nullptr;
  QLabel* Label4 = nullptr;
  QLabel* Label5 = nullptr;
  QLabel* Label6 = nullptr;
  QLabel* Label7 = nullptr;
  QLabel* Label8 = nullptr;
  QLabel* Label14 = nullptr;
  QLabel* Label15 = nullptr;
  QLabel* Label16 = nullptr;
  QLabel* Label17 = nullptr;
  QLabel* Label18 = nullptr;
  QLabel* Label19 = nullptr;
  QProgressBar* G1 = nullptr;
  QProgressBar* G2 = nullptr;
  QListWidget* LB2 = nullptr;
  QPushButton* BitBtn1 = nullptr;             // "Schovat"
  QPushButton* BitBtn2 = nullptr;             // "Zálohuj ihned"
  QPushButton* BBPrerusit = nullptr;          // "Přerušit"
  QPushButton* BBNahled = nullptr;            // "Náhled"
  QPushButton* JvgExtSpeedButton1 = nullptr;  // "Zobrazit přehled"
  QPushButton* BBHistorie = nullptr;          // "Historie"
  QPushButton* BBObnovit = nullptr;           // "Obnovit"
  // The pair commands: add, edit source, edit target, remove.
  QPushButton* BitBtn3 = nullptr;
  QPushButton* PBEditSrc = nullptr;
  QPushButton* PBEditTrg = nullptr;
  QPushButton* BitBtn4 = nullptr;
  PairGridView* DBGrid1 = nullptr;
  // The settings panel.
  QWidget* JvRollOut1 = nullptr;
  QPushButton* JvRollOut1Header = nullptr;
  QWidget* JvRollOut1Body = nullptr;
  QLabel* cxLabel2 = nullptr;
  QTimeEdit* cxTimeEdit1 = nullptr;
  QCheckBox* JVCHB1 = nullptr;
  QLineEdit* cxTextEdit1 = nullptr;
  QLineEdit* cxTextEdit2 = nullptr;
  QButtonGroup* RG1 = nullptr;
  QButtonGroup* RG2 = nullptr;
  QCheckBox* JvCheckBox1 = nullptr;
  QPushButton* JvXPButton1 = nullptr;  // "Uložit"
  QSpinBox* SEHist = nullptr;          // days the history keeps
  QCheckBox* CHBAutostart = nullptr;
  QLabel* LPaths = nullptr;

  TrayIcon* tray = nullptr;  // not a control; the window sets it

  std::vector<QPushButton*> pairButtons() const { return {BitBtn3, PBEditSrc, PBEditTrg, BitBtn4}; }
};

// Builds the window's controls in their places on `window`, with their
// captions, fonts and colours, in the order the keyboard visits them. The
// grid, built by the window on its table, is put in its place.
WindowControls buildWindowControls(QWidget* window, PairGridView* grid);

}  // namespace tavro
