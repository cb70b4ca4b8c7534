#include "dao/mdb/edit_values.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"
#include "dao/mdb/engine_context.h"
#include "dao/mdb/mdb_values.h"

namespace corvid::dao {
namespace {

using jet::StoredType;

[[noreturn]] void ConversionError(EngineContext& context) {
  context.Raise(kConversionError, "Data type conversion error.");
}

[[noreturn]] void TooSmall(EngineContext& context) {
  context.Raise(kFieldTooSmall,
                "The field is too small to accept the amount of data you attempted to add. Try "
                "inserting or pasting less data.");
}

// A number written as text ("12", " -3.5 "), or nothing.
std::optional<double> NumberInText(const std::string& text) {
  const char* begin = text.c_str();
  while (std::isspace(static_cast<unsigned char>(*begin))) ++begin;
  if (*begin == '\0') return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(begin, &end);
  while (end && std::isspace(static_cast<unsigned char>(*end))) ++end;
  if (!end || *end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<double> AsNumber(const Variant& value) {
  if (auto* i = std::get_if<std::int64_t>(&value)) return static_cast<double>(*i);
  if (auto* d = std::get_if<double>(&value)) return *d;
  if (auto* f = std::get_if<float>(&value)) return static_cast<double>(*f);
  if (auto* b = std::get_if<bool>(&value)) return *b ? -1.0 : 0.0;
  if (auto* c = std::get_if<Currency>(&value)) return c->ToDouble();
  if (auto* d = std::get_if<Date>(&value)) return d->days;
  if (auto* s = std::get_if<std::string>(&value)) return NumberInText(*s);
  return std::nullopt;
}

std::int64_t WholeNumber(const Variant& value, std::int64_t lo, std::int64_t hi,
                         EngineContext& context) {
  if (auto* i = std::get_if<std::int64_t>(&value)) {
    if (*i < lo || *i > hi) ConversionError(context);
    return *i;
  }
  const auto number = AsNumber(value);
  if (!number) ConversionError(context);
  // Access rounds half to even when a fraction goes into an integer field.
  const double rounded = std::nearbyint(*number);
  if (rounded < static_cast<double>(lo) || rounded > static_cast<double>(hi))
    ConversionError(context);
  return static_cast<std::int64_t>(rounded);
}

std::size_t Utf16Length(const std::string& utf8) {
  std::size_t units = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    if ((c & 0xC0) == 0x80) continue;
    units += c >= 0xF0 ? 2 : 1;
  }
  return units;
}

std::optional<std::array<std::uint8_t, 16>> ParseGuid(std::string text) {
  if (text.rfind("{guid ", 0) == 0 && text.size() > 7 && text.back() == '}')
    text = text.substr(6, text.size() - 7);
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36 || text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-')
    return std::nullopt;
  std::string hex;
  for (char c : text) {
    if (c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    hex += c;
  }
  std::array<std::uint8_t, 16> printed{};
  for (std::size_t i = 0; i < 16; ++i)
    printed[i] = static_cast<std::uint8_t>(std::strtoul(hex.substr(2 * i, 2).c_str(), nullptr, 16));
  // Stored order: the first three groups little-endian, the rest as written.
  std::array<std::uint8_t, 16> stored{printed[3], printed[2], printed[1], printed[0],
                                      printed[5], printed[4], printed[7], printed[6]};
  for (std::size_t i = 8; i < 16; ++i) stored[i] = printed[i];
  return stored;
}

}  // namespace

Variant CoerceToColumn(const Column& column, MdbFormat format, const Variant& value,
                       EngineContext& context) {
  if (IsNull(value)) return value;
  switch (static_cast<StoredType>(column.type)) {
    case StoredType::Bool: {
      if (auto* b = std::get_if<bool>(&value)) return *b;
      if (auto* s = std::get_if<std::string>(&value)) {
        if (SameText(*s, "True") || SameText(*s, "Yes") || SameText(*s, "On")) return true;
        if (SameText(*s, "False") || SameText(*s, "No") || SameText(*s, "Off")) return false;
      }
      const auto number = AsNumber(value);
      if (!number) ConversionError(context);
      return *number != 0.0;
    }
    case StoredType::Byte:
      return WholeNumber(value, 0, 255, context);
    case StoredType::Integer:
      return WholeNumber(value, -32768, 32767, context);
    case StoredType::Long:
      return WholeNumber(value, std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max(), context);
    case StoredType::Money: {
      if (auto* c = std::get_if<Currency>(&value)) return *c;
      if (auto* i = std::get_if<std::int64_t>(&value)) {
        if (*i > std::numeric_limits<std::int64_t>::max() / 10000 ||
            *i < std::numeric_limits<std::int64_t>::min() / 10000)
          ConversionError(context);
        return Currency{*i * 10000};
      }
      const auto number = AsNumber(value);
      if (!number || std::fabs(*number) >= 9.2e14) ConversionError(context);
      return Currency{std::llround(*number * 10000.0)};
    }
    case StoredType::Single:
    case StoredType::Double: {
      const auto number = AsNumber(value);
      if (!number || std::holds_alternative<Date>(value)) ConversionError(context);
      if (static_cast<StoredType>(column.type) == StoredType::Single)
        return static_cast<float>(*number);
      return *number;
    }
    case StoredType::DateTime: {
      if (auto* d = std::get_if<Date>(&value)) return *d;
      if (std::holds_alternative<std::string>(value) || std::holds_alternative<Bytes>(value))
        ConversionError(context);
      const auto number = AsNumber(value);
      if (!number) ConversionError(context);
      return Date{*number};
    }
    case StoredType::Text:
    case StoredType::Memo: {
      if (std::holds_alternative<Bytes>(value)) ConversionError(context);
      std::string text = VariantToText(value);
      if (auto* b = std::get_if<bool>(&value)) text = *b ? "True" : "False";
      if (static_cast<StoredType>(column.type) == StoredType::Text) {
        const std::size_t chars = static_cast<std::size_t>(DaoSizeOf(column, format));
        if (Utf16Length(text) > chars) TooSmall(context);
      }
      return text;
    }
    case StoredType::Binary:
    case StoredType::Ole: {
      Bytes bytes;
      if (auto* b = std::get_if<Bytes>(&value)) {
        bytes = *b;
      } else if (auto* s = std::get_if<std::string>(&value)) {
        bytes.resize(s->size());
        std::memcpy(bytes.data(), s->data(), s->size());
      } else {
        ConversionError(context);
      }
      if (static_cast<StoredType>(column.type) == StoredType::Binary &&
          bytes.size() > static_cast<std::size_t>(column.length))
        TooSmall(context);
      return bytes;
    }
    case StoredType::Guid: {
      if (auto* b = std::get_if<Bytes>(&value); b && b->size() == 16)
        return GuidText(reinterpret_cast<const unsigned char*>(b->data()));
      auto* s = std::get_if<std::string>(&value);
      if (!s) ConversionError(context);
      const auto stored = ParseGuid(*s);
      if (!stored) ConversionError(context);
      return GuidText(stored->data());
    }
    default:
      ConversionError(context);
  }
}

jet::Value ToWriterValue(const Column& column, const Variant& value) {
  if (IsNull(value)) return jet::Null;
  switch (static_cast<StoredType>(column.type)) {
    case StoredType::Bool:
      return std::get<bool>(value);
    case StoredType::Byte:
    case StoredType::Integer:
    case StoredType::Long:
      return std::get<std::int64_t>(value);
    case StoredType::Money:
      return jet::Currency{std::get<Currency>(value).scaled};
    case StoredType::Double:
      if (auto* f = std::get_if<float>(&value)) return static_cast<double>(*f);
      return std::get<double>(value);
    case StoredType::DateTime:
      return jet::Date{std::get<Date>(value).days};
    case StoredType::Text:
    case StoredType::Memo:
      return std::get<std::string>(value);
    case StoredType::Binary:
    case StoredType::Ole:
      return jet::Bytes(std::get<Bytes>(value));
    case StoredType::Guid: {
      const auto stored = ParseGuid(std::get<std::string>(value));
      jet::Guid guid;
      if (stored) guid.bytes = *stored;
      return guid;
    }
    default:
      return jet::Null;  // the editor refuses such tables before any row is written
  }
}

}  // namespace corvid::dao
