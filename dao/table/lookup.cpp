// TVxDaoTable: lookup. The key condition becomes the recordset's Filter for
// the moment a snapshot is opened from it; the values come from the
// snapshot's first record, so the table's own record never moves.

#include <cmath>

#include "SrcLib/quietly.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/database_error.h"
#include "dao/engine/recordset.h"
#include "dao/table/dao_table.h"
#include "dao/values/value_text.h"

namespace corvid {
namespace {

constexpr const char* kKeyCountMessage =
    "Number of elements in the KeyValues array must be equal to the number of fields.";

// A calculated field's native value as the engine's kind of value.
dao::Variant VariantOf(TFieldType type, const FieldValue& value) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* i = std::get_if<std::int32_t>(&value)) {
    if (type == TFieldType::ftDate)
      return dao::Date{static_cast<double>(*i - kDayNumberOf1899_12_30)};
    if (type == TFieldType::ftTime) return dao::Date{*i / static_cast<double>(kMillisecondsPerDay)};
    return static_cast<std::int64_t>(*i);
  }
  if (const auto* b = std::get_if<std::int16_t>(&value)) return *b != 0;
  if (const auto* d = std::get_if<double>(&value)) {
    if (type == TFieldType::ftDateTime) {
      const double day = std::floor(*d / kMillisecondsPerDay);
      const double fraction = (*d - day * kMillisecondsPerDay) / kMillisecondsPerDay;
      const double days = day - kDayNumberOf1899_12_30;
      return dao::Date{days < 0 ? days - fraction : days + fraction};
    }
    return *d;
  }
  if (const auto* bytes = std::get_if<std::vector<std::byte>>(&value)) return dao::Bytes(*bytes);
  return dao::Null{};
}

}  // namespace

std::optional<std::vector<dao::Variant>> TVxDaoTable::Lookup(
    std::string_view keyFields, const std::vector<std::string>& keyValues,
    std::string_view resultFields) {
  if (!Active() || IsEmpty() || !recordset_) return std::nullopt;
  const std::vector<std::string> names = SplitKeyNames(keyFields);
  if (names.size() != keyValues.size()) throw DatabaseError(kKeyCountMessage);
  const std::vector<std::string> resultNames = SplitKeyNames(resultFields);
  if (resultNames.empty()) throw DatabaseError("ResultFields are not defined");
  std::vector<TField*> results;
  for (const std::string& name : resultNames) {
    TField* field = FindField(name);
    if (!field) throw DatabaseError("Invalid field name: " + name);
    results.push_back(field);
  }
  const std::string condition =
      KeyCondition(KeyFieldsOf(names), keyValues, useBrackets_, KeyLocale());

  // The table never leaves a Filter on the recordset it keeps (a Filter
  // narrows the next recordset opened from it): what goes back is the empty
  // one.
  struct FilterRestore {
    dao::Recordset& recordset;
    ~FilterRestore() {
      Quietly("a destructor does not throw; the snapshot goes with it",
              [&] { recordset.SetFilter(""); });
    }
  } restore{*recordset_};
  recordset_->SetFilter(condition);
  std::unique_ptr<dao::Recordset> snapshot =
      recordset_->OpenRecordset(dao::dbOpenSnapshot, dao::dbDenyRead);
  struct CloseSnapshot {
    dao::Recordset& recordset;
    ~CloseSnapshot() {
      Quietly("a destructor does not throw; the snapshot is given up either way",
              [&] { recordset.Close(); });
    }
  } closer{*snapshot};

  if (snapshot->Bof() && snapshot->Eof()) return std::nullopt;
  snapshot->MoveFirst();
  std::vector<dao::Variant> values;
  const bool allData = std::all_of(results.begin(), results.end(), [](const TField* f) {
    return f->FieldKind() == TFieldKind::fkData;
  });
  if (allData) {
    for (TField* field : results)
      values.push_back(snapshot->Fields().Item(field->FieldNo() - 1).Value());
    return values;
  }
  // Calculated fields: the snapshot's record in a scratch buffer, the
  // fields calculated on it.
  auto scratch = NewRecordBuffer();
  auto& buffer = static_cast<DaoRecordBuffer&>(*scratch);
  buffer.RecPosition = -1;
  buffer.RecFlag = kRecCurrent;
  std::vector<dao::Variant> row;
  for (std::size_t i = 0; i < FieldDefs().Count(); ++i) {
    const TFieldType type = FieldDefs()[i].dataType;
    dao::Field& field = snapshot->Fields().Item(static_cast<int>(i));
    dao::Variant value = dao::Null{};
    if (type != TFieldType::ftIDispatch) {
      Quietly("a value the engine cannot read looks up as NULL", [&] { value = field.Value(); });
    }
    if (!IsBlobType(type) && type != TFieldType::ftIDispatch)
      buffer.RecValues[i].text = ValueTextFromVariant(value);
    row.push_back(std::move(value));
  }
  CalculateFields(buffer);
  TemporaryState calculating(*this, TDataSetState::dsCalcFields, &buffer);
  for (TField* field : results) {
    if (field->FieldKind() == TFieldKind::fkData)
      values.push_back(row.at(static_cast<std::size_t>(field->FieldNo() - 1)));
    else
      values.push_back(VariantOf(field->DataType(), FieldNativeValue(*field)));
  }
  return values;
}

}  // namespace corvid
