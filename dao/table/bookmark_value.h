#pragma once
// The table's bookmark value: the first four bytes of an engine bookmark,
// little-endian, as the record buffers keep it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvid {

inline std::int32_t BookmarkValueOf(std::span<const std::byte> bytes) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4 && i < bytes.size(); ++i)
    value |= std::to_integer<std::uint32_t>(bytes[i]) << (8 * i);
  return static_cast<std::int32_t>(value);
}

inline std::vector<std::byte> BookmarkBytes(std::int32_t value) {
  const auto u = static_cast<std::uint32_t>(value);
  return {static_cast<std::byte>(u & 0xFF), static_cast<std::byte>((u >> 8) & 0xFF),
          static_cast<std::byte>((u >> 16) & 0xFF), static_cast<std::byte>((u >> 24) & 0xFF)};
}

}  // namespace corvid
