// On-disk constants of the two Jet page formats the writer produces. The
// page code is written once against this table; Jet 3 and Jet 4 differ only
// in the numbers below (and in how text and row offsets are encoded).
#pragma once

#include <cstddef>
#include <cstdint>

#include "jet/mdb_writer.h"

namespace corvid::jet {

struct JetConstants {
  JetFormat format;
  std::size_t pageSize;
  std::uint8_t versionByte;          // header offset 0x14
  std::size_t maskedHeaderLength;    // bytes from 0x18 masked with the header key
  std::size_t passwordLength;        // bytes at 0x42
  bool passwordMaskedByDate;         // Jet 4 xors the password with the creation date

  // Data pages (table rows and long values).
  std::size_t dataRowCountOffset;    // 2-byte row count; the offsets table follows
  std::size_t maxRowSize;            // largest row Access accepts on a data page
  std::size_t maxRowsPerPage;

  // Long values.
  std::size_t maxInlineLongValue;    // stored inside the row up to this size
  std::size_t maxLongValueRow;       // largest long-value row (single page or chain row)

  // Table definitions.
  std::size_t tdefHeaderSize;        // fixed block before the column entries
  std::size_t columnEntrySize;
  std::size_t nameLengthSize;        // column name length field: 1 (Jet 3) or 2 bytes
  std::size_t usageMapRowSize;       // inline (type 0) usage map row: type + start page + bitmap
  std::size_t maxColumns;
  std::size_t maxNameLength;         // characters in a table or column name
  std::size_t textBytesPerChar;      // Text(n) column length is n * this
  std::uint32_t maxPages;            // the largest file Access accepts, in pages
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

inline const JetConstants& ConstantsFor(JetFormat format) {
  return format == JetFormat::Jet3 ? kJet3 : kJet4;
}

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

// Column flags.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnNullable = 0x02;
inline constexpr std::uint8_t kColumnAutoLong = 0x04;

// The value Access writes into the "unknown" table-number fields of a tdef.
inline constexpr std::uint32_t kTableMagic = 0x0659;

}  // namespace corvid::jet
