// Stored queries of a real file: kinds, parameters and the SQL rebuilt from
// MSysQueries, and the rebuilding itself on small hand-made row sets.

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "dao/engine/dao_constants.h"
#include "dao/engine/querydef.h"
#include "dao/mdb/query_sql.h"
#include "test_engine_support.h"

namespace corvid::dao {
namespace {

using testing::EngineSession;

const std::string kQueries = testing::kFixtures + "queryTestV2003.mdb";

std::string Lines(std::string text) {
  // union parts keep the line breaks they were typed with (CR LF)
  std::string plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    plain += text[i];
  }
  return plain;
}

TEST(StoredQueries, KindsOfEveryQueryInTheFile) {
  EngineSession session;
  auto database = session.Open(kQueries);
  const std::vector<std::pair<std::string, int>> expected = {
      {"SelectQuery", dbQSelect},      {"CrosstabQuery", dbQCrosstab},
      {"DeleteQuery", dbQDelete},      {"UpdateQuery", dbQUpdate},
      {"AppendQuery", dbQAppend},      {"MakeTableQuery", dbQMakeTable},
      {"DataDefinitionQuery", dbQDDL}, {"PassthroughQuery", dbQSQLPassThrough},
      {"UnionQuery", dbQSetOperation}};
  auto& queries = database->QueryDefs();
  EXPECT_EQ(queries.Count(), static_cast<int>(expected.size()));
  // the names mdbtools lists are the ones the engine has
  for (const auto& name :
       testing::Split(testing::RunCommand("mdb-queries " + testing::Quote(kQueries)), " ")) {
    std::string trimmed = std::regex_replace(name, std::regex("\\s+"), "");
    if (!trimmed.empty()) EXPECT_NO_THROW(queries.Item(trimmed)) << trimmed;
  }
  for (const auto& [name, type] : expected) EXPECT_EQ(queries.Item(name).Type(), type) << name;
}

TEST(StoredQueries, SqlAsAccessShowsIt) {
  EngineSession session;
  auto database = session.Open(kQueries);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"SelectQuery",
       "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\n"
       "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
       "(Table3.col1 = Table2.col1) AND (Table3.col1 = Table2.col2)\n"
       "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\n"
       "ORDER BY Table2.col1;"},
      {"UpdateQuery",
       "PARAMETERS [User Name] Text ( 255 );\n"
       "UPDATE Table1\n"
       "SET Table1.col1 = \"foo\", Table1.col2 = [Table2].[col3], [Table2].[col1] = [User Name]\n"
       "WHERE ((([Table2].[col1]) Is Not Null));"},
      {"AppendQuery",
       "INSERT INTO Table3 ( col2, col2, col3 )\n"
       "SELECT [Table1].[col2], [Table2].[col2], [Table2].[col3]\n"
       "FROM Table3, Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1];"},
      {"DeleteQuery",
       "DELETE Table1.col1, Table1.col2, Table1.col3\n"
       "FROM Table1\n"
       "WHERE (((Table1.col1)>\"blah\"));"},
      {"MakeTableQuery",
       "SELECT Max(Table2.col1) AS MaxOfcol1, Table2.col2, Table3.col2 INTO Table4\n"
       "FROM (Table2 INNER JOIN Table1 ON Table2.col1 = Table1.col2) RIGHT JOIN Table3 ON "
       "Table1.col2 = Table3.col3\n"
       "GROUP BY Table2.col2, Table3.col2\n"
       "HAVING (((Max(Table2.col1))=\"buzz\") AND ((Table2.col2)<>\"blah\"));"},
      {"CrosstabQuery",
       "TRANSFORM Count([Table2].[col2]) AS CountOfcol2\n"
       "SELECT Table2_1.col1, [Table2].[col3], Avg(Table2_1.col2) AS AvgOfcol2\n"
       "FROM (Table1 INNER JOIN Table2 ON [Table1].[col1]=[Table2].[col1]) INNER JOIN Table2 AS "
       "Table2_1 ON [Table2].[col1]=Table2_1.col3\n"
       "WHERE ((([Table1].[col1])>\"10\") And ((Table2_1.col1) Is Not Null) And "
       "((Avg(Table2_1.col2))>\"10\"))\n"
       "GROUP BY Table2_1.col1, [Table2].[col3]\n"
       "ORDER BY [Table2].[col3]\n"
       "PIVOT [Table1].[col1];"},
      {"UnionQuery",
       "Select Table1.col1, Table1.col2\nwhere Table1.col1 = \"foo\"\nUNION\n"
       "Select Table2.col1, Table2.col2\nUNION\n"
       "Select Table3.col1, Table3.col2\nwhere Table3.col3 > \"blah\";"},
      // kept as typed: the engine passes these on as they are
      {"PassthroughQuery", "ALTER TABLE Table4 DROP COLUMN col5;"},
      {"DataDefinitionQuery", "CREATE TABLE Table5 (col1 CHAR, col2 CHAR);"},
  };
  for (const auto& [name, sql] : cases) {
    std::string text = database->QueryDefs().Item(name).SQL();
    EXPECT_EQ(Lines(text), sql) << name;
    // one clause a line; only texts stored whole keep the file's own breaks
    if (name != "UnionQuery") EXPECT_EQ(text.find('\r'), std::string::npos) << name;
  }
}

// Every column, condition and table name that mdbtools reads from the
// rows of a select-shaped query turns up in the rebuilt text.
TEST(StoredQueries, RebuiltTextHoldsWhatMdbtoolsReads) {
  EngineSession session;
  auto database = session.Open(kQueries);
  for (const char* name : {"SelectQuery", "DeleteQuery", "MakeTableQuery", "CrosstabQuery"}) {
    std::string reference =
        testing::RunCommand("mdb-queries -1 " + testing::Quote(kQueries) + " " + name);
    ASSERT_FALSE(reference.empty()) << name;
    std::string sql = database->QueryDefs().Item(name).SQL();
    std::smatch parts;
    ASSERT_TRUE(std::regex_search(reference, parts,
                                  std::regex("^SELECT (?:DISTINCT )?(.*) FROM (.*?) ?"
                                             "(?:WHERE (.*?) ?)?(?:ORDER BY (.*?))?\\s*$")))
        << reference;
    for (const auto& column : testing::Split(parts[1], ","))
      EXPECT_NE(sql.find(column), std::string::npos) << name << ": " << column;
    for (auto table : testing::Split(parts[2], ",")) {
      table = table.substr(1, table.size() - 2);  // "[Table1]"
      EXPECT_NE(sql.find(table), std::string::npos) << name << ": " << table;
    }
    if (parts[3].matched) EXPECT_NE(sql.find(parts[3].str()), std::string::npos) << name;
    if (parts[4].matched) EXPECT_NE(sql.find(parts[4].str()), std::string::npos) << name;
  }
}

TEST(StoredQueries, RunningOrChangingAStoredQueryIsRefused) {
  EngineSession session;
  auto database = session.Open(kQueries);
  QueryDef& query = database->QueryDefs().Item("SelectQuery");
  try {
    query.OpenRecordset(dbOpenSnapshot, 0, 0);
    ADD_FAILURE() << "stored query ran";
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), kOperationNotSupported);
    EXPECT_NE(std::string(error.what()).find("'SelectQuery'"), std::string::npos);
  }
  try {
    query.SetSQL("SELECT * FROM Table1;");
    ADD_FAILURE() << "stored query changed";
  } catch (const EngineError& error) {
    EXPECT_EQ(error.Number(), kCannotUpdate);
  }
  EXPECT_FALSE(query.SQL().empty());
}

QueryRow Row(int attribute, std::string name1 = {}, std::string name2 = {},
             std::string expression = {}, std::optional<int> flag = std::nullopt) {
  return QueryRow{attribute, {}, std::move(name1), std::move(name2), std::move(expression), flag};
}

TEST(StoredQuerySql, RowsTheFixtureDoesNotHave) {
  struct Case {
    const char* what;
    std::vector<QueryRow> rows;
    std::string sql;
  };
  const std::vector<Case> cases = {
      {"select star, TOP n PERCENT, descending order, names needing brackets",
       {Row(0, {}, {}, {}, 0), Row(1, {}, {}, {}, 1), Row(3, "25", {}, {}, 0x01 | 0x10 | 0x20),
        Row(5, "Order Details"), Row(11, "D", {}, "[Order Details].Quantity"),
        Row(11, {}, {}, "[Order Details].OrderID"), Row(255)},
       "SELECT TOP 25 PERCENT *\nFROM [Order Details]\n"
       "ORDER BY [Order Details].Quantity DESC, [Order Details].OrderID;"},
      {"rows stored out of attribute order, DISTINCTROW, alias with a space, owner access",
       {Row(6, "Unit Price", {}, "p.UnitPrice"), Row(1, {}, {}, {}, 1), Row(5, "Products", "p"),
        Row(3, {}, {}, {}, 0x08 | 0x04), Row(8, {}, {}, "p.UnitPrice>10")},
       "SELECT DISTINCTROW p.UnitPrice AS [Unit Price]\nFROM Products AS p\n"
       "WHERE p.UnitPrice>10\nWITH OWNERACCESS OPTION;"},
      {"union all with an order",
       {Row(1, {}, {}, {}, 9), Row(3, {}, {}, {}, 0x02),
        Row(5, {}, "X7YZ_____1", "SELECT a FROM t "),
        Row(5, {}, "X7YZ_____2", "SELECT a FROM u\r\n"), Row(11, {}, {}, "a")},
       "SELECT a FROM t\nUNION ALL\nSELECT a FROM u\nORDER BY a;"},
      {"parameters of several types, make-table into another file",
       {Row(1, "Archive", "C:\\old.mdb", {}, 2), Row(2, "From", {}, {}, dbDate),
        Row(2, "Top Count", {}, {}, dbLong), Row(5, "Orders"), Row(6, {}, {}, "Orders.*"),
        Row(8, {}, {}, "Orders.OrderDate>=[From]")},
       "PARAMETERS [From] DateTime, [Top Count] Long;\n"
       "SELECT Orders.* INTO Archive IN 'C:\\old.mdb'\nFROM Orders\nWHERE "
       "Orders.OrderDate>=[From];"},
      {"keywords used as names are bracketed",
       {Row(1, {}, {}, {}, 1), Row(5, "Order"), Row(5, "Group", "Select"), Row(6, {}, {}, "x"),
        Row(7, "Order", "Select", "Order.id = Select.id", 1)},
       "SELECT x\nFROM [Order] INNER JOIN [Group] AS [Select] ON Order.id = Select.id;"},
      {"a subquery as a table",
       {Row(1, {}, {}, {}, 1), Row(5, {}, "s", "SELECT x FROM t"), Row(6, {}, {}, "s.x")},
       "SELECT s.x\nFROM (SELECT x FROM t) AS s;"},
      {"no kind row", {Row(5, "t"), Row(6, {}, {}, "t.a")}, ""},
      {"an unknown kind", {Row(1, {}, {}, {}, 42), Row(5, "t")}, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(Lines(StoredQuerySql(c.rows)), c.sql) << c.what;
}

TEST(StoredQuerySql, RowsOfOneAttributeFollowTheirOrderColumn) {
  auto column = [](std::string order, std::string expression) {
    QueryRow row = Row(6, {}, {}, std::move(expression));
    row.order = std::move(order);
    return row;
  };
  std::vector<QueryRow> rows = {Row(1, {}, {}, {}, 1), Row(5, "t"), column("\x02", "t.b"),
                                column("\x01", "t.a"), column("\x03", "t.c")};
  EXPECT_EQ(Lines(StoredQuerySql(rows)), "SELECT t.a, t.b, t.c\nFROM t;");
}

}  // namespace
}  // namespace corvid::dao
