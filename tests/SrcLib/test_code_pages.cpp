#include "SrcLib/code_pages.h"

#include <gtest/gtest.h>

namespace corvid {
namespace {

TEST(Utf8, EncodesAndDecodesEveryLength) {
  for (char32_t cp : {U'A', U'\u00E9', U'\u20AC', U'\U0001F600', char32_t{0x10FFFF}}) {
    std::string text;
    AppendUtf8(text, cp);
    std::size_t i = 0;
    EXPECT_EQ(NextUtf8(text, i), cp);
    EXPECT_EQ(i, text.size());
  }
}

TEST(Utf8, MalformedSequencesGiveOneReplacementPerByte) {
  struct Case {
    std::string bytes;
    std::vector<char32_t> expected;
  };
  const Case cases[] = {
      {"\xC3\xA5", {U'\u00E5'}},                        // well formed
      {"\xC0\x80", {0xFFFD, 0xFFFD}},                   // overlong NUL
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},       // surrogate
      {"\xE2\x82", {0xFFFD, 0xFFFD}},                   // cut short
      {"\xF5\x80\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},  // beyond U+10FFFF
      {"a\x80z", {U'a', 0xFFFD, U'z'}},                 // stray continuation
  };
  for (const Case& c : cases) EXPECT_EQ(DecodeUtf8(c.bytes), c.expected) << c.bytes;
}

TEST(Windows1252, MapsTheCodePageAndNothingElse) {
  EXPECT_EQ(CodePointToWindows1252(U'a'), 'a');
  EXPECT_EQ(CodePointToWindows1252(U'\u20AC'), 0x80);
  EXPECT_EQ(CodePointToWindows1252(U'\u0178'), 0x9F);
  EXPECT_EQ(CodePointToWindows1252(U'\u00FF'), 0xFF);
  EXPECT_EQ(CodePointToWindows1252(char32_t{0x81}), std::nullopt);  // unassigned position
  EXPECT_EQ(CodePointToWindows1252(U'\u0100'), std::nullopt);
  for (std::size_t k = 0; k < kWindows1252High.size(); ++k)
    if (kWindows1252High[k] != 0) EXPECT_EQ(CodePointToWindows1252(kWindows1252High[k]), 0x80 + k);
}

}  // namespace
}  // namespace corvid
