#pragma once
// The condition texts the table hands the engine to find records by key
// values: the key condition (lookup), the locate condition (locate and the
// find family) and the master/detail condition. Each term is
// "(" + field name + " " + comparison + ")", terms joined by " AND ".
// Failures raise DatabaseError with the message the user sees.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dao/dataset/day_numbers.h"
#include "dao/dataset/field_type.h"
#include "dao/dataset/field_value.h"

namespace corvid {

// Options of locate and the find family (a set of bits).
enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;

// What the conditions need of the user's locale.
struct ConditionLocale {
  enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };
  std::string decimalSeparator = ".";
  std::string thousandsSeparator;  // empty: none
  char dateSeparator = '/';
  char timeSeparator = ':';
  DateOrder dateOrder = DateOrder::MonthDayYear;
  std::string pmDesignator = "PM";
  std::string amDesignator = "AM";

  // The environment's locale (LC_* settings); "C" when it can't be had.
  static ConditionLocale User();
};

// One key field as the conditions see it.
struct KeyField {
  std::string name;
  TFieldType type = TFieldType::ftUnknown;
  bool isGuid = false;
};

// A key value text that stands for Null.
inline constexpr std::string_view kNullKeyText = "NULL";

// "a;b; c" → {"a", "b", "c"}; blanks around names are dropped, empty names
// skipped.
std::vector<std::string> SplitKeyNames(std::string_view text);

// With brackets: [name], and a dotted name bracketed part by part ([a].[b]).
std::string ConditionFieldName(std::string_view name, bool useBrackets);

// Wraps each of ! # * - ? [ ] in square brackets so that LIKE matches it as
// itself.
std::string EscapeLikePattern(std::string_view text);

// The date-time normalising rule: drops the first E3 2E byte pair, turns
// everything but digits, "/", the date and time separators into blanks and
// leaves "date time" with exactly one blank, or the date (or time) alone.
std::string NormaliseDateTimeText(std::string_view text, const ConditionLocale& locale);

// Reads a key value text as a date and time in the locale (normalised
// first; a PM designator in the text moves hours before noon past it).
// Nothing for a text that holds no valid date or time.
std::optional<DayAndTime> ReadDateTimeText(std::string_view text, const ConditionLocale& locale);

// "mm/dd/yyyy", "hh:nn:ss", "mm/dd/yyyy hh:nn:ss" as the conditions write
// them between "#".
std::string ConditionDateText(const DayAndTime& value);
std::string ConditionTimeText(const DayAndTime& value);
std::string ConditionDateTimeText(const DayAndTime& value);

// The key condition of lookup. Raises "Unable to build Key SQL!" for a field
// type it can't compare, and "Number of elements in the KeyValues array must
// be equal to the number of fields." when the lists differ in length.
std::string KeyCondition(const std::vector<KeyField>& fields,
                         const std::vector<std::string>& values, bool useBrackets,
                         const ConditionLocale& locale);

// The locate condition: the key condition with LIKE / LCASE forms for text
// fields. Raises "Unable to build Lookup Key SQL!" for other field types it
// can't compare.
std::string LocateCondition(const std::vector<KeyField>& fields,
                            const std::vector<std::string>& values, TLocateOptions options,
                            bool useBrackets, const ConditionLocale& locale);

// The master field list and detail field list of a MasterFields text: one
// line "a;b" (the same names on both sides) or lines "detail -> master"
// (lines without the separator are ignored).
struct MasterDetailFields {
  std::vector<std::string> detail;
  std::vector<std::string> master;
};
MasterDetailFields ParseMasterFields(const std::vector<std::string>& lines);

// The current value of one master field: its type and its native value
// (monostate for Null; the text for string, memo and blob fields).
struct MasterValue {
  TFieldType type = TFieldType::ftUnknown;
  bool isGuid = false;
  FieldValue value;
};

// The master/detail condition on the detail fields. Raises "The number of
// Master and Detail fields must be equal!" and "Unable to build
// Master/Detail SQL Relationship!".
std::string MasterDetailCondition(const std::vector<std::string>& detailFields,
                                  const std::vector<MasterValue>& masterValues, bool useBrackets);

}  // namespace corvid
