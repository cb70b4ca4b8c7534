#include "dao/mdb/complex_values.h"

#include "dao/engine/dao_constants.h"

namespace corvid::dao {

ComplexValues::ComplexValues(jet::reader::ComplexColumn resolved)
    : column(std::move(resolved)), daoType(ComplexDaoType(column)) {}

int ComplexDaoType(const jet::reader::ComplexColumn& column) {
  using jet::reader::ColumnType;
  if (column.Kind() == jet::reader::ComplexKind::Attachment) return dbAttachment;
  if (column.ValueColumns().empty()) return dbComplexText;
  const auto& definition = column.FlatTable().Definition();
  const auto type = static_cast<ColumnType>(
      definition.columns[static_cast<std::size_t>(column.ValueColumns().front())].type);
  switch (type) {
    case ColumnType::Byte:
      return dbComplexByte;
    case ColumnType::Integer:
      return dbComplexInteger;
    case ColumnType::Long:
      return dbComplexLong;
    case ColumnType::Single:
      return dbComplexSingle;
    case ColumnType::Double:
      return dbComplexDouble;
    case ColumnType::Guid:
      return dbComplexGUID;
    case ColumnType::Numeric:
      return dbComplexDecimal;
    default:
      return dbComplexText;
  }
}

}  // namespace corvid::dao
