// Page 0: the database definition page, with its masked block (an RC4
// keystream with a fixed key) holding the code page, the database key, the
// database password and, in Jet 4, the sort order and creation date.
#pragma once

#include <array>
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
  std::uint16_t sortOrder = kSortOrderGeneral;
  std::uint16_t codePage = 1252;
};

// Builds page 0; throws WriterError when the password is too long or (Jet 3)
// has characters outside Windows-1252.
std::vector<std::byte> BuildHeaderPage(const JetConstants& jet, const HeaderFields& fields);

// Removes the header mask of a page-0 image, in place; applied to an
// unmasked image, puts the mask back. The image needs the bytes up to the
// end of the masked block, not the whole page.
void UnmaskHeader(const JetConstants& jet, std::span<std::byte> page0);

// Writes the password field of an unmasked page-0 image: `encoded` (UCS-2 in
// Jet 4, Windows-1252 in Jet 3; at most jet.passwordLength bytes, the rest is
// zero-filled), masked with the image's creation date in Jet 4.
void PutHeaderPassword(const JetConstants& jet, std::span<std::byte> page0,
                       std::span<const std::byte> encoded);

// The password of an unmasked page-0 image as UTF-8, empty when there is
// none. Jet 4 stores UTF-16; Jet 3 Windows-1252 (bytes the code page leaves
// unassigned come back as they are).
std::string GetHeaderPassword(const JetConstants& jet, std::span<const std::byte> page0);

// The password stored in a (masked) page-0 image, decoded the way Access
// reads it (UTF-8; empty when there is none).
std::string ReadHeaderPassword(const JetConstants& jet, std::span<const std::byte> page0);

}  // namespace corvid::jet
