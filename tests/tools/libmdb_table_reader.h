// Reads a whole table through libmdb (mdbtools), the independent reader the
// OLE and sample-database tests judge our bytes with. Text comes back as
// libmdb formats it; OLE Object values come back byte for byte.
#pragma once

#include <glib.h>
#include <mdbtools.h>

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace corvid::oledocs::testing {

struct LibmdbCell {
  bool isOle = false;
  std::string text;              // non-OLE columns
  std::vector<std::byte> bytes;  // OLE columns
  int boundLength = 0;           // what libmdb bound (0 for NULL and empty)
};

struct LibmdbTable {
  std::vector<std::string> columns;
  std::vector<int> columnTypes;
  std::vector<std::vector<LibmdbCell>> rows;

  int Column(const std::string& name) const {
    for (std::size_t i = 0; i < columns.size(); ++i) {
      if (columns[i] == name) return static_cast<int>(i);
    }
    throw std::out_of_range("no column " + name);
  }
};

inline LibmdbTable ReadTableWithLibmdb(const std::string& path, const std::string& tableName) {
  struct CloseMdb {
    void operator()(MdbHandle* h) const { mdb_close(h); }
  };
  struct FreeTable {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
  };
  std::unique_ptr<MdbHandle, CloseMdb> mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
  if (!mdb) throw std::runtime_error("libmdb cannot open " + path);
  std::string name = tableName;
  std::unique_ptr<MdbTableDef, FreeTable> table(
      mdb_read_table_by_name(mdb.get(), name.data(), MDB_TABLE));
  if (!table) throw std::runtime_error("libmdb finds no table " + tableName);
  mdb_read_columns(table.get());
  mdb_rewind_table(table.get());

  LibmdbTable result;
  const unsigned count = table->num_cols;
  std::vector<std::vector<char>> buffers(count, std::vector<char>(MDB_BIND_SIZE));
  std::vector<int> lengths(count, 0);
  for (unsigned i = 0; i < count; ++i) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    result.columns.emplace_back(col->name);
    result.columnTypes.push_back(col->col_type);
    mdb_bind_column(table.get(), static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
  }
  while (mdb_fetch_row(table.get())) {
    std::vector<LibmdbCell> row(count);
    for (unsigned i = 0; i < count; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      LibmdbCell& cell = row[i];
      cell.boundLength = lengths[i];
      if (col->col_type == MDB_OLE) {
        cell.isOle = true;
        if (lengths[i] > 0) {
          std::size_t size = 0;
          void* data = mdb_ole_read_full(mdb.get(), col, &size);
          if (data != nullptr) {
            const auto* p = static_cast<const std::byte*>(data);
            cell.bytes.assign(p, p + size);
            std::free(data);
          }
        }
      } else {
        cell.text.assign(buffers[i].data(), static_cast<std::size_t>(lengths[i]));
      }
    }
    result.rows.push_back(std::move(row));
  }
  return result;
}

}  // namespace corvid::oledocs::testing
