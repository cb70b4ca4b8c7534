// On-disk constants of the Jet page formats, for the reader and the writer.
// The page code is written once against this table; Jet 3 and Jet 4 differ
// only in the numbers below (and in how text and row offsets are encoded).
// Access 2007 and later (ACE) files keep Jet 4's layout.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace corvid::jet {

enum class JetFormat {
  Jet3,     // Access 97: 2 KiB pages, single-byte text (Windows-1252)
  Jet4,     // Access 2000-2003: 4 KiB pages, UCS-2 text
  Ace2007,  // Access 2007 and later (.accdb): Jet 4's pages; attachment columns
};

struct JetConstants {
  JetFormat format;
  std::size_t pageSize;
  std::uint8_t versionByte;        // at kHeaderVersionOffset
  std::size_t maskedHeaderLength;  // bytes from kHeaderMaskedStart masked with the header key
  std::size_t passwordLength;      // bytes at kHeaderPasswordOffset
  bool passwordMaskedByDate;       // Jet 4 xors the password with the creation date
  std::size_t sortOrderOffset;     // header: the default collating order
  std::size_t sortOrderSize;

  // Data pages (table rows and long values).
  std::size_t dataOwnerOffset;     // table definition page owning the rows
  std::size_t dataRowCountOffset;  // 2-byte row count; the offsets table follows
  std::size_t maxRowSize;          // largest row Access accepts on a data page
  std::size_t maxRowsPerPage;

  // Long values.
  std::size_t maxInlineLongValue;  // stored inside the row up to this size
  std::size_t maxLongValueRow;     // largest long-value row (single page or chain row)

  // Table definitions: the fixed block, then per index entry a row count,
  // then the column entries, the column names, the index entries and the
  // logical indexes.
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
  std::size_t tdefHeaderSize;           // fixed block before the column entries
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
  std::size_t nameLengthSize;          // column name length field: 1 (Jet 3) or 2 bytes
  std::size_t realIndexEntrySize;      // column list, usage map, first page, flags
  std::size_t realIndexColumnsOffset;  // within that entry
  std::size_t realIndexFlagsOffset;
  std::size_t logicalIndexEntrySize;
  std::size_t logicalIndexNumberOffset;  // the real index it uses
  std::size_t logicalIndexTypeOffset;    // 1 primary key, 2 foreign key
  std::size_t usageMapRowSize;  // inline (type 0) usage map row: type + start page + bitmap
  std::size_t maxColumns;
  std::size_t maxNameLength;     // characters in a table or column name
  std::size_t textBytesPerChar;  // Text(n) column length is n * this

  // Rows.
  std::size_t rowColumnCountSize;  // 1 (Jet 3) or 2
  std::size_t rowOffsetSize;       // variable offsets: 1 (with jump table) or 2

  std::uint32_t maxPages;  // the largest file Access accepts, in pages
};

inline constexpr JetConstants kJet4{
    .format = JetFormat::Jet4,
    .pageSize = 4096,
    .versionByte = 0x01,
    .maskedHeaderLength = 128,
    .passwordLength = 40,
    .passwordMaskedByDate = true,
    .sortOrderOffset = 0x6E,
    .sortOrderSize = 4,
    .dataOwnerOffset = 4,
    .dataRowCountOffset = 12,
    .maxRowSize = 4060,
    .maxRowsPerPage = 255,
    .maxInlineLongValue = 64,
    .maxLongValueRow = 4076,
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
    .usageMapRowSize = 69,
    .maxColumns = 255,
    .maxNameLength = 64,
    .textBytesPerChar = 2,
    .rowColumnCountSize = 2,
    .rowOffsetSize = 2,
    .maxPages = 0x80000,  // 2 GiB
};

inline constexpr JetConstants kJet3{
    .format = JetFormat::Jet3,
    .pageSize = 2048,
    .versionByte = 0x00,
    .maskedHeaderLength = 126,
    .passwordLength = 20,
    .passwordMaskedByDate = false,
    .sortOrderOffset = 0x3A,
    .sortOrderSize = 2,
    .dataOwnerOffset = 4,
    .dataRowCountOffset = 8,
    .maxRowSize = 2012,
    .maxRowsPerPage = 255,
    .maxInlineLongValue = 64,
    .maxLongValueRow = 2032,
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
    .usageMapRowSize = 133,
    .maxColumns = 255,
    .maxNameLength = 64,
    .textBytesPerChar = 1,
    .rowColumnCountSize = 1,
    .rowOffsetSize = 1,
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
  return versionByte == 0 ? kJet3 : versionByte == 1 ? kJet4 : kAce2007;
}

// Header page (page 0). The block from kHeaderMaskedStart is masked with the
// RC4 keystream of kHeaderMaskKey; the offsets after it are of the unmasked
// page.
inline constexpr std::array<std::uint8_t, 4> kHeaderMagic{0x00, 0x01, 0x00, 0x00};
inline constexpr std::size_t kHeaderEngineNameOffset = 4;
inline constexpr char kEngineNameJet[] = "Standard Jet DB";
inline constexpr char kEngineNameAce[] = "Standard ACE DB";
inline constexpr std::size_t kEngineNameLength = sizeof kEngineNameJet - 1;
inline constexpr std::size_t kHeaderVersionOffset = 0x14;
inline constexpr std::uint8_t kLastKnownVersionByte = 6;  // 2 and later: the ACE versions
inline constexpr std::size_t kHeaderMaskedStart = 0x18;
inline constexpr std::size_t kHeaderMaskedEnd =
    kHeaderMaskedStart + kJet4.maskedHeaderLength;  // end of the longer (Jet 4) block
inline constexpr std::array<std::uint8_t, 4> kHeaderMaskKey{0xC7, 0xDA, 0x39, 0x6B};  // 0x6B39DAC7
inline constexpr std::size_t kHeaderCodePageOffset = 0x3C;
inline constexpr std::size_t kHeaderDatabaseKeyOffset = 0x3E;   // 0: pages are not encoded
inline constexpr std::size_t kHeaderPasswordOffset = 0x42;      // passwordLength bytes
inline constexpr std::size_t kHeaderCreationDateOffset = 0x72;  // Jet 4: days since 1899-12-30
inline constexpr std::size_t kMaxPasswordChars = 20;

// Jet 4 xors the password field with the creation date's whole days (as a
// little-endian 32-bit number, repeated). A date outside the 32-bit range
// (only a damaged header has one) gives the mask of day 0.
inline std::array<std::uint8_t, 4> PasswordDateMask(double creationDate) {
  std::uint32_t days = 0;
  if (creationDate > -2147483648.0 && creationDate < 2147483648.0)
    days = static_cast<std::uint32_t>(static_cast<std::int32_t>(creationDate));
  return {static_cast<std::uint8_t>(days), static_cast<std::uint8_t>(days >> 8),
          static_cast<std::uint8_t>(days >> 16), static_cast<std::uint8_t>(days >> 24)};
}

// Page types (first byte of every page).
inline constexpr std::uint8_t kPageTypeHeader = 0x00;
inline constexpr std::uint8_t kPageTypeData = 0x01;
inline constexpr std::uint8_t kPageTypeTableDefinition = 0x02;
inline constexpr std::uint8_t kPageTypeIndexNode = 0x03;
inline constexpr std::uint8_t kPageTypeIndexLeaf = 0x04;
inline constexpr std::uint8_t kPageTypeUsageBitmap = 0x05;

// The owner field of a long-value page reads "LVAL" in place of a table
// definition page.
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;

// The row offsets table of a data page: the offset in the low bits, two flags
// above it.
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr std::uint16_t kRowDeleted = 0x8000;
inline constexpr std::uint16_t kRowLookup = 0x4000;  // the row holds a pointer to where it moved

// Long values (Memo, OLE Object): the 12-byte field in the row holds the
// length with two flags in its top bits, then the page and row of the data
// (single row, or the first link of a chain whose rows start with the next
// link), unless the data follows inline.
inline constexpr std::size_t kLongValueFieldSize = 12;
inline constexpr std::uint32_t kLongValueInline = 0x80000000u;
inline constexpr std::uint32_t kLongValueSingleRow = 0x40000000u;
inline constexpr std::uint32_t kLongValueLengthMask = 0x3FFFFFFFu;

// Column types as stored in the table definition.
enum class StoredType : std::uint8_t {
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
  Complex = 0x12,  // the row holds a key into a hidden table
  BigInt = 0x13,
};

inline constexpr std::uint8_t TypeCode(StoredType type) { return static_cast<std::uint8_t>(type); }

// Bytes a fixed column of this type takes in the row (0: Bool, in the null
// mask; nothing for variable types).
inline constexpr std::size_t FixedSizeOf(std::uint8_t type) {
  switch (static_cast<StoredType>(type)) {
    case StoredType::Bool:
      return 0;
    case StoredType::Byte:
      return 1;
    case StoredType::Integer:
      return 2;
    case StoredType::Long:
      return 4;
    case StoredType::Money:
      return 8;
    case StoredType::Single:
      return 4;
    case StoredType::Double:
      return 8;
    case StoredType::DateTime:
      return 8;
    case StoredType::Guid:
      return 16;
    case StoredType::Numeric:
      return 17;
    case StoredType::Complex:
      return 4;
    case StoredType::BigInt:
      return 8;
    default:
      return 0;
  }
}
inline constexpr std::size_t FixedSizeOf(StoredType type) { return FixedSizeOf(TypeCode(type)); }

// The collating order "General" (of the database and of text columns).
inline constexpr std::uint16_t kSortOrderGeneral = 0x409;

// Column flags.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnNullable = 0x02;
inline constexpr std::uint8_t kColumnAutoLong = 0x04;
inline constexpr std::uint8_t kColumnAutoGuid = 0x40;
inline constexpr std::uint8_t kColumnHyperlink = 0x80;

// Table definition pages: a definition longer than a page continues on
// pages that repeat only the page header (the next page's number in it).
inline constexpr std::size_t kTdefNextPageOffset = 4;
inline constexpr std::size_t kTdefContinuationHeader = 8;
// The table type byte.
inline constexpr std::uint8_t kUserTable = 0x4E;
inline constexpr std::uint8_t kSystemTable = 0x53;

// The value Access writes into the "unknown" table-number fields of a tdef.
inline constexpr std::uint32_t kTableMagic = 0x0659;

}  // namespace corvid::jet
