// Our reader against libmdb in the same run, on the same writer-made files:
// a scan of many small rows (every value decoded) and the OLE values of a
// table of 200 KB blobs read whole. Each pair prints its rates; the end of
// the run prints our time over libmdb's for each pair.

#include <benchmark/benchmark.h>
#include <glib.h>
#include <mdbtools.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "jet/reader/database.h"
#include "jet/mdb_writer.h"

namespace {

namespace w = corvid::jet;
namespace jet = corvid::jet::reader;

std::string ScratchPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return (std::filesystem::path(dir && *dir ? dir : "/tmp") / name).string();
}

// 200,000 rows of a number, a short text, a double and a date.
const std::string& RowDatabase() {
  static const std::string path = [] {
    std::string p = ScratchPath("corvid-bench-jet-rows.mdb");
    std::filesystem::remove(p);
    w::MdbWriter writer(p);
    auto& table = writer.AddTable({"Rows",
                                   {{"id", w::ColumnType::Long},
                                    {"name", w::ColumnType::Text, 30},
                                    {"amount", w::ColumnType::Double},
                                    {"when", w::ColumnType::DateTime}}});
    for (int i = 0; i < 200000; ++i)
      table.AddRow(
          {std::int64_t{i}, "row " + std::to_string(i), i * 0.5, w::Date{40000.0 + i / 100.0}});
    writer.Finish();
    return p;
  }();
  return path;
}

// 500 OLE values of 200 KB (about 100 MB).
const std::string& BlobDatabase() {
  static const std::string path = [] {
    std::string p = ScratchPath("corvid-bench-jet-blobs.mdb");
    std::filesystem::remove(p);
    w::MdbWriter writer(p);
    auto& table = writer.AddTable(
        {"Pictures", {{"id", w::ColumnType::Long}, {"img", w::ColumnType::OleObject}}});
    std::vector<std::byte> blob(200 * 1024);
    std::mt19937 random(7);
    for (auto& b : blob) b = std::byte(random() & 0xFF);
    for (int i = 0; i < 500; ++i) {
      blob[0] = std::byte(i & 0xFF);
      table.AddRow({std::int64_t{i}, w::ByteView{blob}});
    }
    writer.Finish();
    return p;
  }();
  return path;
}

std::map<std::string, double> secondsPerRun;

void Record(benchmark::State& state, const std::string& name, double seconds) {
  secondsPerRun[name] = seconds / static_cast<double>(state.iterations());
}

struct LibmdbTable {
  struct CloseMdb {
    void operator()(MdbHandle* h) const { mdb_close(h); }
  };
  struct FreeTable {
    void operator()(MdbTableDef* t) const { mdb_free_tabledef(t); }
  };
  std::unique_ptr<MdbHandle, CloseMdb> mdb;
  std::unique_ptr<MdbTableDef, FreeTable> table;
  std::vector<std::vector<char>> buffers;
  std::vector<int> lengths;

  LibmdbTable(const std::string& path, std::string name)
      : mdb(mdb_open(path.c_str(), MDB_NOFLAGS)) {
    table.reset(mdb_read_table_by_name(mdb.get(), name.data(), MDB_TABLE));
    mdb_read_columns(table.get());
    mdb_rewind_table(table.get());
    buffers.assign(table->num_cols, std::vector<char>(MDB_BIND_SIZE));
    lengths.assign(table->num_cols, 0);
    for (unsigned i = 0; i < table->num_cols; ++i)
      mdb_bind_column(table.get(), static_cast<int>(i + 1), buffers[i].data(), &lengths[i]);
  }
  MdbColumn* Column(unsigned i) const {
    return static_cast<MdbColumn*>(g_ptr_array_index(table->columns, i));
  }
};

void BM_ReaderScanRows(benchmark::State& state) {
  const std::string& path = RowDatabase();
  std::int64_t rows = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    jet::Database db = jet::Database::Open(path);
    jet::Table table = db.OpenTable("Rows");
    jet::RowCursor cursor = table.Rows();
    jet::Row row;
    while (cursor.Next(row)) {
      benchmark::DoNotOptimize(row.values.data());
      ++rows;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "scan rows: reader", seconds);
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

void BM_LibmdbScanRows(benchmark::State& state) {
  const std::string& path = RowDatabase();
  std::int64_t rows = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    LibmdbTable t(path, "Rows");
    while (mdb_fetch_row(t.table.get())) {
      benchmark::DoNotOptimize(t.buffers[0].data());
      ++rows;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "scan rows: libmdb", seconds);
  state.counters["rows/s"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
}

void BM_ReaderOleValues(benchmark::State& state) {
  const std::string& path = BlobDatabase();
  std::int64_t bytes = 0;
  double seconds = 0;
  std::vector<std::byte> buffer;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    jet::Database db = jet::Database::Open(path);
    jet::Table table = db.OpenTable("Pictures");
    jet::RowCursor cursor = table.Rows();
    jet::Row row;
    while (cursor.Next(row)) {
      buffer.clear();
      table.ReadLongValue(std::get<jet::LongValue>(row.values[1]),
                          [&buffer](std::span<const std::byte> piece) {
                            buffer.insert(buffer.end(), piece.begin(), piece.end());
                          });
      bytes += static_cast<std::int64_t>(buffer.size());
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "OLE values: reader", seconds);
  state.counters["bytes/s"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsRate);
}

void BM_LibmdbOleValues(benchmark::State& state) {
  const std::string& path = BlobDatabase();
  std::int64_t bytes = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    LibmdbTable t(path, "Pictures");
    while (mdb_fetch_row(t.table.get())) {
      std::size_t size = 0;
      void* data = mdb_ole_read_full(t.mdb.get(), t.Column(1), &size);
      bytes += static_cast<std::int64_t>(size);
      std::free(data);
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  }
  Record(state, "OLE values: libmdb", seconds);
  state.counters["bytes/s"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_ReaderScanRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibmdbScanRows)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReaderOleValues)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibmdbOleValues)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (const char* what : {"scan rows", "OLE values"}) {
    const auto ours = secondsPerRun.find(std::string(what) + ": reader");
    const auto theirs = secondsPerRun.find(std::string(what) + ": libmdb");
    if (ours == secondsPerRun.end() || theirs == secondsPerRun.end()) continue;
    std::printf("%s: reader %.1f ms, libmdb %.1f ms, reader/libmdb %.2f\n", what,
                ours->second * 1e3, theirs->second * 1e3, ours->second / theirs->second);
  }
  return 0;
}
