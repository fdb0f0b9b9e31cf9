// The program's text files on Linux and the other POSIX systems: UTF-8 as
// it is, a byte-order mark some editors put first kept where it was.
#include "platform/file_text.h"

namespace tavro {

FileText textOfFile(std::string_view bytes) {
  if (bytes.starts_with(kByteOrderMark)) {
    return {std::string(bytes.substr(kByteOrderMark.size())), true};
  }
  return {std::string(bytes), false};
}

std::string bytesOfFile(std::string_view text, bool byteOrderMark) {
  return (byteOrderMark ? std::string(kByteOrderMark) : std::string()) + std::string(text);
}

std::string bytesToAppend(std::string_view text, std::string_view) { return std::string(text); }
bool appendingNeedsStart() { return false; }

}  // namespace tavro
