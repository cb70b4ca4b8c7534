#include "jet/reader/value.h"

#include <algorithm>
#include <cstdio>

namespace corvid::jet::reader {

std::string Guid::Text() const {
  char text[40];
  std::snprintf(text, sizeof text,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", bytes[3],
                bytes[2], bytes[1], bytes[0], bytes[5], bytes[4], bytes[7], bytes[6], bytes[8],
                bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
  return text;
}

std::string Decimal::Text() const {
  // Long division of the 128-bit magnitude by ten, digit by digit.
  std::array<std::uint32_t, 4> words{
      static_cast<std::uint32_t>(high >> 32), static_cast<std::uint32_t>(high),
      static_cast<std::uint32_t>(low >> 32), static_cast<std::uint32_t>(low)};
  std::string digits;
  while (std::any_of(words.begin(), words.end(), [](std::uint32_t w) { return w != 0; })) {
    std::uint64_t rest = 0;
    for (std::uint32_t& w : words) {
      const std::uint64_t cur = rest << 32 | w;
      w = static_cast<std::uint32_t>(cur / 10);
      rest = cur % 10;
    }
    digits.push_back(static_cast<char>('0' + rest));
  }
  while (digits.size() <= scale) digits.push_back('0');
  std::reverse(digits.begin(), digits.end());
  if (scale > 0) digits.insert(digits.end() - scale, '.');
  return negative ? "-" + digits : digits;
}

}  // namespace corvid::jet::reader
