#include "jet/reader/rc4.h"

#include <utility>

namespace corvid::jet {

Rc4::Rc4(std::span<const std::uint8_t> key) {
  for (int i = 0; i < 256; ++i) state_[i] = static_cast<std::uint8_t>(i);
  if (key.empty()) return;
  std::uint8_t j = 0;
  for (std::size_t i = 0; i < 256; ++i) {
    j = static_cast<std::uint8_t>(j + state_[i] + key[i % key.size()]);
    std::swap(state_[i], state_[j]);
  }
}

void Rc4::Apply(std::span<std::byte> data) {
  for (std::byte& b : data) {
    x_ = static_cast<std::uint8_t>(x_ + 1);
    y_ = static_cast<std::uint8_t>(y_ + state_[x_]);
    std::swap(state_[x_], state_[y_]);
    b ^= std::byte{state_[static_cast<std::uint8_t>(state_[x_] + state_[y_])]};
  }
}

}  // namespace corvid::jet
