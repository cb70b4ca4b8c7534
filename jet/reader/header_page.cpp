#include "jet/reader/header_page.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "jet/reader/checked_bytes.h"
#include "jet/reader/encryption_info.h"
#include "jet/reader/errors.h"
#include "jet/rc4.h"

namespace corvid::jet::reader {

void UnmaskHeaderBlock(std::span<std::byte> block) {
  static constexpr std::array<std::uint8_t, 4> kKey{0xC7, 0xDA, 0x39, 0x6B};
  ApplyRc4(kKey, block);
}

HeaderPage ParseHeaderPage(std::span<const std::byte> firstBytes) {
  constexpr std::size_t kNeeded = kHeaderMaskedStart + 128;
  if (firstBytes.size() < kNeeded) throw FormatError("the file is too short for a database header");
  static constexpr char kJet[] = "Standard Jet DB";
  static constexpr char kAce[] = "Standard ACE DB";
  const auto* raw = reinterpret_cast<const char*>(firstBytes.data());
  if (raw[0] != 0 || raw[1] != 1 || raw[2] != 0 || raw[3] != 0 ||
      (std::memcmp(raw + 4, kJet, 15) != 0 && std::memcmp(raw + 4, kAce, 15) != 0))
    throw FormatError("the file is not a Jet or ACE database");

  HeaderPage header;
  header.versionByte = static_cast<std::uint8_t>(firstBytes[0x14]);
  if (header.versionByte == 0) {
    header.version = FileVersion::Jet3;
  } else if (header.versionByte == 1) {
    header.version = FileVersion::Jet4;
  } else if (header.versionByte <= 6) {
    header.version = FileVersion::Ace;
  } else {
    throw FormatError("unknown database version byte " + std::to_string(header.versionByte));
  }
  const ReadFormat& format = ReadFormatFor(header.version);
  header.pageSize = format.pageSize;

  std::vector<std::byte> block(firstBytes.begin(), firstBytes.begin() + kNeeded);
  UnmaskHeaderBlock(std::span(block).subspan(kHeaderMaskedStart, format.maskedHeaderLength));
  header.codePage = Read16(block, kHeaderCodePageOffset);
  header.databaseKey = Read32(block, kHeaderDatabaseKeyOffset);
  header.sortOrder = ReadSized(block, format.sortOrderOffset, format.sortOrderSize);
  if (header.version == FileVersion::Ace && header.databaseKey != 0) {
    header.officeEncrypted = true;
    header.encryption =
        DescribeEncryption(firstBytes.first(std::min(firstBytes.size(), header.pageSize)));
  }

  if (header.version == FileVersion::Jet3) {
    for (std::size_t i = 0;
         i < format.passwordLength && block[kHeaderPasswordOffset + i] != std::byte{0}; ++i)
      header.password.push_back(block[kHeaderPasswordOffset + i]);
  } else {
    // The password is masked once more with the creation date's whole days.
    std::memcpy(&header.creationDate, block.data() + kHeaderCreationDateOffset,
                sizeof header.creationDate);
    std::uint32_t days = 0;
    if (header.creationDate > -2147483648.0 && header.creationDate < 2147483648.0)
      days = static_cast<std::uint32_t>(static_cast<std::int32_t>(header.creationDate));
    for (std::size_t i = 0; i + 1 < format.passwordLength; i += 2) {
      const auto lo = block[kHeaderPasswordOffset + i] ^ std::byte(days >> (8 * (i % 4)));
      const auto hi = block[kHeaderPasswordOffset + i + 1] ^ std::byte(days >> (8 * ((i + 1) % 4)));
      if (lo == std::byte{0} && hi == std::byte{0}) break;
      header.password.push_back(lo);
      header.password.push_back(hi);
    }
  }
  return header;
}

}  // namespace corvid::jet::reader
