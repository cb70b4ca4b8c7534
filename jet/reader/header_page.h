// Page 0 of a database: which version wrote it, the page size, and the
// block masked with a fixed RC4 key (code page, collating order, the
// database key that encodes pages, the database password).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "jet/jet_format.h"

namespace corvid::jet::reader {

struct HeaderPage {
  JetFormat version = JetFormat::Jet4;
  std::uint8_t versionByte = 0;  // 0 Jet 3, 1 Jet 4, 2 and later ACE
  std::size_t pageSize = kJet4.pageSize;
  std::uint16_t codePage = 0;
  std::uint32_t sortOrder = 0;
  std::uint32_t databaseKey = 0;  // 0: pages are stored clear
  double creationDate = 0;        // Jet 4 and later
  // The stored password with every mask removed: Jet 3 code-page bytes,
  // Jet 4 / ACE UTF-16LE units; cut at the first zero character.
  std::vector<std::byte> password;
  // An ACE file whose database key is set is encrypted with Office
  // encryption (a password is needed to read it); `encryption` names the
  // scheme, e.g. "agile encryption (version 4.4, ...)". No password is needed
  // to learn this.
  bool officeEncrypted = false;
  std::string encryption;
};

// The first bytes of the file (at least 0x98 of them are needed; more up
// to a page are used: the encryption information lies at 0x299). Throws FormatError when they are
// not a Jet or ACE header or name a version the reader does not know.
HeaderPage ParseHeaderPage(std::span<const std::byte> firstBytes);

// The fixed key of the masked header block.
void UnmaskHeaderBlock(std::span<std::byte> block);
}  // namespace corvid::jet::reader
