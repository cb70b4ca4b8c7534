#pragma once
// Little-endian reads from an untrusted byte span. Every read is checked
// against the span; one that would run past its end throws OleStructureError
// naming the structure being read and the offset.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "engine/ole_structure_error.h"

namespace corvid {

class ByteCursor {
public:
    ByteCursor(std::span<const std::byte> bytes, std::string_view what)
        : bytes_(bytes), what_(what) {}

    std::size_t Offset() const { return offset_; }
    std::size_t Remaining() const { return bytes_.size() - offset_; }
    std::span<const std::byte> Rest() const { return bytes_.subspan(offset_); }

    std::uint16_t U16() {
        const auto b = Take(2, "a 16-bit value");
        return static_cast<std::uint16_t>(Byte(b, 0) | Byte(b, 1) << 8);
    }
    std::uint32_t U32() {
        const auto b = Take(4, "a 32-bit value");
        return Byte(b, 0) | Byte(b, 1) << 8 | Byte(b, 2) << 16 |
               static_cast<std::uint32_t>(Byte(b, 3)) << 24;
    }
    // `count` bytes; `item` names them in the error.
    std::span<const std::byte> Take(std::size_t count, std::string_view item) {
        if (count > Remaining())
            Fail(std::string(item) + " of " + std::to_string(count) + " bytes runs past the end (" +
                 std::to_string(Remaining()) + " left)");
        const auto out = bytes_.subspan(offset_, count);
        offset_ += count;
        return out;
    }
    // A zero-terminated text; the cursor ends after the zero.
    std::string TextZ(std::string_view item) {
        for (std::size_t i = offset_; i < bytes_.size(); ++i) {
            if (bytes_[i] == std::byte{0}) {
                std::string text(reinterpret_cast<const char*>(bytes_.data() + offset_),
                                 i - offset_);
                offset_ = i + 1;
                return text;
            }
        }
        Fail(std::string(item) + " has no terminating zero");
    }
    // A 32-bit length and that many bytes holding a zero-terminated text (the
    // text ends at its first zero; a length of 0 is the empty text).
    std::string LengthText(std::string_view item) {
        const std::uint32_t length = U32();
        const auto bytes = Take(length, item);
        std::size_t end = 0;
        while (end < bytes.size() && bytes[end] != std::byte{0}) ++end;
        return std::string(reinterpret_cast<const char*>(bytes.data()), end);
    }

    [[noreturn]] void Fail(const std::string& problem) const {
        throw OleStructureError(std::string(what_) + ": " + problem + " at offset " +
                                std::to_string(offset_));
    }

private:
    static std::uint32_t Byte(std::span<const std::byte> b, std::size_t i) {
        return std::to_integer<std::uint32_t>(b[i]);
    }

    std::span<const std::byte> bytes_;
    std::string_view what_;
    std::size_t offset_ = 0;
};

}  // namespace corvid
