#include "platform/utf8.h"

namespace tavro {

std::size_t utf8CharBytes(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 0;
  unsigned minimum = 0;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    minimum = 0x10000;
  } else {
    return 1;
  }
  if (pos + length > text.size()) return 1;
  unsigned code = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 1;
    code = (code << 6) | (byte(pos + i) & 0x3F);
  }
  if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 1;
  return length;
}

std::size_t utf8Length(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < text.size(); pos += utf8CharBytes(text, pos)) ++count;
  return count;
}

std::string_view utf8Prefix(std::string_view text, std::size_t chars) {
  std::size_t pos = 0;
  for (std::size_t n = 0; n < chars && pos < text.size(); ++n) pos += utf8CharBytes(text, pos);
  return text.substr(0, pos);
}

}  // namespace tavro
