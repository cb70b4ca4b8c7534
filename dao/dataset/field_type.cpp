#include "dao/dataset/field_type.h"

#include <array>

namespace corvid {

std::string_view FieldTypeIdentifier(TFieldType type) {
  static constexpr std::array<std::string_view, 38> kNames{
      "ftUnknown",    "ftString",     "ftSmallint", "ftInteger",     "ftWord",      "ftBoolean",
      "ftFloat",      "ftCurrency",   "ftBCD",      "ftDate",        "ftTime",      "ftDateTime",
      "ftBytes",      "ftVarBytes",   "ftAutoInc",  "ftBlob",        "ftMemo",      "ftGraphic",
      "ftFmtMemo",    "ftParadoxOle", "ftDBaseOle", "ftTypedBinary", "ftCursor",    "ftFixedChar",
      "ftWideString", "ftLargeint",   "ftADT",      "ftArray",       "ftReference", "ftDataSet",
      "ftOraBlob",    "ftOraClob",    "ftVariant",  "ftInterface",   "ftIDispatch", "ftGuid",
      "ftTimeStamp",  "ftFMTBcd"};
  const auto index = static_cast<std::size_t>(type);
  return index < kNames.size() ? kNames[index] : kNames[0];
}

}  // namespace corvid
