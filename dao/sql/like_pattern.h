#pragma once
// Access LIKE patterns: "*" any run of characters, "?" one character, "#"
// one digit, "[abc]" / "[a-z]" one of a set, "[!abc]" one outside it; a
// pattern character in brackets ("[*]", "[?]", "[#]", "[[]", "[!]"...) stands
// for itself. Matching is case-insensitive and counts UTF-8 characters.

#include <string>
#include <string_view>
#include <vector>

namespace corvid::dao::sql {

class LikePattern {
 public:
  // Throws std::invalid_argument for a set that is never closed.
  explicit LikePattern(std::string_view pattern);
  bool Matches(std::string_view text) const;

 private:
  struct Element {
    enum Kind { kLiteral, kAny, kOne, kDigit, kSet } kind = kLiteral;
    char32_t literal = 0;
    bool negated = false;
    std::vector<std::pair<char32_t, char32_t>> ranges;
  };
  bool Accepts(const Element& element, char32_t c) const;
  std::vector<Element> elements_;
};

}  // namespace corvid::dao::sql
