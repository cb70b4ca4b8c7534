// TVxDaoTable: turning the configuration into an open recordset, the field
// definitions, and closing again.

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <random>

#include "SrcLib/quietly.h"
#include "SrcLib/text_case.h"
#include "dao/dao_database.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/database.h"
#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/querydef.h"
#include "dao/engine/recordset.h"
#include "dao/table/dao_table.h"
#include "dao/values/field_type_mapping.h"

namespace corvid {
namespace {

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\n";
    text += lines[i];
  }
  return text;
}

bool HasLines(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return !l.empty(); });
}

std::optional<std::string> FormatProperty(dao::Field& field) {
  const dao::Property* p = field.FieldProperties().Find("Format");
  if (!p) return std::nullopt;
  if (const auto* s = std::get_if<std::string>(&p->value)) return *s;
  return dao::VariantToText(p->value);
}

}  // namespace

void TVxDaoTable::OpenDaoRecordset() {
  if (!database_) throw DatabaseError("TVxDaoTable.OpenDaoRecordset: Missing Database Property");
  if (tableName_.empty() && !HasLines(sql_) && queryDefName_.empty())
    throw DatabaseError(
        "TVxDaoTable.OpenDaoRecordset: Missing TableName or QueryDefName, or SQL is empty!");
  if (!database_->Connected()) {
    if (!databaseAutoActivate_)
      throw DatabaseError("TVxDaoTable.OpenDaoRecordset: Database is NOT connected");
    database_->F_Set_Connected(true);
  }
  if (tableType_ == 16 && database_->DatabaseType() != "ODBC")
    throw DatabaseError(
        "TVxDaoTable.OpenDaoRecordset: DynamicTables are for ODBC connections only!");
  if (database_->ReadOnly() || tableType_ == 8 || tableType_ == 4) readOnly_ = true;
  optionBits_ = OpenOptionBits(openOptions_);
  if (previousRecordset_) {
    Quietly("the old recordset is given up either way", [&] { previousRecordset_->Close(); });
    previousRecordset_.reset();
  }
  recordsAffected_ = 0;

  dao::Database* db = database_->DatabaseObject();
  if (!db) throw DatabaseError("TVxDaoTable.OpenDaoRecordset: Database is NOT connected");

  std::string source = tableName_;
  if (HasLines(sql_)) {
    source = JoinLines(sql_);
    if (paramCheck_) source = SubstituteParams(source, params_);
  }

  std::unique_ptr<dao::Recordset> recordset;
  if (!queryDefName_.empty()) {
    dao::QueryDef& query = db->QueryDefs().Item(queryDefName_);
    auto& parameters = query.Parameters();
    std::size_t next = 0;
    bool hasOutputs = false;
    try {
      for (int i = 0; i < parameters.Count(); ++i) {
        dao::Parameter& p = parameters.Item(i);
        const int direction = p.Direction();
        if (direction == dao::dbParamOutput || direction == dao::dbParamReturnValue)
          hasOutputs = true;
        if (direction != dao::dbParamInput && direction != dao::dbParamInputOutput) continue;
        if (direction == dao::dbParamInputOutput) hasOutputs = true;
        if (next >= queryDefParameters_.size()) throw std::runtime_error("too few parameters");
        const std::string& line = queryDefParameters_[next++];
        if (line == "NULL")
          p.SetValue(dao::Null{});
        else
          p.SetValue(line);
      }
    } catch (...) {
      throw DatabaseError(
          "TVxDaoTable.OpenDaoRecordset: Invalid number of QueryDef parameters or parameter is not "
          "in valid format!");
    }
    try {
      const std::string sqlText = database_->GetQueryDefSql(queryDefName_);
      queryDefSqlText_.clear();
      std::size_t start = 0;
      while (true) {
        const auto end = sqlText.find('\n', start);
        queryDefSqlText_.push_back(
            sqlText.substr(start, end == std::string::npos ? end : end - start));
        if (end == std::string::npos) break;
        start = end + 1;
      }
    } catch (...) {
      // the query's SQL text is shown only when the engine gives it; the query opens without it
    }
    query.SetMaxRecords(queryDefMaxRecords_);
    if (database_->QueryTimeout() != 60) query.SetODBCTimeout(database_->QueryTimeout());
    recordset = query.OpenRecordset(tableType_, optionBits_, lockType_);
    queryOutputs_.clear();
    if (hasOutputs) {
      for (int i = 0; i < parameters.Count(); ++i) {
        dao::Parameter& p = parameters.Item(i);
        const int d = p.Direction();
        if (d == dao::dbParamOutput || d == dao::dbParamInputOutput || d == dao::dbParamReturnValue)
          queryOutputs_.push_back(p.Value());
      }
    }
  } else {
    recordset = db->OpenRecordset(source, tableType_, optionBits_, lockType_);
  }

  if (!recordset->Updatable()) readOnly_ = true;
  hasBookmarks_ = recordset->Bookmarkable();
  bookmarkPositions_.clear();
  bookmarkValues_.clear();
  recordsAffected_ = db->RecordsAffected();
  if (!indexName_.empty()) {
    Quietly("an index the table does not have leaves the records in their stored order",
            [&] { recordset->SetIndex(indexName_); });
  }

  const int n = recordset->Fields().Count();
  fieldDefaults_.assign(static_cast<std::size_t>(n), std::string());
  fieldUpdatable_.assign(static_cast<std::size_t>(n), true);
  if (!readOnly_ && useDaoProperties_) {
    for (int i = 0; i < n; ++i) {
      dao::Field& f = recordset->Fields().Item(i);
      const std::int32_t attributes = f.Attributes();
      fieldUpdatable_[static_cast<std::size_t>(i)] = (attributes & dao::dbUpdatableField) != 0 &&
                                                     (attributes & dao::dbAutoIncrField) == 0 &&
                                                     (attributes & dao::dbSystemField) == 0;
      if (database_->EngineType() != 2) continue;
      try {
        std::string def = f.DefaultValue();
        const int type = f.Type();
        if ((type == dao::dbText || type == dao::dbMemo) && def.size() >= 2 && def.front() == '"' &&
            def.back() == '"')
          def = def.substr(1, def.size() - 2);
        if (type == dao::dbDate) def.clear();  // date defaults need the expression parser
        if (SameText(def, "Null")) def.clear();
        fieldDefaults_[static_cast<std::size_t>(i)] = def;
      } catch (...) {
        // a field whose default cannot be read has none
      }
    }
  }

  if (HasLines(sortedBy_)) {
    sortClause_.clear();
    for (std::size_t i = 0; i < sortedBy_.size(); ++i) {
      sortClause_ += sortedBy_[i];
      if (i + 1 < sortedBy_.size()) sortClause_ += ",";
      sortClause_ += " ";
    }
    recordset->SetSort(sortClause_);
    auto sorted = recordset->OpenRecordset(tableType_, optionBits_);
    recordset->Close();
    recordset = std::move(sorted);
  }
  if (filtered_ && !filter_.empty()) {
    recordset->SetFilter(filter_);
    auto filteredSet = recordset->OpenRecordset(tableType_, optionBits_);
    recordset->Close();
    recordset = std::move(filteredSet);
  }
  // Master/detail: the master's current values narrow the records.
  ApplyMasterCondition(recordset, *db);

  recordset_ = std::move(recordset);
  fieldObjects_.clear();
  for (int i = 0; i < n; ++i) fieldObjects_.push_back(&recordset_->Fields().Item(i));
  countStale_ = true;
  cursorPos_ = -1;
  scanPos_ = -1;
  highestPos_ = -1;
  cachedCount_ = -1;
}

void TVxDaoTable::ReopenRecordset() {
  if (recordset_) {
    Quietly("the recordset is replaced or given up either way", [&] { recordset_->Close(); });
    recordset_.reset();
  }
  fieldObjects_.clear();
  OpenDaoRecordset();
}

void TVxDaoTable::OpenCursor() {
  OpenDaoRecordset();
  try {
    if (Name().empty()) {
      std::random_device entropy;
      const auto tick = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
      const long long value =
          static_cast<long long>(entropy() % 10000) + static_cast<long long>(tick % 1000000000);
      SetName("VxDaoTable_" + std::to_string(std::llabs(value)));
    }
    BuildFieldDefs();
    CreateFields();

    allFieldNames_.clear();
    nonBlobFieldNames_.clear();
    nonFtBlobFieldNames_.clear();
    fieldTypeNames_.clear();
    guidFields_.assign(FieldDefs().Count(), false);
    for (std::size_t i = 0; i < FieldCount(); ++i) {
      TField& field = Fields(i);
      if (field.DataType() == TFieldType::ftIDispatch) field.SetReadOnly(true);
      const int no = field.FieldNo();
      if (no <= 0) continue;
      const auto index = static_cast<std::size_t>(no - 1);
      if (useCaptions_ && index < fieldCaptions_.size())
        field.SetDisplayLabel(fieldCaptions_[index]);
      if (index < fieldUpdatable_.size() && !fieldUpdatable_[index]) field.SetReadOnly(true);
      std::string expression = field.DefaultExpression();
      if (!expression.empty() && index < fieldDefaults_.size()) {
        if (expression.size() >= 2 && expression.front() == '\'' && expression.back() == '\'')
          expression = expression.substr(1, expression.size() - 2);
        fieldDefaults_[index] = expression;
      }
      allFieldNames_.push_back(field.FieldName());
      if (!field.IsBlob()) nonBlobFieldNames_.push_back(field.FieldName());
      if (field.DataType() != TFieldType::ftBlob) nonFtBlobFieldNames_.push_back(field.FieldName());
      fieldTypeNames_.emplace_back(TableTypeName(field.DataType()));
      if (field.IsDefault()) {
        if (field.DataType() == TFieldType::ftDateTime)
          field.SetDisplayWidth(std::max(field.DisplayWidth(), 20));
        if (cacheMemos_ && field.DataType() == TFieldType::ftMemo)
          field.SetDisplayWidth(std::max(field.DisplayWidth(), 30));
      }
      if (field.DataType() == TFieldType::ftFloat) field.SetPrecision(7);
      if (field.DataType() == TFieldType::ftBytes && index < FieldDefs().Count() &&
          FieldDefs()[index].precision == kGuidMarker) {
        guidFields_[index] = true;
        field.SetValidChars(std::string(kGuidChars));
        if (showGuid_ && field.IsDefault())
          field.SetDisplayWidth(std::max(field.DisplayWidth(), 38));
      }
    }
    insertBuffer_.reset();
    encrypterReady_ = encrypter_ != nullptr;
    cursorOpen_ = true;
    if (tableType_ == 1) {
      Quietly("the count is a hint at opening; it is taken again when asked",
              [&] { CountRecords(); });
    }
    MoveToStart();
    if (!closingByDatabase_) {
      database_->AddActiveTable(Name(), *this);
      registered_ = true;
    }
  } catch (...) {
    cursorOpen_ = false;
    fieldObjects_.clear();
    if (recordset_) {
      Quietly("the recordset is replaced or given up either way", [&] { recordset_->Close(); });
      recordset_.reset();
    }
    throw;
  }
}

void TVxDaoTable::BuildFieldDefs() {
  FieldDefs().Clear();
  fieldCaptions_.clear();
  const bool openedHere = !recordset_;
  if (openedHere) OpenDaoRecordset();
  try {
    const bool jet = database_ && database_->EngineType() == 2;
    for (std::size_t i = 0; i < fieldObjects_.size(); ++i) {
      dao::Field& f = *fieldObjects_[i];
      const int type = f.Type();
      const std::string name = f.Name();
      const std::int32_t size = f.Size();
      const std::int32_t attributes = type == dao::dbLong ? f.Attributes() : 0;
      const std::optional<std::string> format =
          type == dao::dbDate ? FormatProperty(f) : std::nullopt;
      const MappedFieldType mapped = MapDaoFieldType(type, attributes, size, format);
      if (jet && i < fieldDefaults_.size() && !fieldDefaults_[i].empty()) {
        const std::string lowered = LowerCase(fieldDefaults_[i]);
        const bool numeric = (type >= dao::dbInteger && type <= dao::dbDouble) ||
                             type == dao::dbBigInt ||
                             (type >= dao::dbNumeric && type <= dao::dbFloat);
        if (mapped.type == TFieldType::ftAutoInc ||
            (numeric && lowered.find("genuniqueid") != std::string::npos) ||
            (type == dao::dbGUID && lowered.find("genguid") != std::string::npos))
          fieldDefaults_[i].clear();
      }
      const bool required = !readOnly_ && useDaoProperties_ ? f.Required() : false;
      TFieldDef& def = FieldDefs().Add(name, mapped.type, mapped.size, required);
      if (mapped.type == TFieldType::ftBlob && i < fieldDefaults_.size()) fieldDefaults_[i].clear();
      std::string caption = name;
      if (useCaptions_) {
        if (const dao::Property* p = f.FieldProperties().Find("Caption"))
          caption = dao::VariantToText(p->value);
      }
      fieldCaptions_.push_back(caption);
      if (mapped.isGuid) def.precision = kGuidMarker;
    }
    indexDefs_.Read();
  } catch (...) {
    if (openedHere) {
      recordset_.reset();
      fieldObjects_.clear();
    }
    throw;
  }
  if (openedHere) {
    Quietly("the recordset is replaced or given up either way", [&] { recordset_->Close(); });
    recordset_.reset();
    fieldObjects_.clear();
  }
}

void TVxDaoTable::CloseCursor() {
  if (!cursorOpen_) return;
  if (State() == TDataSetState::dsEdit && recordset_) {
    Quietly("an edit still pending goes with the recordset", [&] { recordset_->CancelUpdate(); });
  }
  cursorOpen_ = false;
  optionBits_ = 0;
  sortClause_.clear();
  fieldObjects_.clear();
  if (recordset_) {
    Quietly("the recordset is replaced or given up either way", [&] { recordset_->Close(); });
    recordset_.reset();
  }
  if (previousRecordset_) {
    Quietly("the old recordset is given up either way", [&] { previousRecordset_->Close(); });
    previousRecordset_.reset();
  }
  if (registered_ && database_ && !closingByDatabase_) database_->RemoveActiveTable(*this);
  registered_ = false;
  insertBuffer_.reset();
  encrypterReady_ = false;
}

void TVxDaoTable::FieldNames(std::vector<std::string>& names) {
  names.clear();
  const bool wasActive = Active();
  try {
    if (!wasActive) Open();
    for (std::size_t i = 0; i < FieldCount(); ++i) names.push_back(Fields(i).FieldName());
    if (!wasActive) Close();
  } catch (...) {
    Quietly("FieldNames never throws; the names read so far stand", [&] {
      if (!wasActive && Active()) Close();
    });
  }
}

}  // namespace corvid
