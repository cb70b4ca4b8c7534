#include "jet/reader/header_page.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "jet/reader/checked_bytes.h"
#include "jet/reader/encryption_info.h"
#include "jet/reader/errors.h"
#include "jet/rc4.h"

namespace corvid::jet::reader {

void UnmaskHeaderBlock(std::span<std::byte> block) { ApplyRc4(kHeaderMaskKey, block); }

HeaderPage ParseHeaderPage(std::span<const std::byte> firstBytes) {
  constexpr std::size_t kNeeded = kHeaderMaskedEnd;
  if (firstBytes.size() < kNeeded) throw FormatError("the file is too short for a database header");
  const auto* raw = reinterpret_cast<const char*>(firstBytes.data());
  const char* engine = raw + kHeaderEngineNameOffset;
  if (std::memcmp(raw, kHeaderMagic.data(), kHeaderMagic.size()) != 0 ||
      (std::memcmp(engine, kEngineNameJet, kEngineNameLength) != 0 &&
       std::memcmp(engine, kEngineNameAce, kEngineNameLength) != 0))
    throw FormatError("the file is not a Jet or ACE database");

  HeaderPage header;
  header.versionByte = static_cast<std::uint8_t>(firstBytes[kHeaderVersionOffset]);
  if (header.versionByte > kLastKnownVersionByte)
    throw FormatError("unknown database version byte " + std::to_string(header.versionByte));
  const JetConstants& format = ConstantsForVersionByte(header.versionByte);
  header.version = format.format;
  header.pageSize = format.pageSize;

  std::vector<std::byte> block(firstBytes.begin(), firstBytes.begin() + kNeeded);
  UnmaskHeaderBlock(std::span(block).subspan(kHeaderMaskedStart, format.maskedHeaderLength));
  header.codePage = Read16(block, kHeaderCodePageOffset);
  header.databaseKey = Read32(block, kHeaderDatabaseKeyOffset);
  header.sortOrder = ReadSized(block, format.sortOrderOffset, format.sortOrderSize);
  if (header.version == JetFormat::Ace2007 && header.databaseKey != 0) {
    header.officeEncrypted = true;
    header.encryption =
        DescribeEncryption(firstBytes.first(std::min(firstBytes.size(), header.pageSize)));
  }

  if (header.version == JetFormat::Jet3) {
    for (std::size_t i = 0;
         i < format.passwordLength && block[kHeaderPasswordOffset + i] != std::byte{0}; ++i)
      header.password.push_back(block[kHeaderPasswordOffset + i]);
  } else {
    // The password is masked once more with the creation date's whole days.
    std::memcpy(&header.creationDate, block.data() + kHeaderCreationDateOffset,
                sizeof header.creationDate);
    const auto mask = PasswordDateMask(header.creationDate);
    for (std::size_t i = 0; i + 1 < format.passwordLength; i += 2) {
      const auto lo = block[kHeaderPasswordOffset + i] ^ std::byte{mask[i % mask.size()]};
      const auto hi = block[kHeaderPasswordOffset + i + 1] ^ std::byte{mask[(i + 1) % mask.size()]};
      if (lo == std::byte{0} && hi == std::byte{0}) break;
      header.password.push_back(lo);
      header.password.push_back(hi);
    }
  }
  return header;
}

}  // namespace corvid::jet::reader
