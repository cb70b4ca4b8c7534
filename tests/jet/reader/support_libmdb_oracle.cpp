#include "tests/jet/reader/support_libmdb_oracle.h"

#include <glib.h>
#include <mdbtools.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace corvid::jet::reader::testing {

OracleTable ReadWithLibmdb(const std::string& path, const std::string& tableName) {
  struct CloseMdb {
    void operator()(MdbHandle* h) const { mdb_close(h); }
  };
  struct FreeTable {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
  };
  std::unique_ptr<MdbHandle, CloseMdb> mdb(mdb_open(path.c_str(), MDB_NOFLAGS));
  if (!mdb) throw std::runtime_error("libmdb cannot open " + path);
  constexpr std::size_t kBind = 1 << 17;  // the longest Memo of the fixtures fits
  mdb_set_bind_size(mdb.get(), kBind);
  mdb_set_date_fmt(mdb.get(), kOracleDateFormat);
  mdb_set_shortdate_fmt(mdb.get(), kOracleDateFormat);
  mdb_set_boolean_fmt_numbers(mdb.get());
  std::string name = tableName;
  std::unique_ptr<MdbTableDef, FreeTable> table(
      mdb_read_table_by_name(mdb.get(), name.data(), MDB_TABLE));
  if (!table) throw std::runtime_error("libmdb finds no table " + tableName);
  mdb_read_columns(table.get());
  mdb_rewind_table(table.get());

  OracleTable result;
  const unsigned count = table->num_cols;
  std::vector<std::vector<char>> buffers(count, std::vector<char>(kBind));
  std::vector<int> lengths(count, 0);
  for (unsigned i = 0; i < count; ++i) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    result.columns.emplace_back(col->name);
    result.types.push_back(col->col_type);
    mdb_bind_column(table.get(), static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
  }
  while (mdb_fetch_row(table.get())) {
    std::vector<OracleCell> row(count);
    for (unsigned i = 0; i < count; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      OracleCell& cell = row[i];
      cell.null = col->cur_value_len == 0 && lengths[i] == 0 && col->col_type != MDB_BOOL;
      if (col->col_type == MDB_OLE) {
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

}  // namespace corvid::jet::reader::testing
