#include "SrcLib/file_names.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace corvid {
namespace {

TEST(TrimToWordChars, Cases) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"  *Test* ", "Test"},
      {"100 - 200", "100 - 200"},
      {"--x--y--", "x--y"},
      {"*", ""},
      {" - ", ""},
      {"", ""},
      {"\t\r\n\x01", ""},
      {"caf\xC3\xA9!", "caf\xC3\xA9"},  // a UTF-8 letter at the end stays whole
      {"\xC2\xBF"
       "Qu\xC3\xA9?",
       "\xC2\xBF"
       "Qu\xC3\xA9"},  // every byte 80..FF is a word byte
      {"\xA0x\xA0", "\xA0x\xA0"},
      {"(a b)", "a b"},
  };
  for (const Case& c : cases) EXPECT_EQ(TrimToWordChars(c.in), c.out) << c.in;
}

TEST(NthNumber, Cases) {
  struct Case {
    std::string text;
    int n;
    std::int64_t expected;
  };
  const Case cases[] = {
      {"100 - 200", 1, 100},
      {"100 - 200", 2, 200},
      {"100 - 200", 3, -1},
      {"100", 1, 100},
      {"100", 2, -1},
      {"-5", 1, 5},  // a sign is not part of the number
      {"id12", 1, 12},
      {"test", 1, -1},
      {"", 1, -1},
      {"a1b22c333", 3, 333},
      {"007", 1, 7},
      {"1 2", 0, -1},
      {"1 2", 2147483647, -1},  // stops once the text is used up
      {"9223372036854775807", 1, INT64_MAX},
      {"9223372036854775808", 1, -1},  // does not fit 64 bits
      {"99999999999999999999999", 1, -1},
      {"4294967396", 1, 4294967396},
  };
  for (const Case& c : cases)
    EXPECT_EQ(NthNumber(c.text, c.n), c.expected) << c.text << " n=" << c.n;
}

TEST(CleanFileName, Cases) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"", ""},
      {"Smith, John-1", "Smith_John-1"},
      {"a.b/c:d", "a_b_c-d"},
      {" x ", "x"},
      {"___", "_"},
      {"a___b", "a__b"},  // a single pass of each replacement
      {"...", "_"},
      {"a!(b)c-d_e", "a!(b)c-d_e"},
      {"a--b", "a-b"},
      {"a_-_b", "a-b"},
      {"a-_b", "a-b"},
      {"a_-b", "a_b"},
      {"C:\\img\\x", "C-img_x"},
      {"\t a\x01"
       "b",
       "a_b"},
      {"\xC5sa \xD6"
       "berg",
       "Asa_Oberg"},  // Windows-1252
      {"\xC3\x85sa \xC3\x96"
       "berg",
       "Asa_Oberg"},                   // UTF-8
      {" \xC3\xA9t\xC3\xA9 ", "ete"},  // trimmed after decoding
      {"\xC5\x81\xC3\xB3"
       "d\xC5\xBA",
       "od"},                          // letters outside Windows-1252 become "?"
      {"\xC3\xA9\xE2\x82\xAC", "eC"},  // euro sign: 80, read as in code page 850
      {"\xC3", "_"},                   // broken UTF-8
      {"\xC3(", "("},
      {"\xE6\x97\xA5", "au"},  // no C2/C3 byte: bytes mapped one by one
      {"\x80\x82\x87\x8E\x90\x93\x96\x98\x99\x9A", "CecAEouyOU"},
      {"\xC0\xC7\xC8\xCC\xD0\xD1\xD2\xD9\xDD\xDE\xDF", "ACEIDNOUY"},
      {"\xE0\xE7\xE8\xEC\xF0\xF1\xF2\xF9\xFD\xFE\xFF", "aceidnouy_y"},
      {std::string("a\0b", 3), "a_b"},
  };
  for (const Case& c : cases) EXPECT_EQ(CleanFileName(c.in), c.out) << c.in;
}

TEST(CleanFileName, AnyTextGivesASafeNonEmptyName) {
  std::mt19937 random(99);
  for (int round = 0; round < 20000; ++round) {
    std::string text(1 + random() % 24, ' ');
    for (char& c : text) {
      // Mix separators, dots, C2/C3 leads and arbitrary bytes.
      const unsigned pick = random() % 6;
      c = pick == 0   ? "./\\:"[random() % 4]
          : pick == 1 ? "\xC2\xC3"[random() % 2]
                      : static_cast<char>(random() % 256);
    }
    const std::string clean = CleanFileName(text);
    ASSERT_FALSE(clean.empty());
    for (char c : clean)
      ASSERT_NE(
          std::string_view("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz!()-_")
              .find(c),
          std::string_view::npos)
          << "byte " << int(static_cast<unsigned char>(c)) << " in " << clean;
  }
}

TEST(BaseNameWithoutExt, NamesFromTheDatabase) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"C:\\img\\Photo 1.JPG", "Photo 1"},
      {"/srv/pics/a.b/c", "c"},
      {"x.tar.gz", "x.tar"},
      {"a:b.c", "b"},
      {".hidden", ""},
      {"noext", "noext"},
      {"dir\\", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(BaseNameWithoutExt(c.in), c.out) << c.in;
}

TEST(ExtensionOf, DotMustFollowTheLastSeparator) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"C:\\img\\Photo 1.JPG", ".JPG"},
      {"a.b/c", ""},
      {"a.b\\c", ""},
      {"a.b:c", ""},
      {"x.", "."},
      {"x", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExtensionOf(c.in), c.out) << c.in;
}

TEST(PadLeftWith, Cases) {
  EXPECT_EQ(PadLeftWith("2", 4, '0'), "0002");
  EXPECT_EQ(PadLeftWith("12345", 4, '0'), "12345");
  EXPECT_EQ(PadLeftWith("1234", 4, '0'), "1234");
  EXPECT_EQ(PadLeftWith("", 2, 'x'), "xx");
}

}  // namespace
}  // namespace corvid
