#include "program/window_layout.h"

namespace tavro {

namespace {

constexpr ControlPlace kControls[] = {
    {"GroupBox1", ControlKind::Group, nullptr, "Čas spouštění", 8, 8, 236, 104},
    {"ECas", ControlKind::Display, "GroupBox1", "  :  ", 12, 26, 96, 40},
    {"LKaz", ControlKind::Label, "GroupBox1", "každých", 12, 26, 60, 18},
    {"Emin", ControlKind::Display, "GroupBox1", "", 72, 24, 40, 22},
    {"Lm", ControlKind::Label, "GroupBox1", "minut", 118, 26, 90, 18},
    {"Lmin", ControlKind::Label, "GroupBox1", "minut po startu PC.", 118, 26, 112, 18},
    {"LVarCas", ControlKind::Label, "GroupBox1", "Nyní se spustí v", 12, 62, 110, 18},
    {"EVarCas", ControlKind::Display, "GroupBox1", "  :  ", 124, 58, 64, 26},

    {"Label1", ControlKind::Label, nullptr, "Přírůstkové zálohování", 250, 34, 340, 24},
    {"Label2", ControlKind::Label, nullptr, "Poslední úspěšné zpracování", 250, 62, 186, 18},
    {"Label3", ControlKind::Label, nullptr, "neprovedeno", 440, 62, 150, 18},
    {"G1", ControlKind::Progress, nullptr, "", 250, 88, 320, 14},
    {"G2", ControlKind::Progress, nullptr, "", 250, 106, 320, 14},
    {"Label15", ControlKind::Label, nullptr, "", 574, 86, 54, 18},
    {"Label17", ControlKind::Label, nullptr, "/", 630, 86, 8, 18},
    {"Label16", ControlKind::Label, nullptr, "", 640, 86, 54, 18},
    {"Label14", ControlKind::Label, nullptr, "Kopíruji z: ", 250, 126, 70, 18},
    {"Label7", ControlKind::Label, nullptr, "", 322, 126, 370, 18},
    {"Label19", ControlKind::Label, nullptr, "Kopíruji do:", 250, 144, 70, 18},
    {"Label8", ControlKind::Label, nullptr, "", 322, 144, 370, 18},
    {"Label18", ControlKind::Label, nullptr, "", 262, 162, 428, 18},

    {"Panel1", ControlKind::Panel, nullptr, "", 700, 8, 136, 56},
    {"Label4", ControlKind::Label, "Panel1", "", 4, 6, 128, 20},
    {"Label5", ControlKind::Label, "Panel1", "", 4, 30, 128, 20},
    {"BitBtn1", ControlKind::Button, nullptr, "&Schovat", 700, 70, 136, 26},
    // Shown while a run is in progress.
    {"BBPrerusit", ControlKind::Button, nullptr, "P&řerušit", 700, 102, 136, 26},

    {"GroupBox2", ControlKind::Group, nullptr, "", 8, 118, 236, 46},
    {"BitBtn2", ControlKind::Button, "GroupBox2", "&Zálohuj ihned", 10, 10, 126, 28},
    {"BBNahled", ControlKind::Button, "GroupBox2", "Náh&led", 140, 10, 86, 28},
    {"Label9", ControlKind::Label, nullptr, "Stav:", 8, 172, 30, 18},
    {"Label6", ControlKind::Label, nullptr, "", 40, 170, 218, 20},
    {"Bevel1", ControlKind::Rule, nullptr, "", 8, 198, 828, 2},

    // The add command above the three others, the grid below.
    {"BitBtn3", ControlKind::PairButton, nullptr, "&Add source and target", 126, 224, 123, 19},
    {"PBEditSrc", ControlKind::PairButton, nullptr, "&Edit source", 44, 240, 69, 19},
    {"PBEditTrg", ControlKind::PairButton, nullptr, "Edit &target", 246, 240, 61, 19},
    {"BitBtn4", ControlKind::PairButton, nullptr, "&Remove record", 382, 240, 83, 19},
    {"DBGrid1", ControlKind::Grid, nullptr, "", 4, 260, 477, 225},

    {"Label10", ControlKind::Label, nullptr, "Průběh zálohy", 482, 206, 200, 18},
    {"LB2", ControlKind::List, nullptr, "", 482, 226, 354, 252},
    {"JvgExtSpeedButton1", ControlKind::Button, nullptr, "Zobrazit &přehled", 482, 484, 160, 26},
    {"BBHistorie", ControlKind::Button, nullptr, "&Historie", 648, 484, 100, 26},
    // Every letter of its caption is another control's access key.
    {"BBObnovit", ControlKind::Button, nullptr, "Obnovit", 752, 484, 84, 26},

    {"JvRollOut1", ControlKind::Frame, nullptr, "", 250, 4, 340, kSettingsPanelClosedHeight},
    {"JvRollOut1Header", ControlKind::FlatButton, "JvRollOut1", "::: &Nastavení :::", 0, 0, 340,
     22},
    {"JvRollOut1Body", ControlKind::Panel, "JvRollOut1", "", 0, 22, 340,
     kSettingsPanelOpenHeight - kSettingsPanelClosedHeight},
    {"cxLabel2", ControlKind::Label, "JvRollOut1Body", "Čas provedení zálohy", 10, 10, 140, 18},
    {"cxTimeEdit1", ControlKind::TimeEdit, "JvRollOut1Body", "", 154, 6, 90, 24},
    {"JVCHB1", ControlKind::CheckBox, "JvRollOut1Body", "ne&bo zálohovat ", 10, 38, 130, 20},
    {"RG2Item0", ControlKind::Radio, "JvRollOut1Body", "  .", 24, 62, 40, 20},
    {"cxTextEdit1", ControlKind::Edit, "JvRollOut1Body", "10", 70, 62, 40, 20},
    {"cxLabel3", ControlKind::Label, "JvRollOut1Body", "minut po startu PC.", 116, 63, 140, 18},
    {"RG2Item1", ControlKind::Radio, "JvRollOut1Body", "   ..", 24, 88, 46, 20},
    {"cxLabel4", ControlKind::Label, "JvRollOut1Body", "každých", 70, 89, 50, 18},
    {"cxTextEdit2", ControlKind::Edit, "JvRollOut1Body", "10", 124, 88, 40, 20},
    {"cxLabel5", ControlKind::Label, "JvRollOut1Body", "minut", 170, 89, 40, 18},
    {"RG1Box", ControlKind::Group, "JvRollOut1Body", "Po provedení zálohy", 10, 114, 200, 80},
    // Access keys unique in the window, on letters of the captions themselves.
    {"RG1Item0", ControlKind::Radio, "RG1Box", "&Vypnout PC", 10, 18, 180, 18},
    {"RG1Item1", ControlKind::Radio, "RG1Box", "Uspat P&C", 10, 38, 180, 18},
    {"RG1Item2", ControlKind::Radio, "RG1Box", "Nic nepr&ovádět", 10, 58, 180, 18},
    {"JvCheckBox1", ControlKind::CheckBox, "JvRollOut1Body",
     "také s&ynchronizuj (výmaz již smazaných)", 10, 198, 320, 20},
    {"JvXPButton1", ControlKind::Button, "JvRollOut1Body", "&Uložit", 250, 160, 80, 28},
    {"cxLabelHist", ControlKind::Label, "JvRollOut1Body", "Uchovávat smazané a přepsané soubory",
     10, 222, 236, 18},
    {"SEHist", ControlKind::Spin, "JvRollOut1Body", "", 248, 220, 58, 20},
    {"cxLabelHistDays", ControlKind::Label, "JvRollOut1Body", "dní", 310, 222, 26, 18},
    {"CHBAutostart", ControlKind::CheckBox, "JvRollOut1Body", "Spouštět po př&ihlášení", 10, 244,
     320, 20},
    // Where the program keeps its files, so the user can find them.
    {"LPaths", ControlKind::Label, "JvRollOut1Body", "", 10, 268, 320, 40},
};

}  // namespace

std::span<const ControlPlace> mainWindowControls() { return kControls; }

}  // namespace tavro
