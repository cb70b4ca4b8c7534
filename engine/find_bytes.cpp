#include "engine/find_bytes.h"

#include <algorithm>
#include <cstring>

namespace corvid {
namespace {

// How often a byte turns up in typical blob contents: zero padding and FF
// fill are everywhere, text bytes are frequent, the rest rare. The search
// scans for the pattern's rarest byte and verifies around each hit.
int Commonness(unsigned char c) {
    if (c == 0x00) return 4;
    if (c == 0xFF) return 3;
    if (c == ' ' || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return 2;
    if (c >= 0x21 && c <= 0x7E) return 1;
    return 0;
}

std::size_t AnchorIndex(const unsigned char* pattern, std::size_t length) {
    std::size_t best = 0;
    for (std::size_t i = 1; i < length; ++i)
        if (Commonness(pattern[i]) < Commonness(pattern[best])) best = i;
    return best;
}

}  // namespace

bool FindBytesZeroTail(std::span<const std::byte> pattern, std::span<const std::byte> buffer,
                       std::size_t filled, std::int64_t& position, std::int64_t limit) {
    position = 0;
    const auto length = static_cast<std::int64_t>(pattern.size());
    const auto size = static_cast<std::int64_t>(buffer.size());
    if (length == 0 || length > size) return false;
    const std::int64_t lastIndex = limit == 0 ? size - 1 : limit;
    std::int64_t lastStart = std::min(lastIndex - (length - 1), size - length);

    const auto* needle = reinterpret_cast<const unsigned char*>(pattern.data());
    const auto* haystack = reinterpret_cast<const unsigned char*>(buffer.data());

    // A start whose last non-zero pattern byte would fall into the zero tail
    // cannot match.
    std::int64_t lastNonZero = length - 1;
    while (lastNonZero >= 0 && needle[lastNonZero] == 0) --lastNonZero;
    if (lastNonZero >= 0) {
        const auto filledBytes = static_cast<std::int64_t>(std::min(filled, buffer.size()));
        lastStart = std::min(lastStart, filledBytes - 1 - lastNonZero);
    }
    if (lastStart < 0) return false;

    const std::size_t anchor = AnchorIndex(needle, pattern.size());
    const unsigned char value = needle[anchor];
    // Hits of the anchor come in increasing order of their start offsets, so the
    // first verified hit is the first occurrence.
    std::size_t from = anchor;
    const std::size_t end = static_cast<std::size_t>(lastStart) + anchor + 1;
    while (from < end) {
        const void* hit = std::memchr(haystack + from, value, end - from);
        if (hit == nullptr) return false;
        const std::size_t at = static_cast<const unsigned char*>(hit) - haystack;
        const std::size_t start = at - anchor;
        if (std::memcmp(haystack + start, needle, pattern.size()) == 0) {
            position = static_cast<std::int64_t>(start) + 1;
            return true;
        }
        from = at + 1;
    }
    return false;
}

bool FindBytes(std::span<const std::byte> pattern, std::span<const std::byte> buffer,
               std::int64_t& position, std::int64_t limit) {
    return FindBytesZeroTail(pattern, buffer, buffer.size(), position, limit);
}

}  // namespace corvid
