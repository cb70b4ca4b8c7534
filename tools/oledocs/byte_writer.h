// Appends integers and byte strings to a byte vector, in either byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace corvid::oledocs {

class ByteWriter {
 public:
  enum class Order { Little, Big };

  explicit ByteWriter(std::vector<std::byte>& out, Order order = Order::Little)
      : out_(out), order_(order) {}

  ByteWriter& U8(std::uint8_t value) {
    out_.push_back(static_cast<std::byte>(value));
    return *this;
  }
  ByteWriter& U16(std::uint16_t value) { return Unsigned(value, 2); }
  ByteWriter& U32(std::uint32_t value) { return Unsigned(value, 4); }
  ByteWriter& U64(std::uint64_t value) { return Unsigned(value, 8); }
  ByteWriter& I16(std::int16_t value) { return U16(static_cast<std::uint16_t>(value)); }
  ByteWriter& I32(std::int32_t value) { return U32(static_cast<std::uint32_t>(value)); }

  ByteWriter& Text(std::string_view text) {
    for (char c : text) out_.push_back(static_cast<std::byte>(c));
    return *this;
  }
  // The text and a terminating zero byte.
  ByteWriter& TextZ(std::string_view text) { return Text(text).U8(0); }
  ByteWriter& Raw(std::span<const std::byte> bytes) {
    out_.insert(out_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  ByteWriter& Zeros(std::size_t count) {
    out_.insert(out_.end(), count, std::byte{0});
    return *this;
  }

  std::size_t Size() const { return out_.size(); }

  // Overwrites an integer written earlier (e.g. a length known only later).
  void PatchU16(std::size_t offset, std::uint16_t value) { Patch(offset, value, 2); }
  void PatchU32(std::size_t offset, std::uint32_t value) { Patch(offset, value, 4); }

 private:
  ByteWriter& Unsigned(std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = order_ == Order::Little ? 8 * i : 8 * (bytes - 1 - i);
      out_.push_back(static_cast<std::byte>((value >> shift) & 0xFF));
    }
    return *this;
  }
  void Patch(std::size_t offset, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = order_ == Order::Little ? 8 * i : 8 * (bytes - 1 - i);
      out_.at(offset + i) = static_cast<std::byte>((value >> shift) & 0xFF);
    }
  }

  std::vector<std::byte>& out_;
  Order order_;
};

// Little-endian reads from a byte span; the caller checks the bounds.
inline std::uint16_t ReadU16(std::span<const std::byte> bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(std::to_integer<unsigned>(bytes[offset]) |
                                    std::to_integer<unsigned>(bytes[offset + 1]) << 8);
}
inline std::uint32_t ReadU32(std::span<const std::byte> bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(ReadU16(bytes, offset)) |
         static_cast<std::uint32_t>(ReadU16(bytes, offset + 2)) << 16;
}

}  // namespace corvid::oledocs
