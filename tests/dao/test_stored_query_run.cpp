// Running stored select queries: a writer-made file carries queries of the
// shape the engine runs (with a declared parameter) and some it does not;
// the rows are checked against mdb-export's reading of the table, filtered
// and ordered here by the query's own rule.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/querydef.h"
#include "dao/engine/recordset.h"
#include "test_engine_support.h"
#include "test_table_support.h"
#include "jet/mdb_writer.h"

namespace corvid::dao {
namespace {

namespace mw = corvid::jet;
using testing::EngineSession;

constexpr int kRows = 1200;

std::string NameOf(int id) {
  // repeats and letter case vary, so the ordering is not the id order
  static const char* const kStems[] = {"beach", "Alps", "city", "Dunes", "attic", "Bridge"};
  return std::string(kStems[(id * 7) % 6]) + "-" + std::to_string((id * 37) % 101);
}

struct QueryFile {
  corvid::testing_support::ScratchDir dir;
  std::string path;

  explicit QueryFile(mw::JetFormat format) : path(dir / "queries.mdb") {
    mw::MdbWriter writer(path, {.format = format});
    auto& photos = writer.AddTable({"photos",
                                    {{"id", mw::ColumnType::Long},
                                     {"name", mw::ColumnType::Text, 40},
                                     {"rating", mw::ColumnType::Integer}}});
    for (int id = 1; id <= kRows; ++id)
      photos.AddRow({std::int64_t{id}, NameOf(id),
                     id % 9 == 0 ? mw::Value{mw::Null} : mw::Value{std::int64_t{id % 5}}});
    // SELECT * FROM photos WHERE photos.rating>=3 ORDER BY photos.name DESC, photos.id;
    writer.AddQuery({"Good photos",
                     0,
                     {{1, {}, {}, {}, 1},
                      {3, {}, {}, {}, 1},
                      {5, "photos", {}, {}, {}},
                      {8, {}, {}, "photos.rating>=3", {}},
                      {11, "D", {}, "photos.name", {}},
                      {11, {}, {}, "photos.id", {}}}});
    // PARAMETERS [Min id] Long; SELECT photos.* FROM photos WHERE photos.id>=[Min id] ...
    writer.AddQuery({"From id",
                     0,
                     {{1, {}, {}, {}, 1},
                      {2, "Min id", {}, {}, dbLong},
                      {3, {}, {}, {}, 1},
                      {5, "photos", {}, {}, {}},
                      {8, {}, {}, "photos.id>=[Min id]", {}},
                      {11, {}, {}, "photos.id", {}}}});
    // SELECT photos.name FROM photos;  (a field list: beyond what the engine runs)
    writer.AddQuery(
        {"Names only",
         0,
         {{1, {}, {}, {}, 1}, {5, "photos", {}, {}, {}}, {6, {}, {}, "photos.name", {}}}});
    // DELETE FROM photos WHERE photos.rating IS NULL;  (an action query)
    writer.AddQuery({"Clear unrated",
                     0x20,
                     {{1, {}, {}, {}, 5},
                      {5, "photos", {}, {}, {}},
                      {8, {}, {}, "photos.rating Is Null", {}}}});
    writer.Finish();
  }
};

struct ExportedRow {
  int id;
  std::string name;
  std::string rating;
};

std::vector<ExportedRow> ExportedRows(const std::string& path) {
  std::vector<ExportedRow> rows;
  const auto text =
      testing::RunCommand("mdb-export -H -d '|' -q '' " + testing::Quote(path) + " photos");
  for (const auto& line : testing::Split(text, "\n")) {
    if (line.empty()) continue;
    auto parts = testing::Split(line, "|");
    EXPECT_EQ(parts.size(), 3u) << line;
    if (parts.size() != 3) continue;
    rows.push_back({std::stoi(parts[0]), parts[1], parts[2]});
  }
  return rows;
}

std::vector<int> Ids(Recordset& rows) {
  std::vector<int> ids;
  Field& id = rows.Fields().Item("id");
  for (; !rows.Eof(); rows.MoveNext())
    ids.push_back(static_cast<int>(std::get<std::int64_t>(id.Value())));
  return ids;
}

int ErrorOf(const std::function<void()>& body, std::string* message = nullptr) {
  try {
    body();
  } catch (const EngineError& error) {
    if (message) *message = error.what();
    return error.Number();
  }
  return 0;
}

class StoredQueryRun : public ::testing::TestWithParam<mw::JetFormat> {};

TEST_P(StoredQueryRun, SelectQueryGivesTheRowsOfItsConditionInItsOrder) {
  QueryFile file(GetParam());
  const auto exported = ExportedRows(file.path);
  ASSERT_EQ(exported.size(), static_cast<std::size_t>(kRows));
  // the same rule, applied to mdbtools' reading: rating >= 3 (Null never
  // passes), name descending without regard to case, then id
  std::vector<ExportedRow> expected;
  for (const auto& row : exported)
    if (!row.rating.empty() && std::stoi(row.rating) >= 3) expected.push_back(row);
  std::stable_sort(expected.begin(), expected.end(),
                   [](const ExportedRow& a, const ExportedRow& b) {
                     std::string la = a.name, lb = b.name;
                     std::transform(la.begin(), la.end(), la.begin(), ::tolower);
                     std::transform(lb.begin(), lb.end(), lb.begin(), ::tolower);
                     return la != lb ? la > lb : a.id < b.id;
                   });
  std::vector<int> expectedIds;
  for (const auto& row : expected) expectedIds.push_back(row.id);

  EngineSession session;
  auto database = session.Open(file.path);
  QueryDef& query = database->QueryDefs().Item("Good photos");
  EXPECT_EQ(query.SQL(),
            "SELECT *\nFROM photos\nWHERE photos.rating>=3\nORDER BY photos.name DESC, photos.id;");
  // mdbtools reads the same stored query from the file
  const auto listed =
      testing::RunCommand("mdb-queries " + testing::Quote(file.path) + " 'Good photos'");
  EXPECT_NE(listed.find("photos.rating>=3"), std::string::npos) << listed;
  for (int type : {dbOpenDynaset, dbOpenSnapshot, dbOpenForwardOnly}) {
    auto rows = query.OpenRecordset(type, 0, 0);
    EXPECT_EQ(Ids(*rows), expectedIds) << "type " << type;
  }
  // by name through the database, as a table component opens its source
  auto byName = database->OpenRecordset("Good photos", dbOpenDynaset);
  EXPECT_EQ(Ids(*byName), expectedIds);
}

TEST_P(StoredQueryRun, DeclaredParameterTakesTheGivenValue) {
  QueryFile file(GetParam());
  EngineSession session;
  auto database = session.Open(file.path);
  QueryDef& query = database->QueryDefs().Item("From id");
  ASSERT_EQ(query.Parameters().Count(), 1);
  std::string message;
  EXPECT_EQ(ErrorOf([&] { query.OpenRecordset(dbOpenDynaset, 0, 0); }, &message), 3061);
  EXPECT_NE(message.find("Too few parameters. Expected 1."), std::string::npos) << message;
  EXPECT_NE(message.find("'From id'"), std::string::npos) << message;

  std::vector<int> last;
  for (int id = kRows - 4; id <= kRows; ++id) last.push_back(id);
  // a number, and the text form the table component hands over
  for (const Variant& value :
       {Variant{std::int64_t{kRows - 4}}, Variant{std::to_string(kRows - 4)}}) {
    query.Parameters().Item("Min id").SetValue(value);
    auto rows = query.OpenRecordset(dbOpenSnapshot, 0, 0);
    EXPECT_EQ(Ids(*rows), last);
  }
  query.Parameters().Item("Min id").SetValue(std::string("twelve"));
  EXPECT_EQ(ErrorOf([&] { query.OpenRecordset(dbOpenSnapshot, 0, 0); }, &message), 3421);
  EXPECT_NE(message.find("twelve"), std::string::npos) << message;
}

TEST_P(StoredQueryRun, QueriesBeyondWhatTheEngineRunsNameTheQuery) {
  QueryFile file(GetParam());
  EngineSession session;
  auto database = session.Open(file.path);
  for (const char* name : {"Names only", "Clear unrated"}) {
    std::string message;
    EXPECT_EQ(ErrorOf([&] { database->QueryDefs().Item(name).OpenRecordset(dbOpenDynaset, 0, 0); },
                      &message),
              kOperationNotSupported)
        << name;
    EXPECT_NE(message.find(std::string("'") + name + "'"), std::string::npos) << message;
  }
  // selecting from a stored query would need a query engine
  EXPECT_EQ(
      ErrorOf([&] { database->OpenRecordset("Select * From [Good photos];", dbOpenDynaset); }),
      kOperationNotSupported);
}

TEST_P(StoredQueryRun, TableComponentOpensAStoredQueryWithItsParameter) {
  QueryFile file(GetParam());
  corvid::testing_support::OpenDatabase open(file.path);
  open.table.F_Set_QueryDefName("From id");
  open.table.F_Set_QueryDefParameters({std::to_string(kRows - 2)});
  open.table.SetActive(true);
  std::vector<std::string> ids;
  for (; !open.table.Eof(); open.table.Next())
    ids.push_back(open.table.FieldByName("id").AsString());
  EXPECT_EQ(ids, (std::vector<std::string>{std::to_string(kRows - 2), std::to_string(kRows - 1),
                                           std::to_string(kRows)}));
  // the stored text as the component shows it, one clause a line
  ASSERT_FALSE(open.table.QueryDefSQLText().empty());
  EXPECT_EQ(open.table.QueryDefSQLText().front(), "PARAMETERS [Min id] Long;");
}

INSTANTIATE_TEST_SUITE_P(Formats, StoredQueryRun,
                         ::testing::Values(mw::JetFormat::Jet4, mw::JetFormat::Jet3),
                         [](const auto& info) {
                           return info.param == mw::JetFormat::Jet4 ? "Jet4" : "Jet3";
                         });

}  // namespace
}  // namespace corvid::dao
