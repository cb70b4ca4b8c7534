// Condition texts, sort orders and the Select shape, parsed and evaluated
// against a few hand-made rows; every text the parser can't read must fail
// with the engine's error, never give an answer.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dao/engine/engine_error.h"
#include "dao/sql/condition.h"
#include "dao/sql/like_pattern.h"
#include "dao/sql/select_statement.h"
#include "dao/sql/sort_order.h"

namespace corvid::dao::sql {
namespace {

const std::vector<std::string> kColumns = {"Name", "Qty",  "Price", "When",
                                           "Done", "Note", "Key",   "Größe"};

// 15 January 2020 and 15 January 2020 10:30:00 as automation dates.
constexpr double kJan15 = 43845.0;
constexpr double kJan15Half = 43845.4375;

const std::vector<std::vector<Variant>> kRows = {
    // 0
    {std::string("Apple"), std::int64_t{10}, 1.5, Date{kJan15}, true,
     std::string("O'Brien said \"hi\""),
     std::string("{guid {0A1B2C3D-0000-1111-2222-333344445555}}"), std::string("Äpfel")},
    // 1
    {std::string("banana*split"), std::int64_t{-3}, 0.25, Date{kJan15Half}, false, Null{}, Null{},
     Null{}},
    // 2
    {Null{}, Null{}, Null{}, Null{}, false, std::string("[x]"), Null{}, std::string("äpfel")},
};

struct Case {
  const char* condition;
  std::vector<bool> expected;  // per row of kRows
};

bool Evaluate(Condition& c, std::size_t row) {
  c.Bind(kColumns);
  return c.Matches([&](int column) { return kRows[row][static_cast<std::size_t>(column)]; });
}

TEST(SqlCondition, TruthOfConditionTextsOverRows) {
  const std::vector<Case> cases = {
      // Comparisons; text ignores letter case; Null never compares.
      {"[Name] = 'apple'", {true, false, false}},
      {"Name = \"APPLE\"", {true, false, false}},
      {"[Name] <> 'apple'", {false, true, false}},
      {"[Name] < 'B'", {true, false, false}},
      {"[Name] >= 'b'", {false, true, false}},
      {"[Qty] > 0", {true, false, false}},
      {"[Qty] <= -3", {false, true, false}},
      {"[Qty] = -3", {false, true, false}},
      {"[Price] = 0.25", {false, true, false}},
      {"[Price] > .5", {true, false, false}},
      {"Qty = 10 AND Price = 1.5", {true, false, false}},
      // Three-valued logic: unknown AND false is false, unknown OR true is true.
      {"NOT ([Qty] > 0)", {false, true, false}},
      {"[Qty] > 0 OR [Done] = False", {true, true, true}},
      {"[Qty] > 0 OR [Name] = 'x'", {true, false, false}},
      {"NOT ([Qty] > 0 OR [Name] = 'x')", {false, true, false}},
      {"[Qty] = Null", {false, false, false}},
      {"NOT [Qty] = Null", {false, false, false}},
      {"[Qty] > 0 AND [Name] = 'x' OR [Done] = True", {true, false, false}},
      {"[Qty] > 0 AND ([Name] = 'x' OR [Done] = True)", {true, false, false}},
      {"(([Qty] < 0))", {false, true, false}},
      // IS NULL
      {"[Note] IS NULL", {false, true, false}},
      {"([Note] IS NOT NULL)", {true, false, true}},
      {"[Name] is null", {false, false, true}},
      // Booleans; Access's True is -1.
      {"[Done] = True", {true, false, false}},
      {"[Done] = -1", {true, false, false}},
      {"[Done]", {true, false, false}},
      {"NOT [Done]", {false, true, true}},
      // Dates with and without the time.
      {"[When] = #01/15/2020#", {true, false, false}},
      {"[When] = #01/15/2020 10:30:00#", {false, true, false}},
      {"[When] > #01/15/2020 10:29:59#", {false, true, false}},
      {"[When] < #1/16/2020#", {true, true, false}},
      // Doubled quotes inside literals.
      {"[Note] = 'O''Brien said \"hi\"'", {true, false, false}},
      {"[Note] = \"O'Brien said \"\"hi\"\"\"", {true, false, false}},
      // LIKE and its wildcards; the bracket escapes stand for the character itself.
      {"[Name] LIKE 'a*'", {true, false, false}},
      {"[Name] LIKE '*A*'", {true, true, false}},
      {"[Name] LIKE 'appl?'", {true, false, false}},
      {"[Name] LIKE 'app?'", {false, false, false}},
      {"[Name] LIKE '[a-b]*'", {true, true, false}},
      {"[Name] LIKE '[!a]*'", {false, true, false}},
      {"[Name] LIKE 'banana[*]*'", {false, true, false}},
      {"[Name] LIKE 'banana[*]'", {false, false, false}},
      {"[Name] LIKE '*[*]s*'", {false, true, false}},
      {"[Note] LIKE '[[]x[]]'", {false, false, true}},
      {"[Note] LIKE '*[\"]hi[\"]'", {true, false, false}},
      {"[Name] NOT LIKE 'a*'", {false, true, false}},
      {"[Qty] LIKE '#'", {false, false, false}},
      {"[Qty] LIKE '##'", {true, false, false}},
      {"[Qty] LIKE '-#'", {false, true, false}},
      // LCASE, as the locate condition writes it.
      {"[Name] LIKE LCASE(\"APP*\")", {true, false, false}},
      {"[Name] = LCASE(\"APPLE\")", {true, false, false}},
      {"LCASE([Name]) = 'apple'", {true, false, false}},
      // Non-ASCII letters fold too, and ? takes one character, not one byte.
      {"[Größe] = 'ÄPFEL'", {true, false, true}},
      {"[Größe] LIKE '?pfel'", {true, false, true}},
      {"[Größe] LIKE '??pfel'", {false, false, false}},
      // Dotted and bracketed names: the last part is the field.
      {"[t].[Qty] = 10", {true, false, false}},
      {"t.Qty = 10", {true, false, false}},
      {"([Qty] = 10) AND ([Name] = \"Apple\")", {true, false, false}},
      // GUID literals in the form DAO gives them.
      {"[Key] = {guid {0a1b2c3d-0000-1111-2222-333344445555}}", {true, false, false}},
      {"[Key] = {guid {0A1B2C3D-0000-1111-2222-333344445556}}", {false, false, false}},
  };
  for (const Case& c : cases) {
    Condition condition(c.condition);
    for (std::size_t row = 0; row < kRows.size(); ++row)
      EXPECT_EQ(Evaluate(condition, row), c.expected[row]) << c.condition << " on row " << row;
  }
}

TEST(SqlCondition, UnreadableTextsFailWithTheSyntaxError) {
  const std::vector<std::string> bad = {
      "",
      "   ",
      "[Name] = 'abc",
      "[Name = 'abc'",
      "[Name] = ",
      "= 5",
      "[Qty] > 0 AND",
      "([Qty] > 0",
      "[Qty] > 0)",
      "[Qty] 5",
      "[Qty] BETWEEN 1 AND 2",
      "[Qty] IN (1, 2)",
      "[Name] IS 'x'",
      "[Name] LIKE '[abc'",
      "[When] = #13/01/2020#",
      "[When] = #02/30/2020#",
      "[When] = #01/15/2020",
      "[Key] = {guid {0A1B2C3D}}",
      "[Qty] = 12abc",
      "[Qty] == 5",
      "[Qty] ! 5",
      "UCASE([Name]) = 'A'",
      "[t].",
  };
  for (const std::string& text : bad) {
    try {
      Condition condition(text);
      ADD_FAILURE() << "parsed: " << text;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.Number(), 3075) << text;
      EXPECT_NE(std::string(e.what()).find("in query expression '" + text + "'"), std::string::npos)
          << e.what();
    }
  }
}

TEST(SqlCondition, UnknownNamesAndMismatchedTypesRaiseInsteadOfAnswering) {
  Condition unknown("[Nmae] = 'apple'");
  try {
    unknown.Bind(kColumns);
    ADD_FAILURE();
  } catch (const EngineError& e) {
    EXPECT_EQ(e.Number(), 3070);
    EXPECT_NE(std::string(e.what()).find("'Nmae'"), std::string::npos);
  }
  for (const char* text : {"[Name] = 5", "[Qty] = 'ten'", "[Name]", "-[Name] = 1"}) {
    Condition mismatch(text);
    try {
      Evaluate(mismatch, 0);
      ADD_FAILURE() << text;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.Number(), 3464) << text;
    }
  }
  // A Null on the other side stays unknown, no mismatch raised.
  Condition nullSide("[Name] = 5");
  EXPECT_FALSE(Evaluate(nullSide, 2));
}

TEST(SqlCondition, ColumnsAreReadOnlyWhenNeeded) {
  Condition c("[Qty] > 100 AND [Name] = 'x'");
  c.Bind(kColumns);
  std::vector<int> asked;
  EXPECT_FALSE(c.Matches([&](int column) {
    asked.push_back(column);
    return kRows[0][static_cast<std::size_t>(column)];
  }));
  EXPECT_EQ(asked, std::vector<int>{1});
}

TEST(SqlCondition, DatesBefore1900CompareByTimeOfDay) {
  // Days before 30 December 1899 add the time to a negative day: -1.25 is
  // 29 December 1899 06:00, -1.5 is 12:00 the same day.
  Condition after8("[When] > #12/29/1899 08:00:00#");
  after8.Bind({"When"});
  auto at = [](double days) { return [days](int) { return Variant(Date{days}); }; };
  EXPECT_FALSE(after8.Matches(at(-1.25)));
  EXPECT_TRUE(after8.Matches(at(-1.5)));
  EXPECT_TRUE(after8.Matches(at(0.0)));
  EXPECT_FALSE(after8.Matches(at(-2.9)));
  Condition exact("[When] = #12/29/1899 06:00:00#");
  exact.Bind({"When"});
  EXPECT_TRUE(exact.Matches(at(-1.25)));
  EXPECT_LT(CompareForSort(Date{-1.25}, Date{-1.5}), 0);
  EXPECT_LT(CompareForSort(Date{-1.5}, Date{0.0}), 0);
  EXPECT_LT(CompareForSort(Date{-2.75}, Date{-1.25}), 0);
}

TEST(SqlLikePattern, WildcardsAndBacktracking) {
  struct LikeCase {
    const char* pattern;
    const char* text;
    bool match;
  };
  for (const LikeCase& c : std::vector<LikeCase>{
           {"*", "", true},
           {"?", "", false},
           {"a*b*c", "aXbYbZc", true},
           {"a*b*c", "aXbYbZ", false},
           {"*ab", "aab", true},
           {"[a-c][!a-c]", "bd", true},
           {"[a-c][!a-c]", "bb", false},
           {"[!]", "!", true},
           {"a[]b", "ab", true},
           {"[#]1", "#1", true},
           {"#1", "#1", false},
           {"[?]", "x", false},
           {"[-]", "-", true},
           {"ÉTÉ", "été", true},
       })
    EXPECT_EQ(LikePattern(c.pattern).Matches(c.text), c.match) << c.pattern << " ~ " << c.text;
  EXPECT_THROW(LikePattern("[z-a]"), std::invalid_argument);
}

TEST(SqlSortOrder, FieldsDirectionsAndErrors) {
  SortOrder order("[Name] DESC, Qty, [t].[Price] asc");
  ASSERT_EQ(order.Keys().size(), 3u);
  EXPECT_EQ(order.Keys()[0].field, "Name");
  EXPECT_TRUE(order.Keys()[0].descending);
  EXPECT_EQ(order.Keys()[1].field, "Qty");
  EXPECT_FALSE(order.Keys()[1].descending);
  EXPECT_EQ(order.Keys()[2].field, "Price");
  order.Bind(kColumns);
  EXPECT_EQ(order.Keys()[2].column, 2);
  for (const char* bad : {"", "Name,", "Name DESC DESC", ", Name", "[Name", "Name + 1"}) {
    try {
      SortOrder o(bad);
      ADD_FAILURE() << bad;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.Number(), 3138) << bad;
    }
  }
  // Null first, then values; text ignores case.
  EXPECT_LT(CompareForSort(Null{}, std::int64_t{-5}), 0);
  EXPECT_EQ(CompareForSort(std::string("abc"), std::string("ABC")), 0);
  EXPECT_LT(CompareForSort(std::string("abc"), std::string("ABD")), 0);
  EXPECT_GT(CompareForSort(2.5, std::int64_t{2}), 0);
}

TEST(SqlSelect, TheSelectShape) {
  auto s = ParseSelect(
      "Select * From [Order Details] Where ([OrderID] = 10248) Order By "
      "[ProductID] DESC, [Quantity];");
  EXPECT_EQ(s.table, "Order Details");
  ASSERT_TRUE(s.where);
  EXPECT_EQ(s.where->Text(), "([OrderID] = 10248)");
  ASSERT_TRUE(s.orderBy);
  ASSERT_EQ(s.orderBy->Keys().size(), 2u);
  EXPECT_TRUE(s.orderBy->Keys()[0].descending);

  auto plain = ParseSelect("select * from Customers");
  EXPECT_EQ(plain.table, "Customers");
  EXPECT_FALSE(plain.where);
  EXPECT_FALSE(plain.orderBy);

  // The form Access stores queries in.
  auto stored = ParseSelect(
      "SELECT Table1.*\r\nFROM Table1\r\nWHERE (((Table1.col1)=\"foo\"))\r\n"
      "ORDER BY Table1.col2 DESC;\r\n");
  EXPECT_EQ(stored.table, "Table1");
  ASSERT_TRUE(stored.where);
  EXPECT_EQ(stored.where->Text(), "(((Table1.col1)=\"foo\"))");
  ASSERT_TRUE(stored.orderBy);
  EXPECT_EQ(stored.orderBy->Keys()[0].field, "col2");
  EXPECT_TRUE(stored.orderBy->Keys()[0].descending);

  auto ordered = ParseSelect("SELECT * FROM t ORDER BY a;  ");
  EXPECT_FALSE(ordered.where);
  ASSERT_TRUE(ordered.orderBy);

  struct Bad {
    const char* sql;
    int number;
  };
  for (const Bad& b : std::vector<Bad>{
           {"Delete * From t", 3129},
           {"Select *", 3131},
           {"Select * From", 3131},
           {"Select * From Where x = 1", 3131},
           {"Select * From t Where", 3075},
           {"Select * From t Where x = ", 3075},
           {"Select * From t Where x = 'a", 3075},
           {"Select * From t Order By", 3138},
           {"Select * From t Order By a,", 3138},
           {"Select * From t; Select * From u", 3142},
           {"Select a, b From t", 3251},
           {"Select u.* From t", 3251},
           {"Select t.* From t, u", 3251},
           {"Select * From t, u", 3251},
           {"Select * From t Inner Join u On t.a = u.a", 3251},
       }) {
    try {
      ParseSelect(b.sql);
      ADD_FAILURE() << b.sql;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.Number(), b.number) << b.sql << ": " << e.what();
    }
  }
}

}  // namespace
}  // namespace corvid::dao::sql
