// Little-endian reads that check every offset against the bytes they read
// from; a read outside them throws a DamageError (the caller adds where).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "jet/reader/errors.h"

namespace corvid::jet::reader {

using ByteSpan = std::span<const std::byte>;

[[noreturn]] inline void ThrowOutOfRange(std::size_t offset, std::size_t length, std::size_t size) {
  throw DamageError("bytes " + std::to_string(offset) + ".." + std::to_string(offset + length) +
                    " lie outside the " + std::to_string(size) + " available");
}

inline void CheckRange(ByteSpan bytes, std::size_t offset, std::size_t length) {
  if (offset > bytes.size() || length > bytes.size() - offset)
    ThrowOutOfRange(offset, length, bytes.size());
}

inline ByteSpan Slice(ByteSpan bytes, std::size_t offset, std::size_t length) {
  CheckRange(bytes, offset, length);
  return bytes.subspan(offset, length);
}

inline std::uint8_t Read8(ByteSpan bytes, std::size_t offset) {
  CheckRange(bytes, offset, 1);
  return static_cast<std::uint8_t>(bytes[offset]);
}

inline std::uint16_t Read16(ByteSpan bytes, std::size_t offset) {
  CheckRange(bytes, offset, 2);
  return static_cast<std::uint16_t>(static_cast<unsigned>(bytes[offset]) |
                                    static_cast<unsigned>(bytes[offset + 1]) << 8);
}

inline std::uint32_t Read32(ByteSpan bytes, std::size_t offset) {
  CheckRange(bytes, offset, 4);
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint32_t>(bytes[offset + i]);
  return v;
}

inline std::uint64_t Read64(ByteSpan bytes, std::size_t offset) {
  CheckRange(bytes, offset, 8);
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | static_cast<std::uint64_t>(bytes[offset + i]);
  return v;
}

// Reads 1, 2 or 4 bytes as an unsigned number.
inline std::uint32_t ReadSized(ByteSpan bytes, std::size_t offset, std::size_t size) {
  return size == 1   ? Read8(bytes, offset)
         : size == 2 ? Read16(bytes, offset)
                     : Read32(bytes, offset);
}

}  // namespace corvid::jet::reader
