// The table component's read walk as the extraction run drives it (read-only
// table: every field text and one blob stream per record) next to editing
// through the component on a writer-made file: an edit of a memo and an OLE
// value posted, and an insert with a delete. Records or posts per second are
// printed as counters.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "dao/table/blob_stream.h"
#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "jet/mdb_writer.h"

namespace {

using namespace corvid;
namespace w = corvid::jet;

constexpr int kRows = 5000;

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TMPDIR");
  return (std::filesystem::path(dir && *dir ? dir : "/tmp") / name).string();
}

std::vector<std::byte> Pattern(std::size_t n, unsigned salt) {
  std::vector<std::byte> bytes(n);
  for (std::size_t i = 0; i < n; ++i) bytes[i] = static_cast<std::byte>((i + salt) % 251);
  return bytes;
}

std::string MakeDatabase(const char* name) {
  const std::string path = TempPath(name);
  std::filesystem::remove(path);
  w::MdbWriter writer(path);
  auto& table = writer.AddTable({"Items",
                                 {{"id", w::ColumnType::Long},
                                  {"name", w::ColumnType::Text, 30},
                                  {"notes", w::ColumnType::Memo},
                                  {"pic", w::ColumnType::OleObject}}});
  for (int i = 0; i < kRows; ++i)
    table.AddRow({std::int64_t{i}, "Row " + std::to_string(i), std::string(200, 'n'),
                  w::Bytes(Pattern(4000, static_cast<unsigned>(i)))});
  writer.Finish();
  return path;
}

struct Session {
  Session(const std::string& path, bool readOnly) {
    database.F_Set_DatabaseType("Access");
    database.F_Set_Database(path);
    database.F_Set_Connected(true);
    table.F_Set_Database(&database);
    table.F_Set_TableType(2);
    table.F_Set_LockType(3);
    table.F_Set_ReadOnly(readOnly);
    table.F_Set_TableName("Items");
    table.Open();
  }
  ~Session() {
    table.Close();
    database.F_Set_Connected(false);
  }
  TVxDaoDatabase database;
  TVxDaoTable table;
};

void BM_ReadOnlyWalk(benchmark::State& state) {
  static const std::string path = MakeDatabase("corvid-bench-editing-read.mdb");
  Session session(path, true);
  std::int64_t records = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (session.table.First(); !session.table.Eof(); session.table.Next()) {
      for (std::size_t f = 0; f < 2; ++f) bytes += session.table.Fields(f).AsString().size();
      TVxBlobStream stream(session.table.FieldByName("pic"), TBlobStreamMode::bmRead);
      bytes += static_cast<std::size_t>(stream.Size());
      ++records;
    }
  }
  benchmark::DoNotOptimize(bytes);
  state.counters["records/s"] =
      benchmark::Counter(static_cast<double>(records), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ReadOnlyWalk)->Unit(benchmark::kMillisecond);

void BM_EditMemoAndOlePost(benchmark::State& state) {
  static const std::string path = MakeDatabase("corvid-bench-editing-write.mdb");
  Session session(path, false);
  session.table.First();
  std::int64_t posts = 0;
  unsigned salt = 0;
  const std::vector<std::byte> base = Pattern(4000, 0);
  for (auto _ : state) {
    session.table.Edit();
    session.table.FieldByName("notes").SetText("edited " + std::to_string(++salt));
    {
      TVxBlobStream stream(session.table.FieldByName("pic"), TBlobStreamMode::bmWrite);
      std::vector<std::byte> bytes = base;
      bytes[0] = static_cast<std::byte>(salt);
      stream.Write(bytes);
    }
    session.table.Post();
    ++posts;
    session.table.Next();
    if (session.table.Eof()) session.table.First();
  }
  state.counters["posts/s"] =
      benchmark::Counter(static_cast<double>(posts), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EditMemoAndOlePost)->Unit(benchmark::kMillisecond);

void BM_InsertThenDelete(benchmark::State& state) {
  static const std::string path = MakeDatabase("corvid-bench-editing-insert.mdb");
  Session session(path, false);
  std::int64_t operations = 0;
  for (auto _ : state) {
    session.table.Append();
    session.table.FieldByName("id").SetText("999999");
    session.table.FieldByName("name").SetText("inserted");
    session.table.Post();
    session.table.Delete();
    operations += 2;
  }
  state.counters["changes/s"] =
      benchmark::Counter(static_cast<double>(operations), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_InsertThenDelete)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
