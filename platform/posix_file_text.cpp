// The program's text files on Linux and the other POSIX systems: UTF-8 as
// it is, no byte-order mark.
#include "platform/file_text.h"

namespace tavro {

std::string textOfFile(std::string_view bytes) { return std::string(bytes); }
std::string bytesOfFile(std::string_view text) { return std::string(text); }
std::string bytesToAppend(std::string_view text, std::string_view) { return std::string(text); }
bool appendingNeedsStart() { return false; }

}  // namespace tavro
