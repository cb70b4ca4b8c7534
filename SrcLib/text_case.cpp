#include "SrcLib/text_case.h"

#include <algorithm>

namespace corvid {
namespace {

// Folds the byte at `i`. A Latin-1 capital is the two-byte sequence C3 80..C3 9E
// (C3 97 is the multiplication sign); its small letter has the second byte
// raised by 0x20. C3 is always a lead byte in UTF-8, so looking one byte back
// is enough.
inline unsigned char FoldAt(std::string_view text, std::size_t i) {
  const auto c = static_cast<unsigned char>(text[i]);
  if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 0x20);
  if (c >= 0x80 && c <= 0x9E && c != 0x97 && i > 0 &&
      static_cast<unsigned char>(text[i - 1]) == 0xC3)
    return static_cast<unsigned char>(c + 0x20);
  return c;
}

}  // namespace

std::string LowerCase(std::string_view text) {
  std::string result(text.size(), '\0');
  for (std::size_t i = 0; i < text.size(); ++i) result[i] = static_cast<char>(FoldAt(text, i));
  return result;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (FoldAt(a, i) != FoldAt(b, i)) return false;
  return true;
}

int CompareText(std::string_view a, std::string_view b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const int ca = FoldAt(a, i);
    const int cb = FoldAt(b, i);
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

}  // namespace corvid
