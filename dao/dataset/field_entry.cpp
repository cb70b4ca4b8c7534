#include "dao/dataset/field_entry.h"

#include <charconv>
#include <limits>
#include <stdexcept>

#include "SrcLib/text_case.h"
#include "dao/dataset/data_set_error.h"
#include "dao/dataset/date_entry.h"
#include "dao/dataset/day_numbers.h"
#include "dao/dataset/field.h"
#include "dao/dataset/user_locale.h"

namespace corvid {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

[[noreturn]] void NotValid(const std::string& text, std::string_view what) {
  throw DataSetError("'" + text + "' is not a valid " + std::string(what));
}

std::int32_t IntegerFrom(const TField& field, const std::string& text) {
  std::string_view t = Trim(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  std::int64_t value = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || r.ec == std::errc::invalid_argument || r.ptr != t.data() + t.size())
    NotValid(text, "integer value");
  std::int64_t low = std::numeric_limits<std::int32_t>::min();
  std::int64_t high = std::numeric_limits<std::int32_t>::max();
  if (field.DataType() == TFieldType::ftSmallint) {
    low = -32768;
    high = 32767;
  } else if (field.DataType() == TFieldType::ftWord) {
    low = 0;
    high = 65535;
  }
  if (r.ec == std::errc::result_out_of_range || value < low || value > high)
    throw DataSetError(std::string(Trim(text)) + " is not a valid value for field '" +
                       field.DisplayLabel() + "'. The allowed range is " + std::to_string(low) +
                       " to " + std::to_string(high));
  return static_cast<std::int32_t>(value);
}

std::int16_t BooleanFrom(const std::string& text) {
  const std::string lower = LowerCase(Trim(text));
  if (lower == "true" || lower == "yes" || lower == "on" || lower == "-1" || lower == "1") return 1;
  if (lower == "false" || lower == "no" || lower == "off" || lower == "0") return 0;
  NotValid(text, "boolean value");
}

}  // namespace

FieldValue NativeValueFromText(const TField& field, const std::string& text) {
  using T = TFieldType;
  if (text.empty()) return std::monostate{};
  switch (field.DataType()) {
    case T::ftString:
    case T::ftFixedChar:
    case T::ftWideString:
    case T::ftMemo:
    case T::ftFmtMemo:
      return text;
    case T::ftSmallint:
    case T::ftInteger:
    case T::ftWord:
    case T::ftAutoInc:
    case T::ftLargeint:
      return IntegerFrom(field, text);
    case T::ftBoolean:
      return BooleanFrom(text);
    case T::ftFloat:
    case T::ftCurrency:
    case T::ftBCD:
    case T::ftFMTBcd: {
      const auto value = ParseFloatText(Trim(text));
      if (!value) NotValid(text, "floating point value");
      return *value;
    }
    case T::ftDate: {
      const auto entered = ParseEnteredDateTime(text);
      if (!entered || !entered->day) NotValid(text, "date");
      return *entered->day;
    }
    case T::ftTime: {
      const auto entered = ParseEnteredDateTime(text);
      if (!entered || !entered->milliseconds) NotValid(text, "time");
      return *entered->milliseconds;
    }
    case T::ftDateTime: {
      const auto entered = ParseEnteredDateTime(text);
      if (!entered) NotValid(text, "date and time");
      const std::int32_t day = entered->day.value_or(kDayNumberOf1899_12_30);
      return static_cast<double>(day) * kMillisecondsPerDay + entered->milliseconds.value_or(0);
    }
    case T::ftBytes:
    case T::ftVarBytes:
    case T::ftBlob:
    case T::ftGraphic:
    case T::ftTypedBinary: {
      if (field.ValidChars() == kGuidChars) {
        std::string t(Trim(text));
        if (t.rfind("{guid ", 0) == 0 && t.size() > 7 && t.back() == '}')
          t = t.substr(6, t.size() - 7);
        try {
          return ParseGuid(t);
        } catch (const std::invalid_argument&) {
          NotValid(text, "GUID value");
        }
      }
      const auto* p = reinterpret_cast<const std::byte*>(text.data());
      return std::vector<std::byte>(p, p + text.size());
    }
    default:
      throw DataSetError("Field '" + field.DisplayLabel() + "' cannot be modified");
  }
}

}  // namespace corvid
