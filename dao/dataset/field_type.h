#pragma once
// Field types and kinds of the data-set base, in their fixed order.

#include <string_view>

namespace corvid {

// Numbered from 0 in this order; stored values and type codes depend on it.
enum class TFieldType : int {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid,
  ftTimeStamp,
  ftFMTBcd
};

enum class TFieldKind : int { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

// The blob and memo types: their values come through a blob stream.
constexpr bool IsBlobType(TFieldType type) {
  switch (type) {
    case TFieldType::ftBlob:
    case TFieldType::ftMemo:
    case TFieldType::ftGraphic:
    case TFieldType::ftFmtMemo:
    case TFieldType::ftParadoxOle:
    case TFieldType::ftDBaseOle:
    case TFieldType::ftTypedBinary:
    case TFieldType::ftOraBlob:
    case TFieldType::ftOraClob:
      return true;
    default:
      return false;
  }
}

// The enumerator's own name ("ftSmallint", "ftFMTBcd", ...).
std::string_view FieldTypeIdentifier(TFieldType type);

}  // namespace corvid
