#pragma once

#include <optional>

namespace tavro {

// What the program does with its arguments before any window exists:
// "--help" and "--version" print and end; "--run" runs one backup without a
// window. Returns the exit status when the arguments asked for one of
// these (or were not understood, status 2), nothing when the window program
// is to start.
std::optional<int> handleCommandLine(int argc, char** argv);

}  // namespace tavro
