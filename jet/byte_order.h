// Little-endian stores into and loads from page buffers (every Jet integer is
// little-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace corvid::jet {

inline void Put8(std::span<std::byte> buffer, std::size_t offset, std::uint32_t value) {
  buffer[offset] = static_cast<std::byte>(value & 0xFF);
}
inline void Put16(std::span<std::byte> buffer, std::size_t offset, std::uint32_t value) {
  buffer[offset] = static_cast<std::byte>(value & 0xFF);
  buffer[offset + 1] = static_cast<std::byte>((value >> 8) & 0xFF);
}
inline void Put32(std::span<std::byte> buffer, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i)
    buffer[offset + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}
inline void Put64(std::span<std::byte> buffer, std::size_t offset, std::uint64_t value) {
  for (int i = 0; i < 8; ++i)
    buffer[offset + i] = static_cast<std::byte>((value >> (8 * i)) & 0xFF);
}
inline void PutDouble(std::span<std::byte> buffer, std::size_t offset, double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  Put64(buffer, offset, bits);
}
inline std::uint32_t Get16(std::span<const std::byte> buffer, std::size_t offset) {
  return std::to_integer<std::uint32_t>(buffer[offset]) |
         (std::to_integer<std::uint32_t>(buffer[offset + 1]) << 8);
}
inline std::uint32_t Get32(std::span<const std::byte> buffer, std::size_t offset) {
  return Get16(buffer, offset) | (Get16(buffer, offset + 2) << 16);
}
inline double GetDouble(std::span<const std::byte> buffer, std::size_t offset) {
  const std::uint64_t bits =
      Get32(buffer, offset) | (std::uint64_t{Get32(buffer, offset + 4)} << 32);
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// Appends to a growing byte vector.
class ByteAppender {
 public:
  explicit ByteAppender(std::vector<std::byte>& out) : out_(out) {}
  void U8(std::uint32_t v) { out_.push_back(static_cast<std::byte>(v & 0xFF)); }
  void U16(std::uint32_t v) {
    U8(v);
    U8(v >> 8);
  }
  void U32(std::uint32_t v) {
    U16(v);
    U16(v >> 16);
  }
  void U64(std::uint64_t v) {
    U32(static_cast<std::uint32_t>(v));
    U32(static_cast<std::uint32_t>(v >> 32));
  }
  void Bytes(std::span<const std::byte> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
  }
  void Zeros(std::size_t n) { out_.insert(out_.end(), n, std::byte{0}); }
  std::size_t Size() const { return out_.size(); }

 private:
  std::vector<std::byte>& out_;
};

}  // namespace corvid::jet
