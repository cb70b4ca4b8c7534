#include "dao/mdb/stored_properties.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "dao/engine/dao_constants.h"
#include "jet/reader/text_decoding.h"
#include "jet/reader/value.h"

namespace corvid::dao {
namespace {

using jet::StoredType;

bool IsBooleanProperty(std::string_view name) {
  return name == "Required" || name == "AllowZeroLength" || name == "ColumnHidden" ||
         name == "UnicodeCompression" || name == "OrderByOn" || name == "FilterOnLoad" ||
         name == "OrderByOnLoad" || name == "TotalsRow";
}

template <class T>
T Stored(const std::vector<std::byte>& data) {
  T value{};
  std::memcpy(&value, data.data(), std::min(sizeof value, data.size()));
  return value;
}

// A floating-point number with as many decimals as its precision allows,
// without trailing zeros.
std::string FloatText(double value, int digits) {
  int magnitude = value == 0 ? 0 : static_cast<int>(std::floor(std::log10(std::fabs(value))));
  int decimals = std::max(0, digits - magnitude - 1);
  char text[400];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string result = text;
  if (result.find('.') != std::string::npos) {
    while (!result.empty() && result.back() == '0') result.pop_back();
    if (!result.empty() && result.back() == '.') result.pop_back();
  }
  return result;
}

}  // namespace

std::string PropertyText(const jet::reader::StoredProperty& property,
                         const jet::reader::TextDecoder& text) {
  const auto& data = property.data;
  switch (static_cast<StoredType>(property.type)) {
    case StoredType::Bool:
      return !data.empty() && data[0] != std::byte{0} ? "yes" : "no";
    case StoredType::Byte:
      return std::to_string(static_cast<int>(Stored<std::uint8_t>(data)));
    case StoredType::Integer:
      return std::to_string(Stored<std::int16_t>(data));
    case StoredType::Long:
      return std::to_string(Stored<std::int32_t>(data));
    case StoredType::Single:
      return FloatText(Stored<float>(data), 6);
    case StoredType::Double:
      return FloatText(Stored<double>(data), 15);
    case StoredType::Text:
    case StoredType::Memo:
      return text.Decode(data);
    case StoredType::Guid: {
      if (data.size() < 16) return {};
      jet::reader::Guid guid;
      std::memcpy(guid.bytes.data(), data.data(), 16);
      return guid.Text();
    }
    default:
      return {};
  }
}

Properties PropertiesOfBlock(const jet::reader::PropertyBlock& block,
                             const jet::reader::TextDecoder& text) {
  Properties result;
  for (const auto& property : block.properties) {
    std::string value = PropertyText(property, text);
    if (IsBooleanProperty(property.name) && (value == "yes" || value == "no"))
      result.Set(property.name, value == "yes", dbBoolean);
    else
      result.Set(property.name, value, dbText);
  }
  return result;
}

}  // namespace corvid::dao
