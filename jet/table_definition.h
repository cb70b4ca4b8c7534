// The table definition (tdef): table header, column entries, column names,
// the (empty) index sections and the usage maps of each long-value column,
// laid out as one byte stream spread over one or more tdef pages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "jet/jet_format.h"
#include "jet/table_layout.h"

namespace corvid::jet {

struct LongValueMaps {
  std::uint16_t column = 0;        // column number of a Memo / OLE Object column
  std::uint32_t usedPagesMap = 0;  // its long-value pages
  std::uint32_t freePagesMap = 0;  // those with room left
};

struct TableStatistics {
  std::uint32_t rowCount = 0;
  std::int32_t lastAutoNumber = 0;  // the last AutoNumber handed out (0: none yet)
  std::uint32_t usedPagesMap = 0;   // page << 8 | row of the usage map row
  std::uint32_t freePagesMap = 0;   // the same for the free-space map
  // One entry per long-value column (missing ones are written as 0).
  std::vector<LongValueMaps> longValueMaps;
};

// Number of tdef pages the table needs.
std::size_t TableDefinitionPageCount(const JetConstants& jet, const TableLayout& layout);

// The tdef pages, for the given page numbers (TableDefinitionPageCount of them).
std::vector<std::vector<std::byte>> BuildTableDefinition(
    const JetConstants& jet, const TableLayout& layout, const TableStatistics& stats,
    std::span<const std::uint32_t> pageNumbers);

}  // namespace corvid::jet
