// Cost of one change through the table editor (each change opens the file,
// reads the table definition and usage map, writes and syncs), for a small
// row and for a row with a 50 KiB OLE value, in a table of 2,000 rows.
// TMPDIR (default /tmp) picks the directory; /dev/shm takes the disk out.
#include <benchmark/benchmark.h>

#include <glib.h>
// glib first: mdbtools.h opens extern "C" around its own glib include.
#include <mdbtools.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "jet/mdb_writer.h"
#include "jet/table_editor.h"

namespace {

using namespace corvid::jet;

std::string ScratchPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return (std::filesystem::path(dir ? dir : "/tmp") / name).string();
}

// A table of `rows` rows; returns its tdef page (read with libmdb).
std::uint32_t MakeTable(const std::string& path, int rows) {
  {
    MdbWriter writer(path);
    auto& t = writer.AddTable({"t",
                               {{"id", ColumnType::AutoNumber},
                                {"name", ColumnType::Text, 50},
                                {"img", ColumnType::OleObject}}});
    for (int i = 0; i < rows; ++i)
      t.AddRow({Null, std::string("row ") + std::to_string(i), Bytes(100)});
    writer.Finish();
  }
  MdbHandle* mdb = mdb_open(path.c_str(), MDB_NOFLAGS);
  mdb_read_catalog(mdb, MDB_TABLE);
  MdbCatalogEntry* entry = mdb_get_catalogentry_by_name(mdb, "t");
  const auto page = static_cast<std::uint32_t>(entry->table_pg);
  mdb_close(mdb);
  return page;
}

void BM_InsertRow(benchmark::State& state) {
  const std::string path = ScratchPath("corvid-bench-editor.mdb");
  TableEditor editor(path, MakeTable(path, 2000), "t");
  const Bytes blob(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) editor.Insert({Null, std::string("inserted"), blob});
  std::filesystem::remove(path);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_InsertRow)->Arg(100)->Arg(50 * 1024)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_UpdateThenDeleteRow(benchmark::State& state) {
  const std::string path = ScratchPath("corvid-bench-editor.mdb");
  TableEditor editor(path, MakeTable(path, 2000), "t");
  const Bytes blob(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    RowLocation at = editor.Insert({Null, std::string("x"), Bytes(10)});
    at = editor.Update(at, {std::int64_t{1}, std::string("changed"), blob});
    editor.Delete(at);
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(3 * state.iterations());
}
BENCHMARK(BM_UpdateThenDeleteRow)
    ->Arg(100)
    ->Arg(50 * 1024)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
