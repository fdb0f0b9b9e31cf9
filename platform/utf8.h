#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tavro {

// Texts are bytes in the locale's encoding, UTF-8 here. Limits count
// characters: a well-formed multi-byte sequence is one character, and every
// byte that is not part of one counts as a character of its own, so bytes
// that are not UTF-8 pass through and are never split differently.

// The length in bytes of the character that starts text[pos].
std::size_t utf8CharBytes(std::string_view text, std::size_t pos);

std::size_t utf8Length(std::string_view text);

// The first `chars` characters of `text`, never half a character.
std::string_view utf8Prefix(std::string_view text, std::size_t chars);

}  // namespace tavro
