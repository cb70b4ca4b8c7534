// On-disk constants of the Jet page formats, for the reader and the writer.
// The page code is written once against this table; Jet 3 and Jet 4 differ
// only in the numbers below (and in how text and row offsets are encoded).
// Access 2007 and later (ACE) files keep Jet 4's layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "jet/mdb_writer.h"

namespace corvid::jet {

struct JetConstants {
  JetFormat format;
  std::size_t pageSize;
  std::uint8_t versionByte;        // header offset 0x14
  std::size_t maskedHeaderLength;  // bytes from 0x18 masked with the header key
  std::size_t passwordLength;      // bytes at 0x42
  bool passwordMaskedByDate;       // Jet 4 xors the password with the creation date

  // Data pages (table rows and long values).
  std::size_t dataRowCountOffset;  // 2-byte row count; the offsets table follows
  std::size_t maxRowSize;          // largest row Access accepts on a data page
  std::size_t maxRowsPerPage;

  // Long values.
  std::size_t maxInlineLongValue;  // stored inside the row up to this size
  std::size_t maxLongValueRow;     // largest long-value row (single page or chain row)

  // Table definitions.
  std::size_t tdefHeaderSize;  // fixed block before the column entries
  std::size_t columnEntrySize;
  std::size_t nameLengthSize;   // column name length field: 1 (Jet 3) or 2 bytes
  std::size_t usageMapRowSize;  // inline (type 0) usage map row: type + start page + bitmap
  std::size_t maxColumns;
  std::size_t maxNameLength;     // characters in a table or column name
  std::size_t textBytesPerChar;  // Text(n) column length is n * this
  std::uint32_t maxPages;        // the largest file Access accepts, in pages
};

inline constexpr JetConstants kJet4{
    .format = JetFormat::Jet4,
    .pageSize = 4096,
    .versionByte = 0x01,
    .maskedHeaderLength = 128,
    .passwordLength = 40,
    .passwordMaskedByDate = true,
    .dataRowCountOffset = 12,
    .maxRowSize = 4060,
    .maxRowsPerPage = 255,
    .maxInlineLongValue = 64,
    .maxLongValueRow = 4076,
    .tdefHeaderSize = 63,
    .columnEntrySize = 25,
    .nameLengthSize = 2,
    .usageMapRowSize = 69,
    .maxColumns = 255,
    .maxNameLength = 64,
    .textBytesPerChar = 2,
    .maxPages = 0x80000,  // 2 GiB
};

inline constexpr JetConstants kJet3{
    .format = JetFormat::Jet3,
    .pageSize = 2048,
    .versionByte = 0x00,
    .maskedHeaderLength = 126,
    .passwordLength = 20,
    .passwordMaskedByDate = false,
    .dataRowCountOffset = 8,
    .maxRowSize = 2012,
    .maxRowsPerPage = 255,
    .maxInlineLongValue = 64,
    .maxLongValueRow = 2032,
    .tdefHeaderSize = 43,
    .columnEntrySize = 18,
    .nameLengthSize = 1,
    .usageMapRowSize = 133,
    .maxColumns = 255,
    .maxNameLength = 64,
    .textBytesPerChar = 1,
    .maxPages = 0x80000,  // 1 GiB
};

// ACE files keep Jet 4's pages; the header names the ACE engine.
inline constexpr JetConstants kAce2007 = [] {
  JetConstants c = kJet4;
  c.format = JetFormat::Ace2007;
  c.versionByte = 0x02;
  return c;
}();

inline const JetConstants& ConstantsFor(JetFormat format) {
  return format == JetFormat::Jet3 ? kJet3 : format == JetFormat::Ace2007 ? kAce2007 : kJet4;
}

// The layout of a file whose header carries `versionByte` (0 Jet 3, 1 Jet 4,
// 2 and later ACE).
inline const JetConstants& ConstantsForVersionByte(unsigned versionByte) {
  return versionByte == 0 ? kJet3 : kJet4;
}

// Header page (page 0). The block from kHeaderMaskedStart is masked with the
// RC4 keystream of kHeaderMaskKey; the offsets after it are of the unmasked
// page.
inline constexpr std::size_t kHeaderEngineNameOffset = 4;
inline constexpr char kEngineNameJet[] = "Standard Jet DB";
inline constexpr char kEngineNameAce[] = "Standard ACE DB";
inline constexpr std::size_t kHeaderVersionOffset = 0x14;
inline constexpr std::size_t kHeaderMaskedStart = 0x18;
inline constexpr std::size_t kHeaderMaskedEnd =
    kHeaderMaskedStart + 128;  // end of the longer (Jet 4) block
inline constexpr std::array<std::uint8_t, 4> kHeaderMaskKey{0xC7, 0xDA, 0x39, 0x6B};  // 0x6B39DAC7
inline constexpr std::size_t kHeaderJet3SortOrderOffset = 0x3A;
inline constexpr std::size_t kHeaderCodePageOffset = 0x3C;
inline constexpr std::size_t kHeaderDatabaseKeyOffset = 0x3E;  // 0: pages are not encoded
inline constexpr std::size_t kHeaderPasswordOffset = 0x42;     // passwordLength bytes
inline constexpr std::size_t kHeaderJet4SortOrderOffset = 0x6E;
inline constexpr std::size_t kHeaderCreationDateOffset = 0x72;  // Jet 4: days since 1899-12-30
inline constexpr std::size_t kMaxPasswordChars = 20;

// Long values (Memo, OLE Object): the 12-byte field in the row holds the
// length with two flags in its top bits, then the page and row of the data
// (single page, or the first link of a chain whose rows start with the next
// link), unless the data follows inline.
inline constexpr std::size_t kLongValueHeaderSize = 12;
inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueSinglePage = 0x40000000u;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;

// Page types (first byte of every page).
inline constexpr std::uint8_t kPageTypeHeader = 0x00;
inline constexpr std::uint8_t kPageTypeData = 0x01;
inline constexpr std::uint8_t kPageTypeTableDefinition = 0x02;
inline constexpr std::uint8_t kPageTypeUsageBitmap = 0x05;

// Column types as stored in the table definition.
inline constexpr std::uint8_t kTypeBool = 0x01;
inline constexpr std::uint8_t kTypeByte = 0x02;
inline constexpr std::uint8_t kTypeInt = 0x03;
inline constexpr std::uint8_t kTypeLong = 0x04;
inline constexpr std::uint8_t kTypeMoney = 0x05;
inline constexpr std::uint8_t kTypeDouble = 0x07;
inline constexpr std::uint8_t kTypeDateTime = 0x08;
inline constexpr std::uint8_t kTypeBinary = 0x09;
inline constexpr std::uint8_t kTypeText = 0x0A;
inline constexpr std::uint8_t kTypeOle = 0x0B;
inline constexpr std::uint8_t kTypeMemo = 0x0C;
inline constexpr std::uint8_t kTypeGuid = 0x0F;
inline constexpr std::uint8_t kTypeComplex = 0x12;  // the row holds a key into a hidden table

// Column flags.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnNullable = 0x02;
inline constexpr std::uint8_t kColumnAutoLong = 0x04;

// The value Access writes into the "unknown" table-number fields of a tdef.
inline constexpr std::uint32_t kTableMagic = 0x0659;

}  // namespace corvid::jet
