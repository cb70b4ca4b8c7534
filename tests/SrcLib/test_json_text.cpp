#include "SrcLib/json_text.h"

#include <gtest/gtest.h>

#include <string>

namespace corvid {
namespace {

std::string Json(std::string_view text) {
  std::string out = "x";
  AppendJsonString(out, text);
  return out.substr(1);
}

TEST(JsonText, EscapesWhatJsonRequiresAndKeepsTheRest) {
  const std::pair<std::string, std::string> cases[] = {
      {"", R"("")"},
      {"Photos", R"("Photos")"},
      {R"(say "cheese")", R"("say \"cheese\"")"},
      {R"(C:\data\x)", R"("C:\\data\\x")"},
      {"a\nb\rc\td", R"("a\nb\rc\td")"},
      {std::string("\x01\x1f\x7f", 3), "\"\\u0001\\u001f\x7f\""},  // DEL needs no escape
      {std::string("nul\0byte", 8), R"("nul\u0000byte")"},
      {"Umsätze Größe 写真 😀", "\"Umsätze Größe 写真 😀\""},  // UTF-8 kept as it is
      {"/slash", R"("/slash")"},
      {"bad \xff byte", R"("bad \ufffd byte")"},  // not UTF-8: replaced
      {"cut \xc3", R"("cut \ufffd")"},
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(Json(text), json) << text;
}

}  // namespace
}  // namespace corvid
