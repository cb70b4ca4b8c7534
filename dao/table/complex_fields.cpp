#include "SrcLib/quietly.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/database_error.h"
#include "dao/engine/field.h"
#include "dao/engine/recordset.h"
#include "dao/table/dao_table.h"

namespace corvid {

dao::Field* TVxDaoTable::EngineField(const TField& field) const {
  const int fieldNo = field.FieldNo();
  if (fieldNo <= 0 || static_cast<std::size_t>(fieldNo - 1) >= fieldObjects_.size()) return nullptr;
  return fieldObjects_[static_cast<std::size_t>(fieldNo - 1)];
}

std::unique_ptr<dao::Recordset> TVxDaoTable::ChildRecordset(const TField& field) {
  dao::Field* engineField = EngineField(field);
  const DaoRecordBuffer* buffer = ActiveRecordBuffer();
  if (engineField == nullptr || buffer == nullptr || !recordset_)
    throw DatabaseError("The field '" + field.FieldName() + "' has no value here: the table '" +
                        tableName_ + "' has no current record.");
  const std::int32_t saved = CurrentBookmarkValue();
  const bool move = buffer->RecBookmark > 0 && buffer->RecBookmark != saved;
  if (move) GotoBookmarkValue(buffer->RecBookmark);
  std::unique_ptr<dao::Recordset> rows;
  try {
    rows = engineField->ChildRecordset();
  } catch (...) {
    if (move && saved > 0)
      Quietly("the field's own error is the one to report", [&] { GotoBookmarkValue(saved); });
    throw;
  }
  if (move && saved > 0) GotoBookmarkValue(saved);
  return rows;
}

}  // namespace corvid
