#include "SrcLib/FastStrings.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace corvid {
namespace {

// The plain definition: leftmost occurrence, replaced, search resumes after it.
std::string ReferenceReplace(const std::string& search, const std::string& replacement,
                             const std::string& text) {
  if (search.empty() || search == replacement) return text;
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text.compare(i, search.size(), search) == 0) {
      out += replacement;
      i += search.size();
    } else {
      out += text[i++];
    }
  }
  return out;
}

TEST(ReplaceEach, SinglePassCases) {
  struct Case {
    std::string search, replacement, text, expected;
  };
  const Case cases[] = {
      {"__", "_", "a___b", "a__b"},  // one pass leaves a new pair behind
      {"__", "_", "____", "__"},
      {"_-_", "-", "a_-_b", "a-b"},
      {"ab", "abab", "abab", "abababab"},  // replacements are not searched again
      {"aa", "a", "aaaaa", "aaa"},
      {"x", "", "axbxc", "abc"},
      {"abc", "X", "ab", "ab"},
      {"same", "same", "same same", "same same"},
      {"", "X", "text", "text"},
      {"a", "b", "", ""},
      {std::string("\0\xFF", 2), "!", std::string("a\0\xFF\0\xFF", 5), "a!!"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ReplaceEach(c.search, c.replacement, c.text), c.expected)
        << c.search << " -> " << c.replacement << " in " << c.text;
}

TEST(ReplaceEach, AgreesWithThePlainDefinitionOnRandomTexts) {
  std::mt19937 random(12345);
  auto randomText = [&](std::size_t maxLength) {
    std::string s(random() % (maxLength + 1), ' ');
    for (char& c : s) c = "ab_-"[random() % 4];
    return s;
  };
  for (int round = 0; round < 20000; ++round) {
    const std::string search = randomText(4);
    const std::string replacement = randomText(3);
    const std::string text = randomText(40);
    ASSERT_EQ(ReplaceEach(search, replacement, text), ReferenceReplace(search, replacement, text))
        << "'" << search << "' -> '" << replacement << "' in '" << text << "'";
  }
}

TEST(HorspoolSearcher, FindsFirstOccurrenceFromOffset) {
  const HorspoolSearcher searcher("abcab");
  EXPECT_EQ(searcher.Find("xxabcabcab"), 2u);
  EXPECT_EQ(searcher.Find("xxabcabcab", 3), 5u);
  EXPECT_EQ(searcher.Find("xxabcabcab", 6), HorspoolSearcher::npos);
  EXPECT_EQ(searcher.Find("abca"), HorspoolSearcher::npos);
  EXPECT_EQ(searcher.Find("abcab", 99), HorspoolSearcher::npos);
}

}  // namespace
}  // namespace corvid
