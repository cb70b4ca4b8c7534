// The condition texts the table builds for lookup, locate and master/detail:
// exact texts, the LIKE escapes, Null forms, dates in the user's locale, and
// the MasterFields lines.

#include <gtest/gtest.h>

#include <cstdlib>

#include "dao/engine/database_error.h"
#include "dao/values/key_conditions.h"

namespace corvid {
namespace {

std::string MessageOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const DatabaseError& e) {
    return e.what();
  }
  return "(nothing raised)";
}

ConditionLocale German() {
  ConditionLocale locale;
  locale.decimalSeparator = ",";
  locale.thousandsSeparator = ".";
  locale.dateSeparator = '.';
  locale.timeSeparator = ':';
  locale.dateOrder = ConditionLocale::DateOrder::DayMonthYear;
  locale.pmDesignator.clear();
  locale.amDesignator.clear();
  return locale;
}

const ConditionLocale kUs{};  // month/day/year, "." decimals

TEST(KeyConditions, FieldNamesAreBracketedPartByPart) {
  EXPECT_EQ(ConditionFieldName("Name", true), "[Name]");
  EXPECT_EQ(ConditionFieldName("a.b", true), "[a].[b]");
  EXPECT_EQ(ConditionFieldName("Order Details.Unit Price", true), "[Order Details].[Unit Price]");
  EXPECT_EQ(ConditionFieldName("a.b", false), "a.b");
}

TEST(KeyConditions, KeyFieldListsSplitAtSemicolons) {
  EXPECT_EQ(SplitKeyNames("OrderID"), (std::vector<std::string>{"OrderID"}));
  EXPECT_EQ(SplitKeyNames("OrderID; ProductID ;"),
            (std::vector<std::string>{"OrderID", "ProductID"}));
  EXPECT_TRUE(SplitKeyNames("").empty());
}

TEST(KeyConditions, KeyConditionTermsByFieldType) {
  struct Case {
    TFieldType type;
    bool guid;
    std::string value;
    std::string term;
  };
  const std::vector<Case> cases{
      {TFieldType::ftString, false, "x", "([F]  = \"x\")"},
      {TFieldType::ftString, false, "say \"hi\"", "([F]  = \"say \"\"hi\"\"\")"},
      {TFieldType::ftString, false, "", "([F]  = \"\")"},
      {TFieldType::ftMemo, false, "a*b", "([F]  = \"a*b\")"},
      {TFieldType::ftString, false, "NULL", "([F] IS NULL)"},
      {TFieldType::ftInteger, false, "NULL", "([F] IS NULL)"},
      {TFieldType::ftInteger, false, "", "([F]  IS NULL)"},
      {TFieldType::ftInteger, false, "42", "([F]  = 42)"},
      {TFieldType::ftAutoInc, false, "7", "([F]  = 7)"},
      {TFieldType::ftFloat, false, "1234.5", "([F]  = 1234.5)"},
      {TFieldType::ftBoolean, false, "True", "([F]  = True)"},
      {TFieldType::ftDate, false, "2/3/2001", "([F]  = #02/03/2001#)"},
      {TFieldType::ftTime, false, "13:05:09", "([F]  = #13:05:09#)"},
      {TFieldType::ftDateTime, false, "2/3/2001 12:00:00", "([F]  = #02/03/2001 12:00:00#)"},
      {TFieldType::ftDateTime, false, "2/3/2001 1:30:00 PM", "([F]  = #02/03/2001 13:30:00#)"},
      {TFieldType::ftDateTime, false, "", "([F]  IS NULL)"},
      {TFieldType::ftBytes, true, "{12345678-9ABC-DEF0-0123-456789ABCDEF}",
       "([F]  = {guid {12345678-9ABC-DEF0-0123-456789ABCDEF}})"},
      {TFieldType::ftBytes, true, "{guid {12345678-9ABC-DEF0-0123-456789ABCDEF}}",
       "([F]  = {guid {12345678-9ABC-DEF0-0123-456789ABCDEF}})"},
      {TFieldType::ftBytes, false, "r\"w", "([F]  = \"r\"\"w\")"},
      {TFieldType::ftBytes, false, "", "([F]  IS NULL)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(KeyCondition({{"F", c.type, c.guid}}, {c.value}, true, kUs), c.term);
  }
}

TEST(KeyConditions, NumbersAndDatesAreReadInTheUsersLocale) {
  const ConditionLocale de = German();
  EXPECT_EQ(KeyCondition({{"P", TFieldType::ftFloat}}, {"1.234,5"}, true, de), "([P]  = 1234.5)");
  EXPECT_EQ(KeyCondition({{"P", TFieldType::ftCurrency}}, {"0,25"}, true, de), "([P]  = 0.25)");
  EXPECT_EQ(KeyCondition({{"D", TFieldType::ftDateTime}}, {"03.02.2001 12:00:00"}, true, de),
            "([D]  = #02/03/2001 12:00:00#)");
  EXPECT_EQ(KeyCondition({{"D", TFieldType::ftDate}}, {"31.12.1899"}, true, de),
            "([D]  = #12/31/1899#)");
}

TEST(KeyConditions, SeveralKeysAreJoinedWithAnd) {
  EXPECT_EQ(KeyCondition({{"OrderID", TFieldType::ftInteger}, {"ProductID", TFieldType::ftInteger}},
                         {"10248", "11"}, true, kUs),
            "([OrderID]  = 10248) AND ([ProductID]  = 11)");
  EXPECT_EQ(KeyCondition({{"a.b", TFieldType::ftString}}, {"x"}, false, kUs), "(a.b  = \"x\")");
}

TEST(KeyConditions, RefusalsCarryTheirMessages) {
  EXPECT_EQ(MessageOf([] {
              KeyCondition({{"F", TFieldType::ftIDispatch}}, {"1"}, true, kUs);
            }),
            "Unable to build Key SQL!");
  EXPECT_EQ(MessageOf([] {
              LocateCondition({{"F", TFieldType::ftUnknown}}, {"1"}, 0, true, kUs);
            }),
            "Unable to build Lookup Key SQL!");
  EXPECT_EQ(MessageOf([] {
              KeyCondition({{"F", TFieldType::ftInteger}}, {"1", "2"}, true, kUs);
            }),
            "Number of elements in the KeyValues array must be equal to the number of fields.");
  EXPECT_EQ(MessageOf([] {
              KeyCondition({{"D", TFieldType::ftDate}}, {"31/31/2001"}, true, kUs);
            }),
            "'31/31/2001' is not a valid date and time");
}

TEST(KeyConditions, LocateConditionTextForms) {
  const KeyField name{"Name", TFieldType::ftString};
  struct Case {
    TLocateOptions options;
    std::string value;
    std::string term;
  };
  const std::vector<Case> cases{
      {0, "Ab\"c", "([Name]  = \"Ab\"\"c\")"},
      {loCaseInsensitive, "AB", "([Name]  = LCASE(\"ab\"))"},
      {loPartialKey, "AB", "([Name]  LIKE \"AB*\")"},
      {loPartialKey | loCaseInsensitive, "AB", "([Name]  LIKE LCASE(\"ab*\"))"},
      {loPartialKey | loCaseInsensitive, "A*B", "([Name]  LIKE LCASE(\"a[*]b*\"))"},
      {loPartialKey, "!#*-?[]", "([Name]  LIKE \"[!][#][*][-][?][[][]]*\")"},
      {loPartialKey, "\"q\"", "([Name]  LIKE \"\"\"q\"\"*\")"},
      {loCaseInsensitive, "a*b", "([Name]  = LCASE(\"a*b\"))"},
      {loPartialKey, "NULL", "([Name] IS NULL)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(LocateCondition({name}, {c.value}, c.options, true, kUs), c.term);
  }
  // Fields other than text build the key condition's terms whatever the options.
  EXPECT_EQ(LocateCondition({{"Id", TFieldType::ftInteger}}, {"NULL"}, loPartialKey, true, kUs),
            "([Id] IS NULL)");
  EXPECT_EQ(LocateCondition({{"Id", TFieldType::ftInteger}}, {"5"}, loCaseInsensitive, true, kUs),
            "([Id]  = 5)");
}

TEST(KeyConditions, DateTimeTextsAreNormalised) {
  struct Case {
    std::string text;
    std::string normal;
  };
  const std::vector<Case> cases{
      {"  2/3/2001   12:00:00 ", "2/3/2001 12:00:00"},
      {"2 / 3 / 2001", "2/3/2001"},
      {"2/3/2001, 12:00:00 PM", "2/3/2001 12:00:00"},
      {"2001\xE3\x2E 2/3", "20012/3"},
      {"12:30", "12:30"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(NormaliseDateTimeText(c.text, kUs), c.normal) << c.text;
  EXPECT_EQ(NormaliseDateTimeText("3. 2. 2001 um 12:00", German()), "3.2.2001 12:00");
}

TEST(KeyConditions, DateTimeTextsReadToDayAndTime) {
  const auto noon = ReadDateTimeText("2/3/2001 12:00:00", kUs);
  ASSERT_TRUE(noon);
  EXPECT_EQ(noon->day, DayNumberFromCivil({2001, 2, 3}));
  EXPECT_EQ(noon->milliseconds, 12 * 3600 * 1000);
  EXPECT_EQ(ReadDateTimeText("2/3/2001 12:15:00 AM", kUs)->milliseconds, 15 * 60 * 1000);
  EXPECT_EQ(ReadDateTimeText("23:59:59", kUs)->day, kDayNumberOf1899_12_30);
  EXPECT_FALSE(ReadDateTimeText("2/30/2001", kUs));
  EXPECT_FALSE(ReadDateTimeText("2/3/2001 25:00", kUs));
  EXPECT_FALSE(ReadDateTimeText("yesterday", kUs));
  ConditionLocale iso;
  iso.dateOrder = ConditionLocale::DateOrder::YearMonthDay;
  iso.dateSeparator = '-';
  EXPECT_EQ(ReadDateTimeText("2001-02-03", iso)->day, DayNumberFromCivil({2001, 2, 3}));
}

TEST(KeyConditions, MasterFieldsLines) {
  const auto same = ParseMasterFields({"OrderID;ProductID"});
  EXPECT_EQ(same.detail, (std::vector<std::string>{"OrderID", "ProductID"}));
  EXPECT_EQ(same.master, same.detail);
  const auto pairs = ParseMasterFields({"OrderId -> Id", "ignored line", "Kind -> Type"});
  EXPECT_EQ(pairs.detail, (std::vector<std::string>{"OrderId", "Kind"}));
  EXPECT_EQ(pairs.master, (std::vector<std::string>{"Id", "Type"}));
  EXPECT_TRUE(ParseMasterFields({}).detail.empty());
}

TEST(KeyConditions, MasterDetailConditionFromMasterValues) {
  const std::vector<MasterValue> values{
      {TFieldType::ftInteger, false, std::int32_t{42}},
      {TFieldType::ftString, false, std::string("O\"Neil")},
      {TFieldType::ftBoolean, false, std::int16_t{1}},
      {TFieldType::ftBoolean, false, std::int16_t{0}},
      {TFieldType::ftDateTime, false,
       (DayNumberFromCivil({2001, 2, 3}) + 0.5) * kMillisecondsPerDay},
      {TFieldType::ftDate, false, DayNumberFromCivil({1999, 12, 31})},
      {TFieldType::ftFloat, false, 0.1},
      {TFieldType::ftInteger, false, std::monostate{}},
  };
  EXPECT_EQ(
      MasterDetailCondition({"OrderId", "Name", "Yes", "No", "When", "Day", "Ratio", "Gone"},
                            values, true),
      "([OrderId]  = 42) AND ([Name]  = \"O\"\"Neil\") AND ([Yes]  = True) AND ([No]  = False) AND "
      "([When]  = #02/03/2001 12:00:00#) AND ([Day]  = #12/31/1999#) AND ([Ratio]  = 0.1) AND "
      "([Gone] IS NULL)");
  std::vector<std::byte> guid(16);
  for (int i = 0; i < 16; ++i) guid[static_cast<std::size_t>(i)] = std::byte(i);
  EXPECT_EQ(MasterDetailCondition({"Uid"}, {{TFieldType::ftBytes, true, guid}}, false),
            "(Uid  = {guid {03020100-0504-0706-0809-0A0B0C0D0E0F}})");
  EXPECT_EQ(MessageOf([] {
              MasterDetailCondition({"a", "b"}, {{TFieldType::ftInteger, false, 1}}, true);
            }),
            "The number of Master and Detail fields must be equal!");
  EXPECT_EQ(
      MessageOf([] {
        MasterDetailCondition({"a"}, {{TFieldType::ftIDispatch, false, std::string("x")}}, true);
      }),
      "Unable to build Master/Detail SQL Relationship!");
}

TEST(KeyConditions, TheUsersLocaleIsReadFromTheEnvironment) {
  ::setenv("LC_ALL", "C.UTF-8", 1);
  const ConditionLocale locale = ConditionLocale::User();
  EXPECT_EQ(locale.decimalSeparator, ".");
  EXPECT_EQ(locale.thousandsSeparator, "");
  EXPECT_EQ(locale.dateSeparator, '/');
  EXPECT_EQ(locale.timeSeparator, ':');
  EXPECT_EQ(locale.dateOrder, ConditionLocale::DateOrder::MonthDayYear);
  // Two-digit years of that locale's dates land within 50 years of now.
  const auto date = ReadDateTimeText("02/03/01", locale);
  ASSERT_TRUE(date);
  EXPECT_EQ(date->day, DayNumberFromCivil({2001, 2, 3}));
}

}  // namespace
}  // namespace corvid
