#pragma once

#include <string_view>

namespace tavro {

// Blanks and tabs removed from both ends.
std::string_view trimBlanks(std::string_view text);

// Equal but for the case of ASCII letters, as names in the program's files
// are compared.
bool equalsIgnoringCase(std::string_view a, std::string_view b);
bool startsWithIgnoringCase(std::string_view text, std::string_view prefix);

}  // namespace tavro
