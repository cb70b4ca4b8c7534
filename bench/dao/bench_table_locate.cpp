// Locate, lookup and master/detail on the table component: a locate of the
// last record of 20,000 (clone + FindFirst on a dynaset), a lookup of it
// (Filter + snapshot), locate by the composite PrimaryKey of nwind's Order
// Details (Seek on a table-type recordset) next to the same locate on a
// dynaset, and a master/detail link following 100 master moves.
// Operations per second are printed as counters.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/dataset/data_source.h"
#include "jet/mdb_writer.h"
#include "tests/fixture_files.h"

namespace {

using namespace corvid;
namespace w = corvid::jet;

constexpr int kRows = 20000;
const std::string kNwind = corvid::testing_fixtures::FixturePath("mdb/nwind.mdb");

const std::string& Items() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    std::string p =
        (std::filesystem::path(dir && *dir ? dir : "/tmp") / "corvid-bench-locate.mdb").string();
    std::filesystem::remove(p);
    w::MdbWriter writer(p);
    auto& table = writer.AddTable(
        {"Items", {{"id", w::ColumnType::Long}, {"name", w::ColumnType::Text, 30}}});
    for (int i = 0; i < kRows; ++i)
      table.AddRow({std::int64_t{i}, "Row \"" + std::to_string(i) + "\""});
    writer.Finish();
    return p;
  }();
  return path;
}

struct Session {
  explicit Session(const std::string& path, const std::string& tableName, int type = 2) {
    database.F_Set_DatabaseType("Access");
    database.F_Set_Database(path);
    database.F_Set_Connected(true);
    table.F_Set_Database(&database);
    table.F_Set_ReadOnly(true);
    table.F_Set_TableName(tableName);
    table.F_Set_TableType(type);
    table.Open();
  }
  TVxDaoDatabase database;
  TVxDaoTable table;
};

void Count(benchmark::State& state) {
  state.counters["per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_LocateLastOfManyOnADynaset(benchmark::State& state) {
  Session s(Items(), "Items");
  const std::string key = "Row \"" + std::to_string(kRows - 1) + "\"";
  for (auto _ : state) {
    s.table.First();
    if (!s.table.Locate("name", {key}, loCaseInsensitive)) state.SkipWithError("not found");
  }
  Count(state);
}

void BM_LookupLastOfMany(benchmark::State& state) {
  Session s(Items(), "Items");
  const std::string key = std::to_string(kRows - 1);
  for (auto _ : state) benchmark::DoNotOptimize(s.table.Lookup("id", {key}, "name"));
  Count(state);
}

void LocateOrderDetails(benchmark::State& state, int type) {
  Session s(kNwind, "Order Details", type);
  int i = 0;
  const char* keys[][2] = {{"11077", "77"}, {"10248", "11"}, {"10500", "15"}, {"10800", "11"}};
  for (auto _ : state) {
    const auto& key = keys[i++ % 4];
    if (!s.table.Locate("OrderID;ProductID", {key[0], key[1]})) state.SkipWithError("not found");
  }
  Count(state);
}

void BM_LocateBySeekOnTheCompositeKey(benchmark::State& state) { LocateOrderDetails(state, 1); }
void BM_LocateByFindOnADynaset(benchmark::State& state) { LocateOrderDetails(state, 2); }

void BM_MasterDetailFollowsTheMaster(benchmark::State& state) {
  Session master(kNwind, "Orders");
  TVxDaoTable detail;
  detail.F_Set_Database(&master.database);
  detail.F_Set_ReadOnly(true);
  detail.F_Set_TableName("Order Details");
  TDataSource source(&master.table);
  detail.F_Set_MasterFields({"OrderID"});
  detail.F_Set_MasterSource(&source);
  detail.Open();
  for (auto _ : state) {
    master.table.First();
    for (int i = 0; i < 100; ++i) master.table.Next();
    benchmark::DoNotOptimize(detail.RecordCount());
  }
  state.counters["master_moves_per_second"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 101, benchmark::Counter::kIsRate);
  detail.Close();
}

BENCHMARK(BM_LocateLastOfManyOnADynaset)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookupLastOfMany)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LocateBySeekOnTheCompositeKey)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LocateByFindOnADynaset)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MasterDetailFollowsTheMaster)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
