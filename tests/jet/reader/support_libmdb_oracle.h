// Reads a table through libmdb, formatting every value the way the
// differential test formats ours: numbers as libmdb prints them, dates as
// "%Y-%m-%d %H:%M:%S", Yes/No as 1/0, Memo text whole, OLE values as bytes.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace corvid::jet::reader::testing {

struct OracleCell {
  bool null = true;
  std::string text;              // every type but OLE
  std::vector<std::byte> bytes;  // OLE
};

struct OracleTable {
  std::vector<std::string> columns;
  std::vector<int> types;
  std::vector<std::vector<OracleCell>> rows;
};

// Throws std::runtime_error when libmdb cannot open the file or the table.
OracleTable ReadWithLibmdb(const std::string& path, const std::string& table);

// The format string libmdb is told to use for dates.
inline constexpr const char* kOracleDateFormat = "%Y-%m-%d %H:%M:%S";

}  // namespace corvid::jet::reader::testing
