// Values on their way in: dates and times as a user types them, a field's
// native value from an entered text, the value text of a native value, and
// the engine value a post assigns for a buffer text.

#include <gtest/gtest.h>

#include <cmath>

#include "dao/dataset/data_set.h"
#include "dao/dataset/data_set_error.h"
#include "dao/dataset/date_entry.h"
#include "dao/dataset/day_numbers.h"
#include "dao/dataset/field_entry.h"
#include "dao/values/posted_values.h"
#include "empty_data_set.h"

namespace corvid {
namespace {

std::int32_t Day(int y, unsigned m, unsigned d) { return DayNumberFromCivil({y, m, d}); }
constexpr std::int32_t kNoon = 12 * 3600 * 1000;

TEST(EnteredDateTime, DatesAndTimesInTheCLocale) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> day, ms;
  };
  const std::vector<Case> good{
      {"02/03/2001", Day(2001, 2, 3), std::nullopt},  // the C locale's order: month, day, year
      {" 2/3/01 ", Day(2001, 2, 3), std::nullopt},    // two-digit years: 1930-2029
      {"12/31/29", Day(2029, 12, 31), std::nullopt},
      {"1-1-30", Day(1930, 1, 1), std::nullopt},
      {"2001-02-03", Day(2001, 2, 3), std::nullopt},  // year first when it has four digits
      {"02/29/2000", Day(2000, 2, 29), std::nullopt},
      {"12:00", std::nullopt, kNoon},
      {"12:00:00 AM", std::nullopt, 0},
      {"12:30 pm", std::nullopt, kNoon + 30 * 60000},
      {"1:02:03.5", std::nullopt, 3723500},
      {"23:59:59", std::nullopt, 86399000},
      {"02/03/2001 12:00:00", Day(2001, 2, 3), kNoon},
      {"2001-02-03T06:07:08", Day(2001, 2, 3), 6 * 3600000 + 7 * 60000 + 8000},
      {"1/1/0001 0:00", 1, 0},
  };
  for (const Case& c : good) {
    SCOPED_TRACE(c.text);
    const auto parsed = ParseEnteredDateTime(c.text);
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->day, c.day);
    EXPECT_EQ(parsed->milliseconds, c.ms);
  }
  for (const char* bad :
       {"", "  ", "02/29/2001", "13/01/2001", "00/10/2001", "2/3", "2/3/2001/4", "24:00", "12:60",
        "13:00 PM", "0:30 AM", "noon", "2001-02-03 x", "1.5", "02/03/2001 12"}) {
    SCOPED_TRACE(bad);
    EXPECT_FALSE(ParseEnteredDateTime(bad).has_value());
  }
}

TEST(EnteredDateTime, OrderOfTheLocaleFormat) {
  const std::vector<std::pair<const char*, const char*>> cases{
      {"%m/%d/%y", "MDY"}, {"%d.%m.%Y", "DMY"}, {"%Y-%m-%d", "YMD"}, {"%D", "MDY"},
      {"%F", "YMD"},       {"%e/%m/%Y", "DMY"}, {"%d %b %Y", "DMY"}, {"%Ey/%m/%d", "YMD"},
      {"%d/%m", "MDY"},    {"", "MDY"}};
  for (const auto& [format, order] : cases) {
    SCOPED_TRACE(format);
    EXPECT_EQ(DateOrderOfFormat(format), order);
  }
}

// Only what a field needs to exist: the texts are converted by the field's
// own type, size and valid characters.
using NoRecords = testing_support::EmptyDataSet;

TEST(FieldEntry, TextsBecomeNativeValuesByFieldType) {
  NoRecords data;
  auto field = [&](TFieldType type, int size = 0) {
    return TField(data, "F", type, TFieldKind::fkData, size);
  };
  using Bytes = std::vector<std::byte>;
  struct Case {
    TFieldType type;
    const char* text;
    FieldValue expected;
  };
  const std::vector<Case> cases{
      {TFieldType::ftString, "abc", std::string("abc")},
      {TFieldType::ftString, "", std::monostate{}},
      {TFieldType::ftInteger, " -42 ", std::int32_t{-42}},
      {TFieldType::ftInteger, "+7", std::int32_t{7}},
      {TFieldType::ftInteger, "", std::monostate{}},
      {TFieldType::ftSmallint, "-32768", std::int32_t{-32768}},
      {TFieldType::ftBoolean, "yes", std::int16_t{1}},
      {TFieldType::ftBoolean, "FALSE", std::int16_t{0}},
      {TFieldType::ftBoolean, "-1", std::int16_t{1}},
      {TFieldType::ftFloat, "2.5", 2.5},
      {TFieldType::ftCurrency, "-0.0001", -0.0001},
      {TFieldType::ftDate, "02/03/2001", Day(2001, 2, 3)},
      {TFieldType::ftTime, "12:00", kNoon},
      {TFieldType::ftDateTime, "02/03/2001 12:00", Day(2001, 2, 3) * 86400000.0 + kNoon},
      {TFieldType::ftDateTime, "12:00",
       kDayNumberOf1899_12_30 * 86400000.0 + kNoon},  // a time alone
      {TFieldType::ftBytes, "ab", Bytes{std::byte{'a'}, std::byte{'b'}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FieldTypeIdentifier(c.type)) + " " + c.text);
    EXPECT_EQ(NativeValueFromText(field(c.type), c.text), c.expected);
  }
  // Binary texts keep every byte, zeros included.
  EXPECT_EQ(NativeValueFromText(field(TFieldType::ftBytes), std::string("a\0b", 3)),
            FieldValue(Bytes{std::byte{'a'}, std::byte{0}, std::byte{'b'}}));
  // A GUID field takes the braced form, with or without the engine's wrapping.
  TField guid = field(TFieldType::ftBytes, 16);
  guid.SetValidChars(std::string(kGuidChars));
  const FieldValue bytes = NativeValueFromText(guid, "{12345678-9abc-DEF0-0123-456789ABCDEF}");
  EXPECT_EQ(GuidText(std::get<Bytes>(bytes)), "{12345678-9ABC-DEF0-0123-456789ABCDEF}");
  EXPECT_EQ(NativeValueFromText(guid, "{guid {12345678-9ABC-DEF0-0123-456789ABCDEF}}"), bytes);

  struct Bad {
    TFieldType type;
    const char* text;
    const char* message;
  };
  const std::vector<Bad> bad{
      {TFieldType::ftInteger, "4x", "'4x' is not a valid integer value"},
      {TFieldType::ftInteger, "1.5", "'1.5' is not a valid integer value"},
      {TFieldType::ftInteger, "2147483648",
       "2147483648 is not a valid value for field 'F'. The allowed range is -2147483648 to "
       "2147483647"},
      {TFieldType::ftSmallint, "40000",
       "40000 is not a valid value for field 'F'. The allowed range is -32768 to 32767"},
      {TFieldType::ftBoolean, "2", "'2' is not a valid boolean value"},
      {TFieldType::ftFloat, "1,5", "'1,5' is not a valid floating point value"},
      {TFieldType::ftDate, "12:00", "'12:00' is not a valid date"},
      {TFieldType::ftTime, "02/03/2001", "'02/03/2001' is not a valid time"},
      {TFieldType::ftDateTime, "tomorrow", "'tomorrow' is not a valid date and time"},
      {TFieldType::ftIDispatch, "x", "Field 'F' cannot be modified"},
  };
  for (const Bad& c : bad) {
    SCOPED_TRACE(c.text);
    try {
      NativeValueFromText(field(c.type), c.text);
      ADD_FAILURE() << "accepted";
    } catch (const DataSetError& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
  }
  try {
    NativeValueFromText(guid, "{1234}");
    ADD_FAILURE() << "accepted";
  } catch (const DataSetError& e) {
    EXPECT_STREQ(e.what(), "'{1234}' is not a valid GUID value");
  }
}

TEST(PostedValues, ValueTextsOfNativeValues) {
  using Bytes = std::vector<std::byte>;
  struct Case {
    TFieldType type;
    bool guid;
    FieldValue value;
    std::string text;
  };
  const Bytes guid{std::byte{0x78}, std::byte{0x56}, std::byte{0x34}, std::byte{0x12},
                   std::byte{0xBC}, std::byte{0x9A}, std::byte{0xF0}, std::byte{0xDE},
                   std::byte{0x01}, std::byte{0x23}, std::byte{0x45}, std::byte{0x67},
                   std::byte{0x89}, std::byte{0xAB}, std::byte{0xCD}, std::byte{0xEF}};
  const std::vector<Case> cases{
      {TFieldType::ftInteger, false, std::monostate{}, ""},
      {TFieldType::ftInteger, false, std::int32_t{-5}, "-5"},
      {TFieldType::ftBoolean, false, std::int16_t{1}, "True"},
      {TFieldType::ftBoolean, false, std::int16_t{0}, "False"},
      {TFieldType::ftFloat, false, 0.1, "0.1"},
      {TFieldType::ftCurrency, false, 12.5, "12.5"},
      {TFieldType::ftDate, false, std::int32_t{730519}, "730519 0"},
      {TFieldType::ftTime, false, kNoon, "693594 43200000"},
      {TFieldType::ftDateTime, false, 730519.0 * 86400000.0 + kNoon, "730519 43200000"},
      {TFieldType::ftDateTime, false, 86399999.0, "0 86399999"},  // day number × 86400000 + ms
      {TFieldType::ftDateTime, false, -1.0, "-1 86399999"},
      {TFieldType::ftBytes, true, guid, "{guid {12345678-9ABC-DEF0-0123-456789ABCDEF}}"},
      {TFieldType::ftBytes, false, Bytes{std::byte{0}, std::byte{'x'}}, std::string("\0x", 2)},
      {TFieldType::ftString, false, std::string("text"), "text"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ValueTextFromNative(c.type, c.guid, c.value), c.text);
  }
}

TEST(PostedValues, EngineValuesOfBufferTexts) {
  using dao::Variant;
  struct Case {
    TFieldType type;
    bool guid, allowZeroLength;
    std::string text;
    std::optional<Variant> expected;
  };
  const std::vector<Case> cases{
      {TFieldType::ftString, false, false, "", Variant(dao::Null{})},
      {TFieldType::ftString, false, true, "", Variant(std::string())},
      {TFieldType::ftMemo, false, true, "", Variant(std::string())},
      {TFieldType::ftInteger, false, true, "", Variant(dao::Null{})},  // only Text and Memo take ""
      {TFieldType::ftBlob, false, true, "", Variant(dao::Null{})},
      {TFieldType::ftString, false, false, "abc", Variant(std::string("abc"))},
      {TFieldType::ftMemo, false, false, "a\r\nb", Variant(std::string("a\r\nb"))},
      {TFieldType::ftInteger, false, false, "-12", Variant(std::int64_t{-12})},
      {TFieldType::ftSmallint, false, false, "7", Variant(std::int64_t{7})},
      {TFieldType::ftBoolean, false, false, "True", Variant(true)},
      {TFieldType::ftBoolean, false, false, "False", Variant(false)},
      {TFieldType::ftFloat, false, false, "0.25", Variant(0.25)},
      {TFieldType::ftCurrency, false, false, "12.5", Variant(dao::Currency{125000})},
      {TFieldType::ftCurrency, false, false, "0.0001", Variant(dao::Currency{1})},
      {TFieldType::ftDateTime, false, false, "730519 43200000", Variant(dao::Date{36925.5})},
      {TFieldType::ftDate, false, false, "693594 0", Variant(dao::Date{0.0})},
      {TFieldType::ftDateTime, false, false, "693593 43200000", Variant(dao::Date{-1.5})},
      {TFieldType::ftDateTime, false, false, "not a date", std::nullopt},
      {TFieldType::ftBytes, true, false, "{guid {12345678-9ABC-DEF0-0123-456789ABCDEF}}",
       Variant(std::string("{guid {12345678-9ABC-DEF0-0123-456789ABCDEF}}"))},
      {TFieldType::ftBytes, false, false, std::string("\0\1", 2),
       Variant(dao::Bytes{std::byte{0}, std::byte{1}})},
      {TFieldType::ftBlob, false, false, "PK", Variant(dao::Bytes{std::byte{'P'}, std::byte{'K'}})},
      {TFieldType::ftInteger, false, false, "=5",
       Variant(std::string("=5"))},  // for the engine to judge
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FieldTypeIdentifier(c.type)) + " '" + c.text + "'");
    EXPECT_EQ(PostedValue(c.type, c.guid, c.allowZeroLength, c.text), c.expected);
  }
}

TEST(PostedValues, AutomationDatesRoundTripThroughDayAndTime) {
  for (double date :
       {0.0, 36925.5, 36925.999988425926, -1.5, -700000.25, 2958465.75, 1.0 / 86400000.0}) {
    SCOPED_TRACE(date);
    const DayAndTime dt = DayAndTimeFromAutomationDate(date);
    EXPECT_NEAR(AutomationDateFromDayAndTime(dt.day, dt.milliseconds), date, 1e-8);
  }
}

}  // namespace
}  // namespace corvid
