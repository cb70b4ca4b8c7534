#pragma once
// Rows written to a table through the Jet writer's table editor: the only
// way this engine changes a file. A table can be changed when its database
// was opened for writing, the file is a writable Jet 3 or Jet 4 file, and
// the table is a user table without indexes (a half-updated Access index
// would corrupt the file). Each change opens the file for its own duration;
// afterwards the table's rows (shared by a recordset and its clones) and
// reader's table definition follow the change.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "dao/mdb/table_rows.h"
#include "jet/mdb_writer.h"

namespace corvid::dao {

// "Cannot update. Database or object is read-only." followed by the reason
// the table cannot be changed, or empty when it can. Reads only.
std::string EditRefusal(TableRows& rows);

// Adds a row (one value per column) and returns its index in `rows`.
std::int32_t WriteNewRow(TableRows& rows, std::span<const jet::Value> values);
// Replaces row `index`; it keeps its index (and so its bookmarks). `keep`:
// Memo and OLE columns whose stored values stay as they are.
void RewriteRow(TableRows& rows, std::int32_t index, std::span<const jet::Value> values,
                const std::vector<bool>& keep);
// Deletes row `index`; visiting it afterwards raises 3167.
void DeleteRow(TableRows& rows, std::int32_t index);

}  // namespace corvid::dao
