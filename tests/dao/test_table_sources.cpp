// The table's other sources (SQL text with parameters, stored queries), the
// parameter literals, and the Encrypter hook.

#include <gtest/gtest.h>

#include <algorithm>

#include "dao/table/blob_stream.h"
#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "dao/values/sql_params.h"
#include "test_table_support.h"

namespace corvid {
namespace {

using namespace testing_support;

TEST(SqlParams, NamesAreFoundOncePerNameOutsideQuotes) {
  EXPECT_EQ(ParseParamNames(
                "select * from t where a = :A and b = :b2 or a = :a and c = ':quoted' and d::e"),
            (std::vector<std::string>{"A", "b2"}));
  TParams params{{"b2", TFieldType::ftInteger, "7"}, {"gone", TFieldType::ftString, "x"}};
  RebuildParams(params, "where x = :new and y = :B2");
  ASSERT_EQ(params.size(), 2u);
  EXPECT_EQ(params[0].name, "new");
  EXPECT_FALSE(params[0].value.has_value());
  EXPECT_EQ(params[1].value, "7");  // kept by name, letter case ignored
}

TEST(SqlParams, LiteralsByType) {
  struct Case {
    TParam param;
    std::string literal;
  };
  const std::vector<Case> cases{
      {{"p", TFieldType::ftString, std::nullopt}, " IS NULL"},
      {{"p", TFieldType::ftString, "say \"hi\""}, "\"say \"\"hi\"\"\""},
      {{"p", TFieldType::ftMemo, "m"}, "\"m\""},
      {{"p", TFieldType::ftFloat, "1,234.5"}, "1234.5"},
      {{"p", TFieldType::ftInteger, "42"}, "42"},
      {{"p", TFieldType::ftDate, "730519 43200000"}, "#02/03/2001#"},
      {{"p", TFieldType::ftTime, "730519 43261000"}, "#12:01:01#"},
      {{"p", TFieldType::ftDateTime, "730519 43200000"}, "#02/03/2001 12:00:00#"},
      {{"p", TFieldType::ftBytes, "{12345678-9abc-def0-0123-456789abcdef}", true},
       "{guid {12345678-9ABC-DEF0-0123-456789ABCDEF}}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.literal);
    EXPECT_EQ(ParamLiteral(c.param), c.literal);
  }
}

TEST(SqlParams, SubstitutesWholeWordsOnly) {
  const TParams params{{"id", TFieldType::ftInteger, "5"}, {"name", TFieldType::ftString, "x"}};
  EXPECT_EQ(SubstituteParams("where id = :ID and idx = :idx and n = :name or m=:name_2 and k=(:id)",
                             params),
            "where id = 5 and idx = :idx and n = \"x\" or m=:name_2 and k=(5)");
}

TEST(TableSources, SqlTextRebuildsParametersAndReachesTheEngine) {
  ScratchDir dir;
  OpenDatabase db(MakeThingsDatabase(dir));
  db.table.F_Set_TableName("Things");
  db.table.F_Set_SQL({"select * from Things", "where Name = :name"});
  EXPECT_EQ(db.table.TableName(), "");  // an SQL source replaces the table name
  ASSERT_EQ(db.table.Params().size(), 1u);
  EXPECT_EQ(db.table.Params()[0].name, "name");
  // The engine runs no SQL yet: its error passes through, the table stays closed.
  EXPECT_THROW(db.table.Open(), dao::EngineError);
  EXPECT_FALSE(db.table.Active());
}

TEST(TableSources, StoredParametersSurviveLoading) {
  TVxDaoTable table;
  table.BeginLoading();
  table.F_Set_SQL({"select * from t where a = :a and b = :b"});
  EXPECT_TRUE(table.Params().empty());  // not parsed while loading
  table.F_Set_Params({{"b", TFieldType::ftInteger, "2"}, {"stale", TFieldType::ftInteger, "9"}});
  table.FinishSetup();
  ASSERT_EQ(table.Params().size(), 2u);
  EXPECT_EQ(table.Params()[0].name, "a");
  EXPECT_FALSE(table.Params()[0].value.has_value());
  EXPECT_EQ(table.Params()[1].value, "2");
  // Outside loading, assigning copies values by name only.
  table.F_Set_Params({{"A", TFieldType::ftString, "x"}, {"other", TFieldType::ftString, "y"}});
  EXPECT_EQ(table.Params().size(), 2u);
  EXPECT_EQ(table.Params()[0].value, "x");
}

TEST(TableSources, StoredQueryNameAndType) {
  OpenDatabase db(kFixtures + "queryTestV2003.mdb");
  db.table.F_Set_TableType(1);
  db.table.F_Set_TableName("Table1");
  db.table.F_Set_QueryDefName("SelectQuery");
  EXPECT_EQ(db.table.TableName(), "");
  EXPECT_EQ(db.table.TableType(), 2);  // a query has no table-type recordset
  EXPECT_EQ(db.table.QueryDefType(), "dbQSelect");
  // The query's SQL as the connection reads it, one line per entry.
  std::string joined;
  for (const std::string& line : db.table.QueryDefSQLText())
    joined += (joined.empty() ? "" : "\n") + line;
  EXPECT_EQ(joined, db.database.GetQueryDefSql("SelectQuery"));
  EXPECT_THROW(db.table.Open(), dao::EngineError);  // no query engine yet
  EXPECT_FALSE(db.table.Active());
}

// Reverses every text it is given.
class ReversingEncrypter : public TVxEncrypter {
 public:
  void SetEncodedString(const std::string& text) override { text_ = text; }
  std::string DecodedString() override { return std::string(text_.rbegin(), text_.rend()); }

 private:
  std::string text_;
};

TEST(TableSources, EncrypterDecodesTextsAndBlobs) {
  ScratchDir dir;
  OpenDatabase db(MakeThingsDatabase(dir));
  ReversingEncrypter encrypter;
  db.table.F_Set_TableName("Things");
  db.table.F_Set_Encrypter(&encrypter);
  db.table.Open();
  EXPECT_EQ(db.table.FieldByName("Name").AsString(), "ahpla");
  EXPECT_EQ(db.table.FieldByName("Count").AsString(), "42");  // numbers are not passed through
  TVxBlobStream notes(db.table.FieldByName("Notes"), TBlobStreamMode::bmRead);
  const std::string memo(reinterpret_cast<const char*>(notes.Data().data()), notes.Data().size());
  const std::string plain = "Käse\r\nline two";
  EXPECT_EQ(memo, std::string(plain.rbegin(), plain.rend()));
}

}  // namespace
}  // namespace corvid
