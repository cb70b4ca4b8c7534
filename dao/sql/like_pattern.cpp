#include "dao/sql/like_pattern.h"

#include <stdexcept>

#include "SrcLib/text_case.h"

namespace corvid::dao::sql {
namespace {

// UTF-8 to code points; a byte that starts no valid sequence stands for itself.
std::u32string Decode(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    auto b = static_cast<unsigned char>(text[i]);
    int extra = b < 0x80             ? 0
                : (b & 0xE0) == 0xC0 ? 1
                : (b & 0xF0) == 0xE0 ? 2
                : (b & 0xF8) == 0xF0 ? 3
                                     : -1;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    bool ok = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
    for (int k = 1; ok && k <= extra; ++k) {
      auto next = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
      if ((next & 0xC0) != 0x80) ok = false;
      c = (c << 6) | (next & 0x3F);
    }
    if (!ok) {
      out.push_back(b);
      ++i;
    } else {
      out.push_back(c);
      i += static_cast<std::size_t>(extra) + 1;
    }
  }
  return out;
}

}  // namespace

LikePattern::LikePattern(std::string_view pattern) {
  std::u32string p = Decode(LowerCase(pattern));
  for (std::size_t i = 0; i < p.size(); ++i) {
    Element e;
    e.kind = Element::kLiteral;
    switch (p[i]) {
      case U'*':
        e.kind = Element::kAny;
        if (!elements_.empty() && elements_.back().kind == Element::kAny) continue;
        break;
      case U'?':
        e.kind = Element::kOne;
        break;
      case U'#':
        e.kind = Element::kDigit;
        break;
      case U'[': {
        std::size_t close = p.find(U']', i + 1);
        if (close == std::u32string::npos) throw std::invalid_argument("invalid pattern string");
        std::u32string body = p.substr(i + 1, close - i - 1);
        i = close;
        // "[!]" is the exclamation mark itself; "[]" matches nothing at all.
        if (body.empty()) continue;
        std::size_t k = 0;
        e.kind = Element::kSet;
        if (body.size() > 1 && body[0] == U'!') {
          e.negated = true;
          k = 1;
        }
        for (; k < body.size(); ++k) {
          if (k + 2 < body.size() && body[k + 1] == U'-') {
            if (body[k] > body[k + 2]) throw std::invalid_argument("invalid pattern string");
            e.ranges.emplace_back(body[k], body[k + 2]);
            k += 2;
          } else {
            e.ranges.emplace_back(body[k], body[k]);
          }
        }
        break;
      }
      default:
        e.literal = p[i];
    }
    elements_.push_back(std::move(e));
  }
}

bool LikePattern::Accepts(const Element& e, char32_t c) const {
  switch (e.kind) {
    case Element::kLiteral:
      return c == e.literal;
    case Element::kOne:
      return true;
    case Element::kDigit:
      return c >= U'0' && c <= U'9';
    case Element::kSet: {
      bool in = false;
      for (auto [low, high] : e.ranges)
        if (c >= low && c <= high) in = true;
      return in != e.negated;
    }
    case Element::kAny:
      break;
  }
  return false;
}

bool LikePattern::Matches(std::string_view text) const {
  std::u32string s = Decode(LowerCase(text));
  // Greedy match with backtracking to the last "*" only: enough because a
  // "*" can absorb whatever a later one would.
  std::size_t si = 0, pi = 0;
  std::size_t starP = std::string::npos, starS = 0;
  while (si < s.size()) {
    if (pi < elements_.size() && elements_[pi].kind == Element::kAny) {
      starP = pi++;
      starS = si;
    } else if (pi < elements_.size() && Accepts(elements_[pi], s[si])) {
      ++pi;
      ++si;
    } else if (starP != std::string::npos) {
      pi = starP + 1;
      si = ++starS;
    } else {
      return false;
    }
  }
  while (pi < elements_.size() && elements_[pi].kind == Element::kAny) ++pi;
  return pi == elements_.size();
}

}  // namespace corvid::dao::sql
