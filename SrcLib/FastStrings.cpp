#include "SrcLib/FastStrings.h"

namespace corvid {

HorspoolSearcher::HorspoolSearcher(std::string_view pattern) : pattern_(pattern) {
  skip_.fill(pattern_.size());
  if (pattern_.empty()) return;
  for (std::size_t i = 0; i + 1 < pattern_.size(); ++i)
    skip_[static_cast<unsigned char>(pattern_[i])] = pattern_.size() - 1 - i;
}

std::size_t HorspoolSearcher::Find(std::string_view text, std::size_t from) const {
  const std::size_t length = pattern_.size();
  if (length == 0 || from > text.size() || text.size() - from < length) return npos;
  const std::size_t last = length - 1;
  std::size_t position = from;
  while (position + length <= text.size()) {
    std::size_t k = last;
    while (text[position + k] == pattern_[k]) {
      if (k == 0) return position;
      --k;
    }
    position += skip_[static_cast<unsigned char>(text[position + last])];
  }
  return npos;
}

std::string ReplaceEach(std::string_view search, std::string_view replacement, std::string text) {
  if (search.empty() || search == replacement) return text;
  const HorspoolSearcher searcher(search);
  std::size_t found = searcher.Find(text, 0);
  if (found == HorspoolSearcher::npos) return text;
  std::string result;
  result.reserve(text.size());
  std::size_t copied = 0;
  while (found != HorspoolSearcher::npos) {
    result.append(text, copied, found - copied);
    result.append(replacement);
    copied = found + search.size();
    found = searcher.Find(text, copied);
  }
  result.append(text, copied, std::string::npos);
  return result;
}

}  // namespace corvid
