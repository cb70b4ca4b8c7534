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
      {"\xC3\xA5", {U'\u00E5'}},                               // well formed
      {"\xC0\x80", {0xFFFD, 0xFFFD}},                          // overlong NUL
      {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}},              // surrogate
      {"\xE2\x82", {0xFFFD, 0xFFFD}},                          // cut short
      {"\xF5\x80\x80\x80", {0xFFFD, 0xFFFD, 0xFFFD, 0xFFFD}},  // beyond U+10FFFF
      {"a\x80z", {U'a', 0xFFFD, U'z'}},                        // stray continuation
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
  for (std::size_t k = 0; k < kWindows1252High.size(); ++k) {
    if (kWindows1252High[k] != 0) {
      EXPECT_EQ(CodePointToWindows1252(kWindows1252High[k]), 0x80 + k);
    }
  }
}

// The lenient conversions used for names in OLE data: one "?" (or U+FFFD)
// per character the target lacks and per malformed byte.
TEST(Windows1252, Utf8ToWindows1252ReplacesWhatItCannotHold) {
  struct Case {
    std::string utf8;
    std::string ansi;
  } cases[] = {
      {"", ""},
      {"photo 1.jpg", "photo 1.jpg"},
      {"Blåbär",
       "Bl\xE5"
       "b\xE4r"},                        // Latin-1 letters
      {"\xC2\xA0\xC3\xBF", "\xA0\xFF"},  // first and last Latin-1 code points
      {"\xE2\x82\xAC 5", "\x80 5"},      // euro sign: one of the 80-9F extras
      {"\xC5\x93uvre \xE2\x80\x9Cq\xE2\x80\x9D", "\x9Cuvre \x93q\x94"},
      {"\xC2\x81", "?"},                   // U+0081: unassigned in the code page
      {"\xE6\x97\xA5\xE6\x9C\xAC", "??"},  // CJK: outside the code page
      {"\xF0\x9F\x93\xB7", "?"},           // a 4-byte character is one "?"
      {"a\xC3", "a?"},                     // truncated sequence
      {"\xC3(", "?("},                     // bad continuation byte
      {"\xC0\xAF", "??"},                  // overlong form
      {"\xED\xA0\x80", "???"},             // encoded surrogate
      {"\xFF", "?"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.ansi) << c.utf8;
}

TEST(Utf16, Utf8ToUtf16ReplacesMalformedBytes) {
  struct Case {
    std::string utf8;
    std::u16string utf16;
  } cases[] = {
      {"", u""},
      {"a.pdf", u"a.pdf"},
      {"Blåbär", u"Bl\u00E5b\u00E4r"},
      {"\xE6\x97\xA5", u"\u65E5"},
      {"\xF0\x9F\x93\xB7", u"\U0001F4F7"},  // a surrogate pair
      {"a\xC3", u"a\uFFFD"},
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    // The strict form agrees on well-formed text and refuses the rest.
    const bool wellFormed = c.utf16.find(u'\uFFFD') == std::u16string::npos;
    EXPECT_EQ(ValidUtf8ToUtf16(c.utf8), wellFormed ? std::optional(c.utf16) : std::nullopt)
        << c.utf8;
  }
}

// The exact conversions used for database passwords: all or nothing.
TEST(Windows1252, ExactConversionsRefuseWhatTheyCannotHold) {
  EXPECT_EQ(ExactUtf8ToWindows1252("K\xC3\xA4se \xE2\x82\xAC"), "K\xE4se \x80");
  EXPECT_EQ(ExactUtf8ToWindows1252(""), "");
  EXPECT_EQ(ExactUtf8ToWindows1252("\xCE\xA9"), std::nullopt);  // omega: outside the code page
  EXPECT_EQ(ExactUtf8ToWindows1252("\xC2\x81"), std::nullopt);  // unassigned position
  EXPECT_EQ(ExactUtf8ToWindows1252("a\xC3"), std::nullopt);     // malformed

  EXPECT_EQ(Windows1252ToUtf8("K\xE4se \x80\x9F"), "K\xC3\xA4se \xE2\x82\xAC\xC5\xB8");
  EXPECT_EQ(Windows1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  for (char unassigned : {'\x81', '\x8D', '\x8F', '\x90', '\x9D'})
    EXPECT_EQ(Windows1252ToUtf8(std::string("x") + unassigned), std::nullopt) << int(unassigned);
}

TEST(Cp850, ConvertsBothWays) {
  struct Case {
    std::string utf8;
    std::string oem;
  } cases[] = {
      {"abc", "abc"},
      {"K\xC3\xA4se", "K\x84se"},                // ä
      {"\xC3\x87\xC2\xA0", "\x80\xFF"},          // first and last of the upper half
      {"\xE2\x95\x94\xE2\x95\x97", "\xC9\xBB"},  // box drawing
      {"\xC4\xB1", "\xD5"},                      // dotless i
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf8ToCp850(c.utf8), c.oem) << c.utf8;
    EXPECT_EQ(Cp850ToUtf8(c.oem), c.utf8) << c.utf8;
  }
  EXPECT_EQ(Utf8ToCp850("\xE2\x82\xAC"), "?");  // no euro sign in code page 850
  EXPECT_EQ(Utf8ToCp850("a\xC3"), "a?");
  // Every byte of the code page survives the round trip.
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(Utf8ToCp850(Cp850ToUtf8(all)), all);
}

}  // namespace
}  // namespace corvid
