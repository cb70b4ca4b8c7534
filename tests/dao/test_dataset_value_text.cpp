// Day numbers, DateText and the texts of native values.

#include <gtest/gtest.h>

#include <string>

#include "dao/dataset/day_numbers.h"
#include "dao/dataset/field.h"
#include "dao/dataset/user_locale.h"

namespace corvid {
namespace {

TEST(DayNumbers, CountFromFirstOfJanuaryOne) {
  struct Case {
    CivilDate date;
    std::int32_t day;
  };
  for (const Case& c :
       {Case{{1, 1, 1}, 1}, Case{{1899, 12, 30}, 693594}, Case{{1900, 1, 1}, 693596},
        Case{{2001, 2, 3}, 730519}, Case{{2000, 2, 29}, 730179}}) {
    SCOPED_TRACE(c.day);
    EXPECT_EQ(DayNumberFromCivil(c.date), c.day);
    EXPECT_EQ(CivilFromDayNumber(c.day), c.date);
  }
}

TEST(DayNumbers, AutomationDatesBecomeDayAndMilliseconds) {
  struct Case {
    double automation;
    DayAndTime expected;
  };
  // 3 February 2001 at noon is automation date 36925.5.
  for (const Case& c :
       {Case{0.0, {693594, 0}}, Case{36925.5, {730519, 43200000}},
        Case{-1.25, {693593, 21600000}},    // before 1899 the fraction still adds time
        Case{1.0 - 1e-10, {693595, 0}}}) {  // rounding up to the next midnight
    SCOPED_TRACE(c.automation);
    EXPECT_EQ(DayAndTimeFromAutomationDate(c.automation), c.expected);
  }
}

TEST(DateText, RoundTripsAndRejectsMalformedTexts) {
  EXPECT_EQ(FormatDateText({730519, 43200000}), "730519 43200000");
  EXPECT_EQ(ParseDateText("730519 43200000"), (DayAndTime{730519, 43200000}));
  for (const char* bad : {"", "730519", "730519  1", "x 1", "1 x", "1 2 3", " 1 2"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseDateText(bad).has_value());
  }
}

TEST(NativeValueText, FormsOfEveryType) {
  // Tests run in C.UTF-8: "." separator, %x = mm/dd/yy, %X = HH:MM:SS.
  const double noon = 730519.0 * kMillisecondsPerDay + 43200000.0;
  const double midnight = 730519.0 * kMillisecondsPerDay;
  std::vector<std::byte> guid{std::byte{0x78}, std::byte{0x56}, std::byte{0x34}, std::byte{0x12},
                              std::byte{0xBC}, std::byte{0x9A}, std::byte{0xF0}, std::byte{0xDE},
                              std::byte{0x01}, std::byte{0x23}, std::byte{0x45}, std::byte{0x67},
                              std::byte{0x89}, std::byte{0xAB}, std::byte{0xCD}, std::byte{0xEF}};
  struct Case {
    TFieldType type;
    FieldValue value;
    bool isGuid;
    std::string text;
  };
  const std::vector<Case> cases{
      {TFieldType::ftInteger, std::int32_t{42}, false, "42"},
      {TFieldType::ftSmallint, std::int32_t{-7}, false, "-7"},
      {TFieldType::ftBoolean, std::int16_t{1}, false, "True"},
      {TFieldType::ftBoolean, std::int16_t{0}, false, "False"},
      {TFieldType::ftFloat, 0.1, false, "0.1"},
      {TFieldType::ftFloat, 1234567.25, false, "1234567.25"},
      {TFieldType::ftCurrency, 12.5, false, "12.5"},
      {TFieldType::ftDate, std::int32_t{730519}, false, "02/03/01"},
      {TFieldType::ftTime, std::int32_t{43200000 + 61000}, false, "12:01:01"},
      {TFieldType::ftDateTime, noon, false, "02/03/01 12:00:00"},
      {TFieldType::ftDateTime, midnight, false, "02/03/01"},
      {TFieldType::ftBytes, guid, true, "{12345678-9ABC-DEF0-0123-456789ABCDEF}"},
      {TFieldType::ftBytes, std::vector<std::byte>{std::byte{'a'}, std::byte{0}, std::byte{'b'}},
       false, std::string("a\0b", 3)},
      {TFieldType::ftString, std::string("Käse"), false, "Käse"},
      {TFieldType::ftInteger, std::monostate{}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(NativeValueText(c.type, c.value, c.isGuid), c.text);
  }
  EXPECT_EQ(ParseGuid("{12345678-9ABC-DEF0-0123-456789ABCDEF}"), guid);
  EXPECT_THROW(ParseGuid("{12345678-9ABC-DEF0-0123-456789ABCDEZ}"), std::invalid_argument);
  EXPECT_THROW(ParseGuid("12345678"), std::invalid_argument);
}

TEST(NativeValueText, ShortestFloatTextReadsBack) {
  for (double v : {0.1, 1.0 / 3.0, 1e300, -2.5e-8, 123456789.125}) {
    SCOPED_TRACE(v);
    const std::string text = FormatFloatText(v);
    EXPECT_EQ(ParseFloatText(text), v);
    EXPECT_LE(text.size(), 24u);
  }
}

}  // namespace
}  // namespace corvid
