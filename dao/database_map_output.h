#pragma once
// The database map as text for people (aligned columns) and as JSON for
// programs.

#include <string>

#include "dao/database_map.h"

namespace corvid {

// One block per table: its name and row count, then one line per column with
// its type and, for a column that can hold documents, how many values are
// filled and the kinds of the sampled ones:
//   Categories  8 rows
//     CategoryID    Long Integer
//     Picture       OLE Object    8 non-empty: 8 .bmp
std::string DatabaseMapText(const DatabaseMap& map);

// {"file": ..., "tables": [{"name", "rows", "columns": [{"name", "type",
// "typeNumber", "document", and for documents "nonEmpty", "sampled",
// "kinds": {".bmp": 8}}]}], "damage": [...]}; text values are UTF-8.
std::string DatabaseMapJson(const DatabaseMap& map);

// How many values of a document column recognition saw.
std::int64_t SampledValues(const ColumnMap& column);

}  // namespace corvid
