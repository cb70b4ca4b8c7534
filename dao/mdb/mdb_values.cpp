#include "dao/mdb/mdb_values.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "dao/engine/dao_constants.h"
#include "dao/mdb/mdb_file.h"
#include "jet/reader/long_value.h"

namespace corvid::dao {
namespace {

using jet::StoredType;

StoredType TypeOf(const jet::reader::ColumnDefinition& column) {
  return static_cast<StoredType>(column.type);
}

// A little-endian integer of type T stored at `at`.
template <class T>
T ReadLittleEndian(const unsigned char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

bool IsColumnType(const jet::reader::ColumnDefinition& column, StoredType type) {
  return TypeOf(column) == type;
}

int DaoTypeOf(const jet::reader::ColumnDefinition& column) {
  switch (TypeOf(column)) {
    case StoredType::Bool:
      return dbBoolean;
    case StoredType::Byte:
      return dbByte;
    case StoredType::Integer:
      return dbInteger;
    case StoredType::Long:
      return dbLong;
    case StoredType::Money:
      return dbCurrency;
    case StoredType::Single:
      return dbSingle;
    case StoredType::Double:
      return dbDouble;
    case StoredType::DateTime:
      return dbDate;
    case StoredType::Binary:
      return dbBinary;
    case StoredType::Text:
      return dbText;
    case StoredType::Ole:
      return dbLongBinary;
    case StoredType::Memo:
      return dbMemo;
    case StoredType::Guid:
      return dbGUID;
    case StoredType::Numeric:
      return dbDecimal;
    case StoredType::Complex:
      return dbAttachment;
    case StoredType::BigInt:
      return dbBigInt;
    default:
      return kUnknownStoredType + column.type;
  }
}

std::int32_t DaoSizeOf(const jet::reader::ColumnDefinition& column, MdbFormat format) {
  switch (TypeOf(column)) {
    case StoredType::Text:
      // Jet 4 and ACE store two bytes per character.
      return format == MdbFormat::Jet3 ? column.length : column.length / 2;
    case StoredType::Ole:
    case StoredType::Memo:
      return 0;
    case StoredType::Bool:
      return 1;
    case StoredType::Guid:
      return 16;
    case StoredType::Numeric:
      return 17;
    default:
      return column.length;
  }
}

std::int32_t DaoAttributesOf(const jet::reader::ColumnDefinition& column) {
  std::int32_t attributes = column.IsFixed() ? dbFixedField : dbVariableField;
  if (column.flags & jet::kColumnAutoLong) attributes |= dbAutoIncrField;
  return attributes;
}

bool IsLongValue(const jet::reader::ColumnDefinition& column) { return column.IsLongValue(); }

std::string GuidText(const unsigned char* b) {
  char text[64];
  std::snprintf(text, sizeof text, "{guid {%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}}",
                static_cast<unsigned>(ReadLittleEndian<std::uint32_t>(b)),
                ReadLittleEndian<std::uint16_t>(b + 4), ReadLittleEndian<std::uint16_t>(b + 6),
                b[8], b[9], b[10], b[11], b[12], b[13], b[14], b[15]);
  return text;
}

Variant DecodeValue(AccessFile& file, const jet::reader::ColumnDefinition& column,
                    const jet::reader::Value& value) {
  using namespace jet::reader;
  return std::visit(
      [&](const auto& v) -> Variant {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, jet::reader::Null>) {
          return dao::Null{};
        } else if constexpr (std::is_same_v<T, bool>) {
          return v;
        } else if constexpr (std::is_same_v<T, std::uint8_t> || std::is_same_v<T, std::int16_t> ||
                             std::is_same_v<T, std::int32_t> || std::is_same_v<T, std::int64_t>) {
          return static_cast<std::int64_t>(v);
        } else if constexpr (std::is_same_v<T, Money>) {
          return Currency{v.tenThousandths};
        } else if constexpr (std::is_same_v<T, float> || std::is_same_v<T, double>) {
          return v;
        } else if constexpr (std::is_same_v<T, DateTime>) {
          return Date{v.days};
        } else if constexpr (std::is_same_v<T, jet::reader::Guid>) {
          return GuidText(reinterpret_cast<const unsigned char*>(v.bytes.data()));
        } else if constexpr (std::is_same_v<T, Decimal>) {
          return std::stod(v.Text());
        } else if constexpr (std::is_same_v<T, ComplexKey>) {
          return static_cast<std::int64_t>(v.key);
        } else if constexpr (std::is_same_v<T, std::string>) {
          return v;
        } else if constexpr (std::is_same_v<T, jet::reader::Bytes>) {
          return dao::Bytes(v);
        } else if constexpr (std::is_same_v<T, LongValue>) {
          dao::Bytes bytes = ReadLongValueBytes(file.reader().Pages(), file.reader().Format(), v);
          if (column.type == static_cast<std::uint8_t>(StoredType::Memo))
            return file.reader().Text().Decode(bytes);
          return bytes;
        } else {
          return dao::Bytes(v.bytes);
        }
      },
      value);
}

std::int64_t LongValueLength(const jet::reader::Value& value) {
  const auto* stored = std::get_if<jet::reader::LongValue>(&value);
  return stored ? static_cast<std::int64_t>(stored->length) : 0;
}

void ReadLongValue(AccessFile& file, const jet::reader::Value& value,
                   std::vector<std::byte>& into) {
  const auto* stored = std::get_if<jet::reader::LongValue>(&value);
  if (!stored || stored->length == 0) {
    into.clear();
    return;
  }
  if (stored->inlineBytes.size() >= stored->length) {
    into.assign(stored->inlineBytes.begin(), stored->inlineBytes.begin() + stored->length);
    return;
  }
  // Every byte is overwritten: a buffer reused value after value only pays
  // for zero-filling when it grows.
  into.resize(stored->length);
  std::size_t copied = 0;
  jet::reader::ReadLongValue(file.reader().Pages(), file.reader().Format(), *stored,
                             [&](std::span<const std::byte> part) {
                               const std::size_t take = std::min(part.size(), into.size() - copied);
                               std::memcpy(into.data() + copied, part.data(), take);
                               copied += take;
                             });
  into.resize(copied);
}

std::int64_t StoredSize(const jet::reader::ColumnDefinition& column,
                        const jet::reader::Value& value) {
  if (const auto* bytes = std::get_if<jet::reader::Bytes>(&value))
    return static_cast<std::int64_t>(bytes->size());
  if (const auto* text = std::get_if<std::string>(&value))
    return static_cast<std::int64_t>(text->size());
  return column.length;
}

void BytesOfValue(Variant value, std::vector<std::byte>& into) {
  if (auto* bytes = std::get_if<Bytes>(&value)) {
    into = std::move(*bytes);
  } else {
    const std::string text = VariantToText(value);
    into.resize(text.size());
    // An empty text (an empty memo, say) has nothing to copy, and an empty
    // vector's data() may be null, which memcpy must never be given.
    if (!text.empty()) std::memcpy(into.data(), text.data(), text.size());
  }
}

}  // namespace corvid::dao
