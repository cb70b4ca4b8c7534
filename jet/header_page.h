// Page 0: the database definition page, with its masked block (an RC4
// keystream with a fixed key) holding the code page, the database key, the
// database password and, in Jet 4, the sort order and creation date.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/jet_format.h"

namespace corvid::jet {

struct HeaderFields {
  std::string password;     // UTF-8
  double creationDate = 0;  // days since 1899-12-30 (Jet 4)
  std::uint16_t sortOrder = 0x409;
  std::uint16_t codePage = 1252;
};

// Builds page 0; throws WriterError when the password is too long or (Jet 3)
// has characters outside Windows-1252.
std::vector<std::byte> BuildHeaderPage(const JetConstants& jet, const HeaderFields& fields);

// RC4 with the given key, applied in place (encrypts and decrypts).
void ApplyRc4(std::span<const std::uint8_t> key, std::span<std::byte> data);

// Removes the header mask of a page-0 image, in place.
void UnmaskHeader(const JetConstants& jet, std::span<std::byte> page0);

// The password stored in a page-0 image, decoded the way Access reads it
// (UTF-8; empty when there is none).
std::string ReadHeaderPassword(const JetConstants& jet, std::span<const std::byte> page0);

}  // namespace corvid::jet
