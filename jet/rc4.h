// RC4, the stream cipher Jet masks its header page with (and, with a key
// derived from the database key, the pages of an encoded file).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvid::jet {

// XORs `data` with the RC4 keystream of `key`, in place; the same call
// masks and unmasks. `key` must not be empty.
void ApplyRc4(std::span<const std::uint8_t> key, std::span<std::byte> data);

}  // namespace corvid::jet
