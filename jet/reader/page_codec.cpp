#include "jet/reader/page_codec.h"

#include <array>

#include "jet/rc4.h"

namespace corvid::jet::reader {

void DatabaseKeyCodec::Decode(std::uint32_t number, std::span<std::byte> page) const {
  const std::uint32_t k = key_ ^ number;
  const std::array<std::uint8_t, 4> key{
      static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k >> 8),
      static_cast<std::uint8_t>(k >> 16), static_cast<std::uint8_t>(k >> 24)};
  ApplyRc4(key, page);
}

}  // namespace corvid::jet::reader
