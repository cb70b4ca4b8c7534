#include "SrcLib/text_case.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace corvid {
namespace {

TEST(LowerCase, FoldsAsciiAndLatin1LettersOnly) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"ABC xyz 09", "abc xyz 09"},
      {"", ""},
      {"\xC3\x80\xC3\x89\xC3\x8E\xC3\x95\xC3\x9C\xC3\x9E",
       "\xC3\xA0\xC3\xA9\xC3\xAE\xC3\xB5\xC3\xBC\xC3\xBE"},
      {"UMS\xC3\x84TZE", "ums\xC3\xA4tze"},      // Umsätze
      {"\xC3\x97\xC3\xB7", "\xC3\x97\xC3\xB7"},  // multiplication and division signs stay
      {"\xC3\x9F", "\xC3\x9F"},                  // sharp s has no capital here
      {"\xC5\x92\xC5\xB8", "\xC5\x92\xC5\xB8"},  // OE ligature, Y diaeresis: outside Latin-1
      {"\xC9\xC0", "\xC9\xC0"},                  // lone Windows-1252 bytes are not UTF-8 letters
      {"\xE2\x82\xAC", "\xE2\x82\xAC"},          // a continuation byte after another lead
      {"\xC3\xC3\x80", "\xC3\xC3\xA0"},          // broken sequence, then a capital A grave
  };
  for (const Case& c : cases) EXPECT_EQ(LowerCase(c.in), c.out) << c.in;
}

TEST(SameText, ComparesCaseInsensitively) {
  EXPECT_TRUE(SameText("ID", "id"));
  EXPECT_TRUE(SameText("Ums\xC3\xA4tze", "UMS\xC3\x84TZE"));
  EXPECT_TRUE(SameText("", ""));
  EXPECT_FALSE(SameText("id", "ids"));
  EXPECT_FALSE(SameText("\xC3\x97", "\xC3\xB7"));  // x-sign is not the small of the division sign
  EXPECT_FALSE(SameText("a", "\xC3\xA0"));
}

TEST(CompareText, OrdersFoldedBytes) {
  EXPECT_LT(CompareText("a", "B"), 0);
  EXPECT_GT(CompareText("b", "A"), 0);
  EXPECT_EQ(CompareText("\xC3\x84", "\xC3\xA4"), 0);
  EXPECT_LT(CompareText("abc", "ABCD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_LT(CompareText("z", "\xC3\xA0"), 0);  // bytes compare unsigned
  EXPECT_EQ(CompareText("", ""), 0);
}

// The folding is our own, not the C library's: it holds in a locale that
// knows no letters beyond ASCII just as well.
TEST(LowerCase, DoesNotDependOnTheProcessLocale) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
  EXPECT_EQ(LowerCase("\xC3\x84"
                      "BC"),
            "\xC3\xA4"
            "bc");
  EXPECT_TRUE(SameText("\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89"));
  std::setlocale(LC_ALL, previous.c_str());
}

}  // namespace
}  // namespace corvid
