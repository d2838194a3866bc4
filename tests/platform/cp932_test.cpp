#include "platform/cp932.h"

#include <gtest/gtest.h>

namespace tovrin {
namespace {

TEST(Cp932, RoundTripsTheSystemTexts) {
  // Half-width katakana are single bytes, kanji two bytes.
  EXPECT_EQ(ToCp932("ﾌﾟﾛｯﾀ出図"), std::string("\xCC\xDF\xDB\xAF\xC0\x8F\x6F\x90\x7D"));
  EXPECT_EQ(FromCp932("\xCC\xDF\xDB\xAF\xC0\x8F\x6F\x90\x7D"), "ﾌﾟﾛｯﾀ出図");
  // Code page 932 specifics: the wave dash family and NEC row 13.
  EXPECT_EQ(FromCp932(*ToCp932("～①")), "～①");
}

TEST(Cp932, CharactersWithoutAFormAreRefusedOrMarked) {
  EXPECT_FALSE(ToCp932("pen \xF0\x9F\x96\x8A"));  // an emoji has no code page 932 form
  EXPECT_EQ(ToCp932Lossy("SP\xF0\x9F\x96\x8A"
                         "3"),
            "SP?3");
  EXPECT_FALSE(ToCp932("\xFF"));  // not UTF-8
  // A lone lead byte and a byte that is no character at all.
  EXPECT_EQ(FromCp932("A\x83"), "A?");
  EXPECT_EQ(FromCp932("\xA0"
                      "B"),
            "?B");
}

TEST(Cp932, CountsCharactersNotBytes) {
  EXPECT_EQ(Utf8Length("-.14"), 4u);
  EXPECT_EQ(Utf8Length("A0ﾌﾟﾛｯﾀﾛｰﾙ紙"), 11u);
}

}  // namespace
}  // namespace tovrin
