// Fast byte-string search and one-pass replacement (Boyer-Moore-Horspool).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace corvid {

// A Horspool searcher for one pattern: a 256-entry skip table, candidates
// compared from the pattern's last byte backwards. Case-sensitive.
class HorspoolSearcher {
 public:
  explicit HorspoolSearcher(std::string_view pattern);

  // Offset of the first occurrence at or after `from`, or npos.
  std::size_t Find(std::string_view text, std::size_t from = 0) const;

  static constexpr std::size_t npos = std::string_view::npos;

 private:
  std::string pattern_;
  std::array<std::size_t, 256> skip_{};
};

// Replaces every occurrence of `search` in `text` by `replacement` in a single
// left-to-right pass: the search goes on right after each inserted
// replacement, so replacements are never examined again. Returns the text
// unchanged when `search` equals `replacement` or is empty.
std::string ReplaceEach(std::string_view search, std::string_view replacement, std::string text);

}  // namespace corvid
