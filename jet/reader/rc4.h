// RC4, the stream cipher Jet uses to mask the header block and to encode
// pages with the database key.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace corvid::jet {

class Rc4 {
 public:
  explicit Rc4(std::span<const std::uint8_t> key);
  // XORs the key stream into `data` (encoding and decoding are the same).
  void Apply(std::span<std::byte> data);

 private:
  std::array<std::uint8_t, 256> state_{};
  std::uint8_t x_ = 0, y_ = 0;
};

}  // namespace corvid::jet
