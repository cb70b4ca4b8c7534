#include "dao/mdb/complex_values.h"

#include "dao/engine/dao_constants.h"

namespace corvid::dao {

ComplexValues::ComplexValues(jet::reader::ComplexColumn resolved)
    : column(std::move(resolved)), daoType(ComplexDaoType(column)) {}

int ComplexDaoType(const jet::reader::ComplexColumn& column) {
  using jet::StoredType;
  if (column.Kind() == jet::reader::ComplexKind::Attachment) return dbAttachment;
  if (column.ValueColumns().empty()) return dbComplexText;
  const auto& definition = column.FlatTable().Definition();
  const auto type = static_cast<StoredType>(
      definition.columns[static_cast<std::size_t>(column.ValueColumns().front())].type);
  switch (type) {
    case StoredType::Byte:
      return dbComplexByte;
    case StoredType::Integer:
      return dbComplexInteger;
    case StoredType::Long:
      return dbComplexLong;
    case StoredType::Single:
      return dbComplexSingle;
    case StoredType::Double:
      return dbComplexDouble;
    case StoredType::Guid:
      return dbComplexGUID;
    case StoredType::Numeric:
      return dbComplexDecimal;
    default:
      return dbComplexText;
  }
}

}  // namespace corvid::dao
