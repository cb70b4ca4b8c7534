#pragma once
// The DAO type code of a field decides its field type and size.

#include <optional>
#include <string>
#include <string_view>

#include "dao/dataset/field_type.h"

namespace corvid {

struct MappedFieldType {
  TFieldType type = TFieldType::ftUnknown;
  int size = 0;
  bool isGuid = false;
};

// `format` is the field's "Format" property, nullopt when it has none (only
// consulted for Date fields).
MappedFieldType MapDaoFieldType(int daoType, int attributes, int daoSize,
                                const std::optional<std::string>& format);

// The type names of the open table's type-name list ("ftSmallInt", ...,
// "ftUnknown" for every type without a name of its own).
std::string_view TableTypeName(TFieldType type);

// Marks a GUID field definition (in its precision).
inline constexpr int kGuidMarker = 47554944;

}  // namespace corvid
