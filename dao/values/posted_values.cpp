#include "dao/values/posted_values.h"

#include <charconv>
#include <cmath>

#include "dao/dataset/day_numbers.h"
#include "dao/dataset/field.h"
#include "dao/dataset/user_locale.h"
#include "dao/values/value_text.h"

namespace corvid {
namespace {

std::string BytesText(const std::vector<std::byte>& bytes) {
  return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::optional<std::int64_t> IntegerOf(std::string_view t) {
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  std::int64_t value = 0;
  const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
  if (t.empty() || r.ec != std::errc{} || r.ptr != t.data() + t.size()) return std::nullopt;
  return value;
}

bool IsStringType(TFieldType type) {
  return type == TFieldType::ftString || type == TFieldType::ftFixedChar ||
         type == TFieldType::ftWideString;
}

bool IsMemoType(TFieldType type) {
  return type == TFieldType::ftMemo || type == TFieldType::ftFmtMemo;
}

}  // namespace

double AutomationDateFromDayAndTime(std::int32_t day, std::int32_t milliseconds) {
  const double whole = static_cast<double>(day - kDayNumberOf1899_12_30);
  const double fraction = static_cast<double>(milliseconds) / kMillisecondsPerDay;
  return whole < 0 ? whole - fraction : whole + fraction;
}

std::string ValueTextFromNative(TFieldType type, bool isGuid, const FieldValue& value) {
  using T = TFieldType;
  if (std::holds_alternative<std::monostate>(value)) return {};
  switch (type) {
    case T::ftBoolean:
      if (auto* b = std::get_if<std::int16_t>(&value)) return *b != 0 ? "True" : "False";
      if (auto* i = std::get_if<std::int32_t>(&value)) return *i != 0 ? "True" : "False";
      break;
    case T::ftFloat:
    case T::ftCurrency:
    case T::ftBCD:
    case T::ftFMTBcd:
      if (auto* d = std::get_if<double>(&value)) return ValueTextFromVariant(*d);
      if (auto* i = std::get_if<std::int32_t>(&value))
        return ValueTextFromVariant(static_cast<double>(*i));
      break;
    case T::ftDate:
      if (auto* day = std::get_if<std::int32_t>(&value)) return FormatDateText({*day, 0});
      break;
    case T::ftTime:
      if (auto* ms = std::get_if<std::int32_t>(&value))
        return FormatDateText({kDayNumberOf1899_12_30, *ms});
      break;
    case T::ftDateTime:
      if (auto* total = std::get_if<double>(&value)) {
        const auto all = static_cast<std::int64_t>(std::llround(*total));
        std::int64_t day = all / kMillisecondsPerDay;
        std::int64_t ms = all % kMillisecondsPerDay;
        if (ms < 0) {
          ms += kMillisecondsPerDay;
          --day;
        }
        return FormatDateText({static_cast<std::int32_t>(day), static_cast<std::int32_t>(ms)});
      }
      break;
    case T::ftBytes:
    case T::ftVarBytes:
      if (auto* bytes = std::get_if<std::vector<std::byte>>(&value)) {
        if (isGuid && bytes->size() == 16) return "{guid " + GuidText(*bytes) + "}";
        return BytesText(*bytes);
      }
      break;
    default:
      break;
  }
  if (auto* s = std::get_if<std::string>(&value)) return *s;
  if (auto* i = std::get_if<std::int32_t>(&value)) return std::to_string(*i);
  if (auto* b = std::get_if<std::int16_t>(&value)) return std::to_string(*b);
  if (auto* d = std::get_if<double>(&value)) return ValueTextFromVariant(*d);
  if (auto* bytes = std::get_if<std::vector<std::byte>>(&value)) return BytesText(*bytes);
  return {};
}

std::optional<dao::Variant> PostedValue(TFieldType type, bool isGuid, bool allowZeroLength,
                                        const std::string& text) {
  using T = TFieldType;
  if (text.empty()) {
    if ((IsStringType(type) || IsMemoType(type)) && allowZeroLength)
      return dao::Variant(std::string());
    return dao::Variant(dao::Null{});
  }
  switch (type) {
    case T::ftDate:
    case T::ftTime:
    case T::ftDateTime: {
      const auto dt = ParseDateText(text);
      if (!dt) return std::nullopt;
      return dao::Variant(dao::Date{AutomationDateFromDayAndTime(dt->day, dt->milliseconds)});
    }
    case T::ftBytes:
    case T::ftVarBytes:
      if (isGuid) return dao::Variant(text);
      [[fallthrough]];
    case T::ftBlob:
    case T::ftGraphic:
    case T::ftParadoxOle:
    case T::ftDBaseOle:
    case T::ftTypedBinary:
    case T::ftOraBlob: {
      const auto* p = reinterpret_cast<const std::byte*>(text.data());
      return dao::Variant(dao::Bytes(p, p + text.size()));
    }
    case T::ftBoolean:
      if (text == "True") return dao::Variant(true);
      if (text == "False") return dao::Variant(false);
      break;
    case T::ftSmallint:
    case T::ftInteger:
    case T::ftWord:
    case T::ftAutoInc:
    case T::ftLargeint:
      if (auto i = IntegerOf(text)) return dao::Variant(*i);
      break;
    case T::ftFloat:
    case T::ftBCD:
    case T::ftFMTBcd:
      if (auto d = ParseFloatText(text)) return dao::Variant(*d);
      break;
    case T::ftCurrency:
      if (auto d = ParseFloatText(text))
        return dao::Variant(dao::Currency{std::llround(*d * 10000.0)});
      break;
    default:
      break;
  }
  return dao::Variant(text);
}

}  // namespace corvid
