// A table definition (page type 0x02, chained over as many pages as it
// needs): the row count, the columns, the indexes and the usage maps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/reader/errors.h"
#include "jet/reader/page_source.h"
#include "jet/jet_format.h"
#include "jet/reader/text_decoding.h"

namespace corvid::jet::reader {

struct ColumnDefinition {
  std::string name;
  std::uint8_t type = 0;            // StoredType, or a number the reader does not know
  std::uint16_t number = 0;         // also the column's bit in the null mask
  std::uint16_t variableIndex = 0;  // slot in the row's variable offset table
  std::uint16_t fixedOffset = 0;    // in the fixed area, after the column count
  std::uint16_t length = 0;
  std::uint8_t flags = 0;
  bool compressedUnicode = false;
  std::uint8_t precision = 0;   // Numeric
  std::uint8_t scale = 0;       // Numeric
  std::uint32_t complexId = 0;  // Complex: the key into MSysComplexColumns

  bool IsFixed() const { return (flags & kColumnFixed) != 0; }
  bool IsLongValue() const {
    return type == static_cast<std::uint8_t>(StoredType::Memo) ||
           type == static_cast<std::uint8_t>(StoredType::Ole);
  }
};

struct IndexColumn {
  std::uint16_t columnNumber = 0;
  bool ascending = true;
};

struct IndexDefinition {
  std::string name;
  std::uint32_t realIndex = 0;  // the index entry holding the columns
  std::uint8_t kind = 0;        // 1 primary key, 2 foreign key (relationship)
  std::uint8_t flags = 0;       // 0x01 unique, 0x02 ignore nulls, 0x08 required
  std::uint32_t firstPage = 0;  // root of the index tree
  std::vector<IndexColumn> columns;
};

struct LongValueMaps {
  std::uint16_t columnNumber = 0;
  std::uint32_t usedPages = 0;
  std::uint32_t freePages = 0;
};

struct TableDefinition {
  std::string name;
  std::uint32_t page = 0;
  std::vector<std::uint32_t> pages;  // the chain, first page first
  std::uint32_t rowCount = 0;
  std::uint32_t nextAutoNumber = 0;
  std::uint8_t tableType = 0;  // 0x4E user, 0x53 system
  std::uint16_t maxColumns = 0;
  std::uint16_t variableColumnCount = 0;
  std::uint32_t usedPagesMap = 0;  // row pointer (page << 8 | row) of the usage map
  std::uint32_t freePagesMap = 0;
  std::vector<ColumnDefinition> columns;
  std::vector<IndexDefinition> indexes;
  std::vector<LongValueMaps> longValueMaps;

  const ColumnDefinition* FindColumn(std::string_view name) const;  // case-insensitive (ASCII)
};

// Reads the definition whose first page is `page`. Throws DamageError when
// the chain or the column list cannot be read; problems in the index or
// long-value sections (which reading rows does not need) go to `report`.
TableDefinition ReadTableDefinition(PageSource& pages, const JetConstants& format,
                                    const TextDecoder& text, std::uint32_t page,
                                    const std::string& tableName, DamageReport& report);

}  // namespace corvid::jet::reader
