#pragma once

#include <span>

namespace tavro {

// The main window's controls as both window shells build them: what each
// is, which control holds it, its caption and its place, in pixels at 96
// dots per inch for an 8-point sans-serif font. Object names are the
// window's own; the shells find controls by them.
enum class ControlKind {
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

struct ControlPlace {
  const char* name;
  ControlKind kind;
  const char* parent;   // nullptr: the window
  const char* caption;  // UTF-8; "&" marks the access key
  int x, y, w, h;
};

// The window's inner size.
constexpr int kMainWindowWidth = 844;
constexpr int kMainWindowHeight = 518;
// The settings panel's height when open, header included, and closed.
constexpr int kSettingsPanelOpenHeight = 338;
constexpr int kSettingsPanelClosedHeight = 24;

// The pair grid's column headings: source, target, state.
inline constexpr const char* kPairGridHeadings[] = {"Zdroj", "Cíl", "STAV"};

// In the order the keyboard visits them; the settings panel last, so that
// it lies over the window when open.
std::span<const ControlPlace> mainWindowControls();

}  // namespace tavro
