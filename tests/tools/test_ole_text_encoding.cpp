// Names in OLE data: the ANSI (Windows-1252) and UTF-16 forms the packager
// stores, made from UTF-8.
#include <gtest/gtest.h>

#include <string>

#include "tools/oledocs/text_encoding.h"

namespace corvid::oledocs {
namespace {

TEST(OleTextEncoding, Utf8ToWindows1252) {
  struct Case {
    std::string utf8;
    std::string ansi;
  } cases[] = {
      {"", ""},
      {"photo 1.jpg", "photo 1.jpg"},
      {"Blåbär", "Bl\xE5" "b\xE4r"},                     // Latin-1 letters
      {"\xC2\xA0\xC3\xBF", "\xA0\xFF"},                  // first and last Latin-1 code points
      {"\xE2\x82\xAC 5", "\x80 5"},                      // euro sign: one of the 80-9F extras
      {"\xC5\x93uvre \xE2\x80\x9Cq\xE2\x80\x9D", "\x9Cuvre \x93q\x94"},
      {"\xC2\x81", "?"},                                 // U+0081: unassigned in the code page
      {"\xE6\x97\xA5\xE6\x9C\xAC", "??"},                // CJK: outside the code page
      {"\xF0\x9F\x93\xB7", "?"},                         // a 4-byte character is one "?"
      {"a\xC3", "a?"},                                   // truncated sequence
      {"\xC3(", "?("},                                   // bad continuation byte
      {"\xC0\xAF", "??"},                                // overlong form
      {"\xED\xA0\x80", "???"},                           // encoded surrogate
      {"\xFF", "?"},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8ToWindows1252(c.utf8), c.ansi) << c.utf8;
}

TEST(OleTextEncoding, Utf8ToUtf16) {
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
  for (const Case& c : cases) EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
}

}  // namespace
}  // namespace corvid::oledocs
