#include "support_mdb_judge.h"

#include <glib.h>
// glib first: mdbtools.h opens extern "C" around its own glib include.
#include <mdbtools.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

namespace corvid::testing {
namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

std::string ShellQuote(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

CommandResult RunCommand(const std::string& command) {
  char errTemplate[] = "/tmp/corvid-judge-err-XXXXXX";
  const int errFd = ::mkstemp(errTemplate);
  if (errFd >= 0) ::close(errFd);
  CommandResult result;
  const std::string full = command + " 2>" + ShellQuote(errTemplate);
  FILE* pipe = ::popen(full.c_str(), "r");
  if (!pipe) return result;
  std::array<char, 65536> buffer{};
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    result.out.append(buffer.data(), n);
  const int status = ::pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.err = ReadWholeFile(errTemplate);
  ::unlink(errTemplate);
  return result;
}

std::vector<std::string> MdbTables(const std::string& path, bool system) {
  return SplitLines(
      RunCommand(std::string("mdb-tables -1 ") + (system ? "-S " : "") + ShellQuote(path)).out);
}

std::vector<std::string> MdbExportLines(const std::string& path, const std::string& table) {
  return SplitLines(RunCommand("mdb-export -H -d '\t' -q '' -D '%Y-%m-%d' -T '%Y-%m-%d %H:%M:%S' " +
                               ShellQuote(path) + " " + ShellQuote(table))
                        .out);
}

JudgedTable ReadWithLibmdb(const std::string& path, const std::string& tableName) {
  JudgedTable judged;
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  if (!mdb) return judged;
  std::unique_ptr<MdbHandle, void (*)(MdbHandle*)> closeDb(mdb, mdb_close);
  constexpr std::size_t kBindSize = 1 << 20;
  mdb_set_bind_size(mdb, kBindSize);
  std::vector<char> name(tableName.begin(), tableName.end());
  name.push_back('\0');
  MdbTableDef* table = mdb_read_table_by_name(mdb, name.data(), MDB_TABLE);
  if (!table) return judged;
  std::unique_ptr<MdbTableDef, void (*)(MdbTableDef*)> freeTable(table, mdb_free_tabledef);
  mdb_read_columns(table);
  mdb_rewind_table(table);
  judged.found = true;
  judged.declaredRows = table->num_rows;
  judged.tdefPage = table->entry->table_pg;
  if (table->usage_map && table->map_sz > 0) judged.usageMapType = table->usage_map[0];

  const unsigned columnCount = table->num_cols;
  std::vector<std::vector<char>> buffers(columnCount, std::vector<char>(kBindSize));
  std::vector<int> lengths(columnCount, 0);
  for (unsigned i = 0; i < columnCount; ++i) {
    auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
    judged.columns.push_back({col->name, col->col_type, col->col_size, col->is_long_auto != 0});
    mdb_bind_column(table, static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
  }
  std::vector<MdbField> fields(256);
  while (mdb_fetch_row(table)) {
    // The row just read is still on the page buffer: crack it again for its null mask.
    int start = 0;
    size_t size = 0;
    mdb_find_row(mdb, static_cast<int>(table->cur_row) - 1, &start, &size);
    mdb_crack_row(table, start & 0x1FFF, size, fields.data());
    std::vector<JudgedCell> row(columnCount);
    for (unsigned i = 0; i < columnCount; ++i) {
      auto* col = static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
      row[i].null = fields[i].is_null != 0 && col->col_type != MDB_BOOL;
      if (row[i].null) continue;
      if (col->col_type == MDB_OLE) {
        // libmdb binds the 12-byte long-value header of an OLE column.
        row[i].longValueFlags = static_cast<unsigned char>(buffers[i][3]) & 0xC0;
        std::size_t oleSize = 0;
        void* bytes = mdb_ole_read_full(mdb, col, &oleSize);
        row[i].value.assign(static_cast<const char*>(bytes), oleSize);
        std::free(bytes);
      } else {
        row[i].value.assign(buffers[i].data(), std::strlen(buffers[i].data()));
      }
    }
    judged.rows.push_back(std::move(row));
  }
  return judged;
}

}  // namespace corvid::testing
