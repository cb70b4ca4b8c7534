// The byte-pattern search of blob recognition.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvid {

// Searches `buffer` for the first occurrence of `pattern`, trying the start
// offsets 0, 1, ... up to and including limit - (L - 1), where L is the
// pattern's length and a limit of 0 stands for the buffer's last index. Only
// bytes inside the buffer are compared. On success sets `position` to the
// 1-based offset of the match and returns true; otherwise returns false
// (position is then 0 and meaningless). An empty pattern is never found.
bool FindBytes(std::span<const std::byte> pattern, std::span<const std::byte> buffer,
               std::int64_t& position, std::int64_t limit);

// The same search and result as FindBytes, for a buffer whose bytes from
// offset `filled` on are all known to be zero: matches that would need a
// non-zero pattern byte in that zero tail are ruled out without scanning it.
bool FindBytesZeroTail(std::span<const std::byte> pattern, std::span<const std::byte> buffer,
                       std::size_t filled, std::int64_t& position, std::int64_t limit);

}  // namespace corvid
