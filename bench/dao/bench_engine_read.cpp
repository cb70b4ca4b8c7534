// Reading through the engine against reading the file's bytes: OLE values
// of a generated table read into one reused buffer, a plain pread of the
// whole file for comparison, and a scan of many small rows. The byte rates
// and peak memory are printed as counters.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dao/discovery/engine_factory.h"
#include "dao/engine/dao_constants.h"
#include "jet/mdb_writer.h"

namespace {

using namespace corvid::dao;
namespace w = corvid::jet;

std::string ScratchPath(const std::string& name) {
  const char* dir = std::getenv("TMPDIR");
  return (std::filesystem::path(dir && *dir ? dir : "/tmp") / name).string();
}

// 500 OLE values of 200 KB (about 100 MB), written once per run.
const std::string& BlobDatabase() {
  static const std::string path = [] {
    std::string p = ScratchPath("corvid-bench-engine-blobs.mdb");
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

// 200,000 rows of a number and a short text.
const std::string& RowDatabase() {
  static const std::string path = [] {
    std::string p = ScratchPath("corvid-bench-engine-rows.mdb");
    std::filesystem::remove(p);
    w::MdbWriter writer(p);
    auto& table =
        writer.AddTable({"Rows", {{"id", w::ColumnType::Long}, {"name", w::ColumnType::Text, 30}}});
    for (int i = 0; i < 200000; ++i) table.AddRow({std::int64_t{i}, "row " + std::to_string(i)});
    writer.Finish();
    return p;
  }();
  return path;
}

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_FilePread(benchmark::State& state) {
  const std::string& path = BlobDatabase();
  std::vector<char> buffer(1 << 20);
  std::int64_t bytes = 0;
  for (auto _ : state) {
    int fd = ::open(path.c_str(), O_RDONLY);
    off_t offset = 0;
    ssize_t got;
    while ((got = ::pread(fd, buffer.data(), buffer.size(), offset)) > 0) offset += got;
    ::close(fd);
    bytes += offset;
  }
  state.counters["bytes_per_second"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsRate);
}

void BM_EngineReadOleValues(benchmark::State& state) {
  const std::string& path = BlobDatabase();
  auto engine = CreateEngineObject("DAO.DBEngine.120");
  auto workspace = engine->CreateWorkspace("bench", "Admin", "", dbUseJet);
  std::vector<std::byte> buffer;
  std::int64_t bytes = 0;
  for (auto _ : state) {
    auto database = workspace->OpenDatabase(path, 0, true, ";UID=Admin;PWD=;");
    auto recordset = database->OpenRecordset("Pictures", dbOpenDynaset);
    Field& img = recordset->Fields().Item("img");
    for (; !recordset->Eof(); recordset->MoveNext()) {
      img.ReadBytesInto(buffer);
      bytes += static_cast<std::int64_t>(buffer.size());
    }
    database->Close();
  }
  state.counters["bytes_per_second"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kIsRate);
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

void BM_EngineScanRows(benchmark::State& state) {
  const std::string& path = RowDatabase();
  auto engine = CreateEngineObject("DAO.DBEngine.120");
  auto workspace = engine->CreateWorkspace("bench", "Admin", "", dbUseJet);
  std::int64_t rows = 0;
  for (auto _ : state) {
    auto database = workspace->OpenDatabase(path, 0, true, ";UID=Admin;PWD=;");
    auto recordset = database->OpenRecordset("Rows", dbOpenDynaset);
    Field& name = recordset->Fields().Item("name");
    for (; !recordset->Eof(); recordset->MoveNext(), ++rows) benchmark::DoNotOptimize(name.Value());
    database->Close();
  }
  state.counters["rows_per_second"] =
      benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
  state.counters["peak_rss_MiB"] = PeakRssMiB();
}

BENCHMARK(BM_FilePread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineReadOleValues)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EngineScanRows)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
