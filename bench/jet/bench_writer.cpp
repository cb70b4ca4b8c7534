// Write throughput of the database writer against plain file writes of the
// same volume, in the same directory (TMPDIR, default /tmp; /dev/shm takes
// the disk out of the comparison). The 1 GiB figure comes from
//   corvid-mkmdb bench /dev/shm/bench.mdb --records 20000 --blob-kib 50
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "jet/mdb_writer.h"
#include "tools/mkmdb/bench_database.h"

namespace {

using namespace corvid::jet;
using namespace corvid::mkmdb;

std::string ScratchPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return (std::filesystem::path(dir ? dir : "/tmp") / name).string();
}

// Records of 50 KiB bare JPEG-like payloads (no OLE wrapper: the writer alone).
void BM_WriteBlobDatabase(benchmark::State& state) {
  const std::string path = ScratchPath("corvid-bench-blobs.mdb");
  BenchOptions options;
  options.records = state.range(0);
  options.blobBytes = 50 * 1024;
  std::uint64_t bytes = 0;
  for (auto _ : state) bytes += WriteBenchDatabase(path, options).fileBytes;
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
}
BENCHMARK(BM_WriteBlobDatabase)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The same volume written as plain 4 MiB blocks and synced: the floor.
void BM_PlainFileWrite(benchmark::State& state) {
  const std::string path = ScratchPath("corvid-bench-plain.bin");
  const std::size_t total = static_cast<std::size_t>(state.range(0)) * 50 * 1024;
  std::vector<char> block(4 << 20, 'x');
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    for (std::size_t done = 0; done < total; done += block.size())
      benchmark::DoNotOptimize(::write(fd, block.data(), std::min(block.size(), total - done)));
    ::fsync(fd);
    ::close(fd);
  }
  std::filesystem::remove(path);
  state.SetBytesProcessed(static_cast<std::int64_t>(total * state.iterations()));
}
BENCHMARK(BM_PlainFileWrite)->Arg(2000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Many small rows: encoding and page filling rather than bulk copying.
void BM_WriteSmallRows(benchmark::State& state) {
  const std::string path = ScratchPath("corvid-bench-rows.mdb");
  const std::int64_t rows = state.range(0);
  for (auto _ : state) {
    MdbWriter writer(path);
    auto& table = writer.AddTable({"Rows",
                                   {{"id", ColumnType::AutoNumber},
                                    {"name", ColumnType::Text, 40},
                                    {"value", ColumnType::Double},
                                    {"when", ColumnType::DateTime}}});
    std::vector<Value> row(4);
    for (std::int64_t i = 0; i < rows; ++i) {
      row[0] = Null;
      row[1] = std::string("record number ") + std::to_string(i);
      row[2] = i * 0.5;
      row[3] = Date{45000.0 + static_cast<double>(i) / 1440};
      table.AddRow(row);
    }
    writer.Finish();
  }
  std::filesystem::remove(path);
  state.SetItemsProcessed(rows * state.iterations());
}
BENCHMARK(BM_WriteSmallRows)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
