#include "dao/values/value_text.h"

#include <charconv>
#include <cmath>

#include "SrcLib/text_case.h"
#include "dao/dataset/day_numbers.h"
#include "dao/dataset/field.h"
#include "dao/dataset/user_locale.h"

namespace corvid {
namespace {

template <class Number>
std::string ShortestText(Number value) {
  char buffer[64];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

std::string LocaleFloat(std::string text) {
  const std::string separator = UserDecimalSeparator();
  if (separator != ".")
    if (const auto dot = text.find('.'); dot != std::string::npos) text.replace(dot, 1, separator);
  return text;
}

std::optional<std::int64_t> ParseInteger(std::string_view t) {
  std::int64_t value = 0;
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  const auto r = std::from_chars(t.data(), t.data() + t.size(), value);
  if (r.ec != std::errc{} || r.ptr != t.data() + t.size() || t.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::string ValueTextFromVariant(const dao::Variant& value) {
  struct Visitor {
    std::string operator()(const dao::Null&) const { return {}; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(std::int64_t i) const { return ShortestText(i); }
    std::string operator()(float f) const { return LocaleFloat(ShortestText(f)); }
    std::string operator()(double d) const { return LocaleFloat(ShortestText(d)); }
    std::string operator()(const dao::Currency& c) const {
      return LocaleFloat(ShortestText(c.ToDouble()));
    }
    std::string operator()(const dao::Date& d) const {
      return FormatDateText(DayAndTimeFromAutomationDate(d.days));
    }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const dao::Bytes& b) const {
      return std::string(reinterpret_cast<const char*>(b.data()), b.size());
    }
  };
  return std::visit(Visitor{}, value);
}

bool NativeFromValueText(TFieldType type, bool isGuid, int size, const std::string& text,
                         FieldValue& destination) {
  using T = TFieldType;
  const bool notNull = !text.empty();
  switch (type) {
    case T::ftString:
    case T::ftFixedChar:
    case T::ftWideString:
      destination = text;
      return notNull;
    case T::ftSmallint:
    case T::ftInteger:
    case T::ftAutoInc:
    case T::ftWord:
    case T::ftLargeint: {
      const std::string t = notNull ? text : "0";
      if (auto i = ParseInteger(t)) {
        destination = static_cast<std::int32_t>(*i);
      } else if (auto d = ParseFloatText(t)) {
        destination = static_cast<std::int32_t>(std::llround(*d));
      }
      return notNull;
    }
    case T::ftBoolean: {
      std::string t = text;
      if (!t.empty() && t.front() == '=') t.erase(0, 1);
      const std::string lower = LowerCase(t);
      if (lower.empty() || lower == "false" || lower == "no" || lower == "off")
        destination = std::int16_t{0};
      else if (lower == "true" || lower == "yes" || lower == "on" || lower == "-1")
        destination = std::int16_t{1};
      else if (auto i = ParseInteger(lower))
        destination = static_cast<std::int16_t>(*i);
      return notNull;
    }
    case T::ftFloat:
    case T::ftCurrency:
    case T::ftBCD:
    case T::ftFMTBcd:
      if (auto d = ParseFloatText(notNull ? text : "0")) destination = *d;
      return notNull;
    case T::ftDate:
    case T::ftTime:
    case T::ftDateTime: {
      const auto dt = ParseDateText(text);
      if (!dt) return false;
      if (type == T::ftDate)
        destination = dt->day;
      else if (type == T::ftTime)
        destination = dt->milliseconds;
      else
        destination = static_cast<double>(dt->day) * kMillisecondsPerDay + dt->milliseconds;
      return true;
    }
    case T::ftBytes:
    case T::ftVarBytes: {
      if (isGuid) {
        if (text.empty()) return false;
        std::string t = text;
        if (t.rfind("{guid ", 0) == 0) {
          t.erase(0, 6);
          if (t.size() >= 2 && t.compare(t.size() - 2, 2, "}}") == 0) t.pop_back();
        }
        for (char& c : t)
          if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        destination = ParseGuid(t);
        return true;
      }
      const std::size_t n = size > 0
                                ? std::min<std::size_t>(text.size(), static_cast<std::size_t>(size))
                                : text.size();
      const auto* p = reinterpret_cast<const std::byte*>(text.data());
      destination = std::vector<std::byte>(p, p + n);
      return notNull;
    }
    default:
      return false;
  }
}

}  // namespace corvid
