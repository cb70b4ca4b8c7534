#include "jet/rc4.h"

#include <array>
#include <utility>

namespace corvid::jet {

void ApplyRc4(std::span<const std::uint8_t> key, std::span<std::byte> data) {
  std::array<std::uint8_t, 256> s{};
  for (int i = 0; i < 256; ++i) s[i] = static_cast<std::uint8_t>(i);
  std::uint8_t j = 0;
  for (int i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + s[i] + key[i % key.size()]);
    std::swap(s[i], s[j]);
  }
  std::uint8_t x = 0, y = 0;
  for (auto& b : data) {
    x = static_cast<std::uint8_t>(x + 1);
    y = static_cast<std::uint8_t>(y + s[x]);
    std::swap(s[x], s[y]);
    b ^= static_cast<std::byte>(s[static_cast<std::uint8_t>(s[x] + s[y])]);
  }
}

}  // namespace corvid::jet
