#include "platform/utf8.h"

#include <gtest/gtest.h>

namespace tavro {
namespace {

TEST(Utf8Test, CountsCharactersAndTreatsStrayBytesAsCharacters) {
  EXPECT_EQ(utf8Length(""), 0u);
  EXPECT_EQ(utf8Length("Zálohuj ihned"), 13u);
  EXPECT_EQ(utf8Length("\xF0\x9F\x93\x81"), 1u);           // one four-byte character
  EXPECT_EQ(utf8Length("a\xE1" "b"), 3u);                  // Latin-1 byte, not UTF-8
  EXPECT_EQ(utf8Length("\xC3"), 1u);                       // cut-off sequence
  EXPECT_EQ(utf8Length("\xC0\xAF"), 2u);                   // overlong form
  EXPECT_EQ(utf8Length("\xED\xA0\x80"), 3u);               // surrogate
}

TEST(Utf8Test, PrefixesNeverSplitACharacter) {
  EXPECT_EQ(utf8Prefix("čćž", 2), "čć");
  EXPECT_EQ(utf8Prefix("abc", 5), "abc");
  EXPECT_EQ(utf8Prefix("a\xE1" "bc", 2), "a\xE1");
  EXPECT_EQ(utf8Prefix("\xF0\x9F\x93\x81x", 1), "\xF0\x9F\x93\x81");
  EXPECT_EQ(utf8Prefix("x", 0), "");
}

}  // namespace
}  // namespace tavro
