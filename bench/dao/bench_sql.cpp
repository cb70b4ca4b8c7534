// Conditions and sort orders through the engine on 100,000 generated rows:
// the plain scan (which the extraction run uses) next to a filtered open, a
// sorted open, an SQL Where/Order By and a FindFirst that has to go to the
// last row. Rows per second are printed as counters.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "dao/discovery/engine_factory.h"
#include "dao/engine/dao_constants.h"
#include "jet/mdb_writer.h"

namespace {

using namespace corvid::dao;
namespace w = corvid::jet;

constexpr int kRows = 100000;

const std::string& Items() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string p =
        (std::filesystem::path(dir && *dir ? dir : "/tmp") / "corvid-bench-sql.mdb").string();
    std::filesystem::remove(p);
    w::MdbWriter writer(p);
    auto& table = writer.AddTable({"Items",
                                   {{"id", w::ColumnType::Long},
                                    {"name", w::ColumnType::Text, 30},
                                    {"qty", w::ColumnType::Long}}});
    for (int i = 0; i < kRows; ++i)
      table.AddRow({std::int64_t{i}, "Row " + std::to_string(i), std::int64_t{(i * 7919) % 1000}});
    writer.Finish();
    return p;
  }();
  return path;
}

template <class Open>
void Walk(benchmark::State& state, Open open) {
  auto engine = CreateEngineObject("DAO.DBEngine.120");
  auto workspace = engine->CreateWorkspace("bench", "Admin", "", dbUseJet);
  const std::string& path = Items();
  std::int64_t scanned = 0, shown = 0;
  for (auto _ : state) {
    auto database = workspace->OpenDatabase(path, 0, true, ";UID=Admin;PWD=;");
    auto recordset = open(*database);
    Field& name = recordset->Fields().Item("name");
    for (; !recordset->Eof(); recordset->MoveNext(), ++shown)
      benchmark::DoNotOptimize(name.Value());
    scanned += kRows;
    database->Close();
  }
  state.counters["table_rows_per_second"] =
      benchmark::Counter(static_cast<double>(scanned), benchmark::Counter::kIsRate);
  state.counters["rows_shown"] =
      static_cast<double>(shown) / static_cast<double>(state.iterations());
}

void BM_PlainScan(benchmark::State& state) {
  Walk(state, [](Database& db) { return db.OpenRecordset("Items", dbOpenDynaset); });
}

void BM_Filter(benchmark::State& state) {
  Walk(state, [](Database& db) {
    auto rs = db.OpenRecordset("Items", dbOpenDynaset);
    rs->SetFilter("[qty] > 500 AND [name] LIKE 'row 1*'");
    return rs->OpenRecordset(dbOpenDynaset, 0);
  });
}

void BM_Sort(benchmark::State& state) {
  Walk(state, [](Database& db) {
    auto rs = db.OpenRecordset("Items", dbOpenDynaset);
    rs->SetSort("[name] DESC");
    return rs->OpenRecordset(dbOpenDynaset, 0);
  });
}

void BM_SqlWhereOrderBy(benchmark::State& state) {
  Walk(state, [](Database& db) {
    return db.OpenRecordset("Select * From [Items] Where [qty] < 100 Order By [qty] DESC, [id];");
  });
}

void BM_FindFirstAtTheEnd(benchmark::State& state) {
  Walk(state, [](Database& db) {
    auto rs = db.OpenRecordset("Items", dbOpenDynaset);
    rs->FindFirst("[id] = " + std::to_string(kRows - 1));
    return rs;
  });
}

BENCHMARK(BM_PlainScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Filter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sort)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SqlWhereOrderBy)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindFirstAtTheEnd)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
