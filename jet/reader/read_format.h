// Where the reader finds things in each on-disk version. The page code is
// written once against this table; Jet 3, Jet 4 and ACE differ only in the
// numbers below (and in how text and row offsets are encoded, which the
// flags at the end select).
#pragma once

#include <cstddef>
#include <cstdint>

namespace corvid::jet::reader {

enum class FileVersion { Jet3, Jet4, Ace };

struct ReadFormat {
  FileVersion version;
  std::size_t pageSize;
  std::size_t maskedHeaderLength;  // header bytes from 0x18 masked with the fixed key
  std::size_t passwordLength;      // password bytes at 0x42
  std::size_t sortOrderOffset;     // header: default collating order
  std::size_t sortOrderSize;

  // Data pages.
  std::size_t dataOwnerOffset;     // table definition page owning the rows
  std::size_t dataRowCountOffset;  // 2-byte row count; the row offsets follow
  std::size_t maxRowsPerPage;

  // Table definitions.
  std::size_t tdefRowCountOffset;
  std::size_t tdefAutoNumberOffset;
  std::size_t tdefTableTypeOffset;
  std::size_t tdefMaxColumnsOffset;
  std::size_t tdefVariableCountOffset;
  std::size_t tdefColumnCountOffset;
  std::size_t tdefIndexCountOffset;      // logical indexes
  std::size_t tdefRealIndexCountOffset;  // index entries
  std::size_t tdefUsedPagesOffset;
  std::size_t tdefFreePagesOffset;
  std::size_t tdefHeaderSize;           // the column entries follow the index counts
  std::size_t realIndexCountEntrySize;  // per index entry right after the header
  std::size_t columnEntrySize;
  std::size_t columnTypeOffset;
  std::size_t columnNumberOffset;  // also the null-mask bit
  std::size_t columnVariableIndexOffset;
  std::size_t columnMiscOffset;  // precision/scale, or the complex id
  std::size_t columnFlagsOffset;
  std::size_t columnCompressedFlagOffset;  // 0 when the version has none
  std::size_t columnFixedOffsetOffset;
  std::size_t columnLengthOffset;
  std::size_t nameLengthSize;          // 1 (Jet 3) or 2 bytes
  std::size_t realIndexEntrySize;      // column list, usage map, first page, flags
  std::size_t realIndexColumnsOffset;  // within that entry
  std::size_t realIndexFlagsOffset;
  std::size_t logicalIndexEntrySize;
  std::size_t logicalIndexNumberOffset;  // the real index it uses
  std::size_t logicalIndexTypeOffset;    // 1 primary key, 2 foreign key

  // Rows.
  std::size_t rowColumnCountSize;  // 1 (Jet 3) or 2
  std::size_t rowOffsetSize;       // variable offsets: 1 (with jump table) or 2
  std::size_t offsetMask;          // row offset bits without the flags

  bool unicodeText;  // UTF-16LE (with compression) instead of a code page
};

inline constexpr ReadFormat kReadJet3{
    .version = FileVersion::Jet3,
    .pageSize = 2048,
    .maskedHeaderLength = 126,
    .passwordLength = 20,
    .sortOrderOffset = 0x3A,
    .sortOrderSize = 2,
    .dataOwnerOffset = 4,
    .dataRowCountOffset = 8,
    .maxRowsPerPage = 255,
    .tdefRowCountOffset = 12,
    .tdefAutoNumberOffset = 16,
    .tdefTableTypeOffset = 20,
    .tdefMaxColumnsOffset = 21,
    .tdefVariableCountOffset = 23,
    .tdefColumnCountOffset = 25,
    .tdefIndexCountOffset = 27,
    .tdefRealIndexCountOffset = 31,
    .tdefUsedPagesOffset = 35,
    .tdefFreePagesOffset = 39,
    .tdefHeaderSize = 43,
    .realIndexCountEntrySize = 8,
    .columnEntrySize = 18,
    .columnTypeOffset = 0,
    .columnNumberOffset = 1,
    .columnVariableIndexOffset = 3,
    .columnMiscOffset = 9,
    .columnFlagsOffset = 13,
    .columnCompressedFlagOffset = 0,
    .columnFixedOffsetOffset = 14,
    .columnLengthOffset = 16,
    .nameLengthSize = 1,
    .realIndexEntrySize = 39,
    .realIndexColumnsOffset = 0,
    .realIndexFlagsOffset = 38,
    .logicalIndexEntrySize = 20,
    .logicalIndexNumberOffset = 4,
    .logicalIndexTypeOffset = 19,
    .rowColumnCountSize = 1,
    .rowOffsetSize = 1,
    .offsetMask = 0x1FFF,
    .unicodeText = false,
};

inline constexpr ReadFormat kReadJet4{
    .version = FileVersion::Jet4,
    .pageSize = 4096,
    .maskedHeaderLength = 128,
    .passwordLength = 40,
    .sortOrderOffset = 0x6E,
    .sortOrderSize = 4,
    .dataOwnerOffset = 4,
    .dataRowCountOffset = 12,
    .maxRowsPerPage = 255,
    .tdefRowCountOffset = 16,
    .tdefAutoNumberOffset = 20,
    .tdefTableTypeOffset = 40,
    .tdefMaxColumnsOffset = 41,
    .tdefVariableCountOffset = 43,
    .tdefColumnCountOffset = 45,
    .tdefIndexCountOffset = 47,
    .tdefRealIndexCountOffset = 51,
    .tdefUsedPagesOffset = 55,
    .tdefFreePagesOffset = 59,
    .tdefHeaderSize = 63,
    .realIndexCountEntrySize = 12,
    .columnEntrySize = 25,
    .columnTypeOffset = 0,
    .columnNumberOffset = 5,
    .columnVariableIndexOffset = 7,
    .columnMiscOffset = 11,
    .columnFlagsOffset = 15,
    .columnCompressedFlagOffset = 16,
    .columnFixedOffsetOffset = 21,
    .columnLengthOffset = 23,
    .nameLengthSize = 2,
    .realIndexEntrySize = 52,
    .realIndexColumnsOffset = 4,
    .realIndexFlagsOffset = 46,  // after the usage map, the first page and four more bytes
    .logicalIndexEntrySize = 28,
    .logicalIndexNumberOffset = 8,
    .logicalIndexTypeOffset = 23,
    .rowColumnCountSize = 2,
    .rowOffsetSize = 2,
    .offsetMask = 0x1FFF,
    .unicodeText = true,
};

// ACE keeps Jet 4's layout; only the version differs.
inline constexpr ReadFormat kReadAce = [] {
  ReadFormat f = kReadJet4;
  f.version = FileVersion::Ace;
  return f;
}();

inline const ReadFormat& ReadFormatFor(FileVersion version) {
  switch (version) {
    case FileVersion::Jet3:
      return kReadJet3;
    case FileVersion::Jet4:
      return kReadJet4;
    case FileVersion::Ace:
      return kReadAce;
  }
  return kReadJet4;
}

// Page types (first byte of every page).
inline constexpr std::uint8_t kPageHeader = 0x00;
inline constexpr std::uint8_t kPageData = 0x01;
inline constexpr std::uint8_t kPageTableDefinition = 0x02;
inline constexpr std::uint8_t kPageIndexNode = 0x03;
inline constexpr std::uint8_t kPageIndexLeaf = 0x04;
inline constexpr std::uint8_t kPageUsageBitmap = 0x05;

// The owner field of a long-value page reads "LVAL".
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;

// Row offset flags.
inline constexpr std::uint16_t kRowDeleted = 0x8000;
inline constexpr std::uint16_t kRowLookup = 0x4000;

// Column types as stored in the table definition.
enum class ColumnType : std::uint8_t {
  Bool = 0x01,
  Byte = 0x02,
  Integer = 0x03,
  Long = 0x04,
  Money = 0x05,
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  Ole = 0x0B,
  Memo = 0x0C,
  Guid = 0x0F,
  Numeric = 0x10,
  Complex = 0x12,
  BigInt = 0x13,
};

// Column flags.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnNullable = 0x02;
inline constexpr std::uint8_t kColumnAutoLong = 0x04;
inline constexpr std::uint8_t kColumnAutoGuid = 0x40;
inline constexpr std::uint8_t kColumnHyperlink = 0x80;

// Bytes a fixed column of this type takes in the row (0: Bool, in the null
// mask; nothing for variable types).
inline constexpr std::size_t FixedSizeOf(std::uint8_t type) {
  switch (static_cast<ColumnType>(type)) {
    case ColumnType::Bool:
      return 0;
    case ColumnType::Byte:
      return 1;
    case ColumnType::Integer:
      return 2;
    case ColumnType::Long:
      return 4;
    case ColumnType::Money:
      return 8;
    case ColumnType::Single:
      return 4;
    case ColumnType::Double:
      return 8;
    case ColumnType::DateTime:
      return 8;
    case ColumnType::Guid:
      return 16;
    case ColumnType::Numeric:
      return 17;
    case ColumnType::Complex:
      return 4;
    case ColumnType::BigInt:
      return 8;
    default:
      return 0;
  }
}

// Long values: the 12-byte field in the row.
inline constexpr std::size_t kLongValueFieldSize = 12;
inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueSingleRow = 0x40000000u;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;

}  // namespace corvid::jet::reader
