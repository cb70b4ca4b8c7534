// Reading databases back with mdbtools, the independent judge of what the
// writer produces: its command-line tools, and libmdb called directly for
// NULL flags and long binary values.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace corvid::testing {

struct CommandResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// Runs a shell command, capturing stdout and stderr.
CommandResult RunCommand(const std::string& command);
std::string ShellQuote(std::string_view text);

// `mdb-tables -1` (user tables, or with system tables when `system`).
std::vector<std::string> MdbTables(const std::string& path, bool system = false);
// Lines of `mdb-export` with tab-separated fields, no quoting, ISO dates.
std::vector<std::string> MdbExportLines(const std::string& path, const std::string& table);

struct JudgedCell {
  bool null = true;
  std::string value;  // libmdb's text, or the raw bytes of OLE Object / Memo bytes as read
  // OLE Object: the storage flags libmdb found in the row (0x80 inline,
  // 0x40 one long-value row, 0x00 a chain of rows).
  int longValueFlags = -1;
};

struct JudgedColumn {
  std::string name;
  int type = 0;  // MDB_* column type
  int size = 0;
  bool autoLong = false;
};

struct JudgedTable {
  bool found = false;
  std::vector<JudgedColumn> columns;
  std::vector<std::vector<JudgedCell>> rows;
  std::size_t declaredRows = 0;  // row count in the table definition
  int usageMapType = -1;         // 0: inline bitmap, 1: bitmap pages
  unsigned long tdefPage = 0;    // the table definition's page, from the catalog
};

// Reads every row through libmdb: NULL flags from the row's null mask, OLE
// values with mdb_ole_read_full, everything else as libmdb's bound text.
JudgedTable ReadWithLibmdb(const std::string& path, const std::string& table);

}  // namespace corvid::testing
