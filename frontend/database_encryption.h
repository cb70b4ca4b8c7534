#pragma once
// Whether a database file is Office-encrypted, judged from its first bytes
// by the Jet reader's header page (the one place that knows the format).
// The raw run refuses such files: it would carve ciphertext.

#include <cstddef>
#include <span>

namespace corvid {

// False for anything that is no Jet or ACE header.
bool IsEncryptedDatabase(std::span<const std::byte> firstBytes);

}  // namespace corvid
