#include "dao/values/field_type_mapping.h"

#include "SrcLib/text_case.h"
#include "dao/engine/dao_constants.h"

namespace corvid {

MappedFieldType MapDaoFieldType(int daoType, int attributes, int daoSize,
                                const std::optional<std::string>& format) {
  using T = TFieldType;
  switch (daoType) {
    case dao::dbBoolean:
      return {T::ftBoolean, 0};
    case dao::dbByte:
    case dao::dbInteger:
      return {T::ftSmallint, 0};
    case dao::dbLong:
      return {(attributes & dao::dbAutoIncrField) != 0 ? T::ftAutoInc : T::ftInteger, 0};
    case dao::dbBigInt:
      return {T::ftInteger, 0};
    case dao::dbCurrency:
      return {T::ftCurrency, 0};
    case dao::dbSingle:
    case dao::dbDouble:
    case dao::dbNumeric:
    case dao::dbDecimal:
    case dao::dbFloat:
      return {T::ftFloat, 0};
    case dao::dbDate: {
      if (!format) return {T::ftDateTime, 0};
      if (SameText(*format, "Long Time") || SameText(*format, "Medium Time") ||
          SameText(*format, "Short Time"))
        return {T::ftTime, 0};
      if (SameText(*format, "General Date")) return {T::ftDateTime, 0};
      return {T::ftDate, 0};
    }
    case dao::dbTime:
      return {T::ftTime, 0};
    case dao::dbTimeStamp:
      return {T::ftDateTime, 0};
    case dao::dbBinary:
      return {T::ftBytes, daoSize};
    case dao::dbGUID:
      return {T::ftBytes, daoSize, true};
    case dao::dbText:
      return {T::ftString, daoSize == 0 ? 255 : daoSize};
    case dao::dbChar:
      return {T::ftString, daoSize};
    case dao::dbLongBinary:
    case dao::dbVarBinary:
      return {T::ftBlob, daoSize};
    case dao::dbMemo:
      return {T::ftMemo, daoSize};
    case dao::dbComplexGUID:
    case dao::dbComplexText:
      return {T::ftIDispatch, daoSize};
    default:
      if (daoType >= dao::dbAttachment && daoType <= dao::dbComplexText) return {T::ftIDispatch, 0};
      return {T::ftUnknown, 0};
  }
}

std::string_view TableTypeName(TFieldType type) {
  using T = TFieldType;
  switch (type) {
    case T::ftString:
      return "ftString";
    case T::ftSmallint:
      return "ftSmallInt";
    case T::ftInteger:
      return "ftInteger";
    case T::ftWord:
      return "ftWord";
    case T::ftBoolean:
      return "ftBoolean";
    case T::ftFloat:
      return "ftFloat";
    case T::ftCurrency:
      return "ftCurrency";
    case T::ftBCD:
      return "ftBCD";
    case T::ftDate:
      return "ftDate";
    case T::ftTime:
      return "ftTime";
    case T::ftDateTime:
      return "ftDateTime";
    case T::ftAutoInc:
      return "ftAutoInc";
    case T::ftBlob:
      return "ftBlob";
    case T::ftMemo:
      return "ftMemo";
    default:
      return "ftUnknown";
  }
}

}  // namespace corvid
