#include "dao/dataset/field.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "dao/dataset/data_set.h"
#include "dao/dataset/day_numbers.h"
#include "dao/dataset/user_locale.h"

namespace corvid {

TField::TField(TDataSet& dataSet, std::string name, TFieldType type, TFieldKind kind, int size)
    : dataSet_(&dataSet), name_(std::move(name)), type_(type), kind_(kind), size_(size) {}

std::string TField::AsString() const { return dataSet_->FieldText(*this); }

std::string TField::DisplayText() const {
  std::string text = AsString();
  if (OnGetText) OnGetText(const_cast<TField&>(*this), text, true);
  return text;
}

bool TField::IsNull() const { return !dataSet_->FieldHasValue(*this); }

FieldValue TField::Value() const { return dataSet_->FieldNativeValue(*this); }

void TField::SetText(const std::string& text) {
  if (OnSetText) {
    OnSetText(*this, text);
    return;
  }
  dataSet_->SetFieldText(*this, text);
}

void TField::SetValue(const FieldValue& value) { dataSet_->SetFieldValue(*this, value); }

FieldValue TField::OldValue() const { return dataSet_->FieldOldValue(*this); }

void TField::NotifyChanged() { dataSet_->DataEventFieldChange(*this); }

namespace {

template <class Int>
std::string Decimal(Int value) {
  char buffer[24];
  return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

}  // namespace

std::string GuidText(const std::vector<std::byte>& bytes) {
  if (bytes.size() != 16) return {};
  static constexpr char kHex[] = "0123456789ABCDEF";
  // Data1, Data2, Data3 are little-endian in memory; Data4 is a byte array.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::string text = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    const auto b = std::to_integer<unsigned>(bytes[kOrder[i]]);
    text += kHex[b >> 4];
    text += kHex[b & 15];
  }
  text += '}';
  return text;
}

std::vector<std::byte> ParseGuid(std::string_view text) {
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() != 36)
    throw std::invalid_argument("'" + std::string(text) + "' is not a valid GUID value");
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  std::vector<std::byte> bytes(16);
  std::size_t at = 0;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      if (text[at] != '-')
        throw std::invalid_argument("'" + std::string(text) + "' is not a valid GUID value");
      ++at;
    }
    unsigned value = 0;
    const auto r = std::from_chars(text.data() + at, text.data() + at + 2, value, 16);
    if (r.ec != std::errc{} || r.ptr != text.data() + at + 2)
      throw std::invalid_argument("'" + std::string(text) + "' is not a valid GUID value");
    bytes[kOrder[i]] = static_cast<std::byte>(value);
    at += 2;
  }
  return bytes;
}

std::string NativeValueText(TFieldType type, const FieldValue& value, bool isGuid) {
  if (std::holds_alternative<std::monostate>(value)) return {};
  switch (type) {
    case TFieldType::ftBoolean:
      if (auto* b = std::get_if<std::int16_t>(&value)) return *b != 0 ? "True" : "False";
      break;
    case TFieldType::ftFloat:
    case TFieldType::ftCurrency:
    case TFieldType::ftBCD:
      if (auto* d = std::get_if<double>(&value)) return FormatFloatText(*d);
      break;
    case TFieldType::ftDate:
      if (auto* day = std::get_if<std::int32_t>(&value))
        return FormatShortDate(CivilFromDayNumber(*day));
      break;
    case TFieldType::ftTime:
      if (auto* ms = std::get_if<std::int32_t>(&value)) return FormatLongTime(*ms);
      break;
    case TFieldType::ftDateTime: {
      if (auto* total = std::get_if<double>(&value)) {
        const auto all = static_cast<std::int64_t>(std::llround(*total));
        auto day = static_cast<std::int32_t>(all / kMillisecondsPerDay);
        auto ms = static_cast<std::int32_t>(all % kMillisecondsPerDay);
        if (ms < 0) {
          ms += kMillisecondsPerDay;
          --day;
        }
        std::string text = FormatShortDate(CivilFromDayNumber(day));
        if (ms != 0) text += " " + FormatLongTime(ms);
        return text;
      }
      break;
    }
    case TFieldType::ftBytes:
    case TFieldType::ftVarBytes:
      if (auto* bytes = std::get_if<std::vector<std::byte>>(&value)) {
        if (isGuid) return GuidText(*bytes);
        return std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
      }
      break;
    default:
      break;
  }
  if (auto* s = std::get_if<std::string>(&value)) return *s;
  if (auto* i = std::get_if<std::int32_t>(&value)) return Decimal(*i);
  if (auto* b = std::get_if<std::int16_t>(&value)) return Decimal(*b);
  if (auto* d = std::get_if<double>(&value)) return FormatFloatText(*d);
  if (auto* bytes = std::get_if<std::vector<std::byte>>(&value))
    return std::string(reinterpret_cast<const char*>(bytes->data()), bytes->size());
  return {};
}

}  // namespace corvid
