// The definition of a user table as an existing file stores it, read for an
// edit: its column layout (rebuilt with the writer's own layout rules and
// checked against what the file records, so that rows encoded for it are
// rows of this table), its counters and the pointers to its usage maps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "jet/edit_session.h"
#include "jet/jet_format.h"
#include "jet/table_definition.h"
#include "jet/table_layout.h"

namespace corvid::jet {

struct StoredTable {
  TableDef definition;
  TableLayout layout;
  std::vector<std::uint32_t> tdefPages;  // the first holds the counters
  std::uint32_t rowCount = 0;
  std::int32_t lastAutoNumber = 0;
  std::uint32_t usedPagesMap = 0;  // page << 8 | row of the map row
  std::uint32_t freePagesMap = 0;
  // Maps of the long-value columns, where the definition lists them.
  std::vector<LongValueMaps> longValueMaps;
};

// Reads the table whose definition starts at `tdefPage`. Throws WriterError
// naming the reason when the table cannot be edited safely: a system table,
// a table with indexes (they would have to change with every row), a column
// type or layout the writer does not produce, or pages it cannot read.
// `tableName` names the table in the messages.
StoredTable ReadStoredTable(const JetConstants& jet, EditSession& session, std::uint32_t tdefPage,
                            const std::string& tableName);

}  // namespace corvid::jet
