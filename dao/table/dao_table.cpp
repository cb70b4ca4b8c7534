#include "dao/table/dao_table.h"

#include <algorithm>

#include "SrcLib/quietly.h"
#include "SrcLib/text_case.h"
#include "dao/com_apartment.h"
#include "dao/dao_database.h"
#include "dao/dataset/data_set_error.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/database.h"
#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/field.h"
#include "dao/engine/querydef.h"
#include "dao/engine/recordset.h"
#include "dao/engine/tabledef.h"
#include "dao/table/blob_stream.h"

namespace corvid {

std::int32_t OpenOptionBits(const TOOSet& options) {
  std::int32_t bits = 0;
  for (TOpenOption option : options) bits += 1 << static_cast<int>(option);
  return bits;
}

TVxDaoTable::TVxDaoTable(Component* owner) : Component(owner) {
  comInitialized_ = true;
  dao::CoInitializeApartment();  // cannot fail here
}

TVxDaoTable::~TVxDaoTable() {
  Quietly("a destructor does not throw; the database closes what is left",
          [&] { SetActive(false); });
  DetachMaster();
  if (database_) database_->RemoveClient(*this);
  if (comInitialized_) dao::CoUninitializeApartment();
}

void TVxDaoTable::FinishSetup() {
  Component::FinishSetup();
  try {
    if (paramCheck_) {
      std::string text;
      for (std::size_t i = 0; i < sql_.size(); ++i) text += (i ? "\n" : "") + sql_[i];
      RebuildParams(params_, text);
    }
  } catch (const std::exception& e) {
    HandleException(e);
  }
}

void TVxDaoTable::RefuseWhileActive(std::string_view message) const {
  if (Active() || cursorOpen_) throw DatabaseError(std::string(message));
}

void TVxDaoTable::DatabaseDestroyed(TVxDaoDatabase& database) {
  if (&database != database_) return;
  try {
    closingByDatabase_ = true;
    SetActive(false);
  } catch (...) {
    // the database is going; the table is closed with it whatever fails
  }
  closingByDatabase_ = false;
  database_ = nullptr;
}

void TVxDaoTable::F_Set_Database(TVxDaoDatabase* database) {
  RefuseWhileActive("TVxDaoTable.F_Set_Database: Cannot set Database while Table is Active!");
  if (database == database_) return;
  if (database_) database_->RemoveClient(*this);
  database_ = database;
  if (database_) database_->AddClient(*this);
}

void TVxDaoTable::F_Set_TableName(std::string name) {
  RefuseWhileActive("TVxDaoTable.F_Set_TableName: Cannot set TableName while Table is active!");
  if (!name.empty()) {
    indexName_.clear();
    sql_.clear();
    queryDefName_.clear();
    queryDefSqlText_.clear();
    queryDefParameters_.clear();
    sortedBy_.clear();
    fieldCaptions_.clear();
    FieldDefs().Clear();
    indexDefs_.Clear();
  }
  tableName_ = std::move(name);
}

void TVxDaoTable::F_Set_TableType(std::int32_t type) {
  RefuseWhileActive("TVxDaoTable.F_Set_TableType: Cannot set TableType while Table is active!");
  tableType_ = type;
  if (type == 1) {
    sortedBy_.clear();
  } else {
    indexName_.clear();
    indexDefs_.Clear();
    if (type == 8) sortedBy_.clear();
  }
}

void TVxDaoTable::F_Set_LockType(std::int32_t type) {
  RefuseWhileActive("TVxDaoTable.F_Set_LockType: Cannot set LockType while Table is active!");
  lockType_ = type;
}

void TVxDaoTable::ReopenAndFirst() {
  CheckBrowseMode();
  ClearBuffers();
  ReopenRecordset();
  First();
}

void TVxDaoTable::F_Set_OpenOptions(TOOSet options) {
  openOptions_ = std::move(options);
  if (Active() && !Loading()) ReopenAndFirst();
}

void TVxDaoTable::F_Set_ReadOnly(bool value) {
  readOnlyRequested_ = value;
  if (!value && database_ && database_->Connected() && database_->ReadOnly()) value = true;
  readOnly_ = value;
}

bool TVxDaoTable::LockEdits() const {
  if (!Active() || !recordset_ || readOnly_ || (tableType_ != 1 && tableType_ != 2)) return false;
  if (database_ && database_->DatabaseType() == "ODBC") return false;
  try {
    return recordset_->LockEdits();
  } catch (...) {
    return false;
  }
}

void TVxDaoTable::F_Set_SQL(std::vector<std::string> lines) {
  bool nonEmpty =
      std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return !l.empty(); });
  sql_ = std::move(lines);
  if (nonEmpty) {
    queryDefParameters_.clear();
    queryDefSqlText_.clear();
    queryDefName_.clear();
    indexName_.clear();
    tableName_.clear();
    fieldCaptions_.clear();
    FieldDefs().Clear();
    indexDefs_.Clear();
  }
  if (paramCheck_ && !Loading()) {
    std::string text;
    for (std::size_t i = 0; i < sql_.size(); ++i) text += (i ? "\n" : "") + sql_[i];
    RebuildParams(params_, text);
  }
}

void TVxDaoTable::F_Set_Params(const TParams& params) {
  if (Loading()) {  // the stored list itself; FinishSetup matches it to the SQL text
    params_ = params;
    return;
  }
  for (const TParam& source : params)
    for (TParam& target : params_)
      if (SameText(target.name, source.name)) {
        target.value = source.value;
        target.dataType = source.dataType;
        target.isGuid = source.isGuid;
      }
}

void TVxDaoTable::F_Set_QueryDefName(std::string name) {
  RefuseWhileActive(
      "TVxDaoTable.F_Set_QueryDefName: Cannot set QueryDefName while Table is Active!");
  queryDefName_ = std::move(name);
  queryDefTypeName_.clear();
  if (queryDefName_.empty()) return;
  indexName_.clear();
  tableName_.clear();
  sql_.clear();
  queryDefParameters_.clear();
  masterFields_.clear();
  fieldCaptions_.clear();
  FieldDefs().Clear();
  indexDefs_.Clear();
  if (tableType_ == 1 || tableType_ == 16) tableType_ = 2;
  if (database_ && database_->Connected()) {
    try {
      const std::string text = database_->GetQueryDefSql(queryDefName_);
      queryDefSqlText_.clear();
      std::size_t start = 0;
      while (start <= text.size()) {
        const auto end = text.find('\n', start);
        std::string line =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        queryDefSqlText_.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 1;
      }
    } catch (...) {
      // the query's SQL text is shown only when the engine gives it
    }
    queryDefTypeName_ = QueryDefType();
  }
}

void TVxDaoTable::F_Set_QueryDefSQLText(std::vector<std::string> lines) {
  queryDefSqlText_ = std::move(lines);
  if (!queryDefSqlModify_ || Active() || !database_ || !database_->Connected() ||
      queryDefName_.empty())
    return;
  std::string text;
  for (std::size_t i = 0; i < queryDefSqlText_.size(); ++i)
    text += (i ? "\n" : "") + queryDefSqlText_[i];
  if (paramCheck_) text = SubstituteParams(text, params_);
  const auto& names = database_->QueryDefNames();
  const bool exists = std::any_of(names.begin(), names.end(),
                                  [&](const std::string& n) { return SameText(n, queryDefName_); });
  if (exists)
    database_->SetQueryDefSql(queryDefName_, text);
  else
    database_->AddQueryDef(queryDefName_, text);
  F_Set_QueryDefName(queryDefName_);
}

std::string TVxDaoTable::QueryDefType() const {
  if (!database_ || !database_->Connected() || queryDefName_.empty()) return {};
  try {
    dao::Database* db = database_->DatabaseObject();
    if (!db) return {};
    switch (db->QueryDefs().Item(queryDefName_).Type()) {
      case 0:
        return "dbQSelect";
      case 224:
        return "dbQProcedure";
      case 240:
        return "dbQAction";
      case 16:
        return "dbQCrosstab";
      case 32:
        return "dbQDelete";
      case 48:
        return "dbQUpdate";
      case 64:
        return "dbQAppend";
      case 80:
        return "dbQMakeTable";
      case 96:
        return "dbQDDL";
      case 112:
        return "dbQSQLPassThrough";
      case 128:
        return "dbQSetOperation";
      case 144:
        return "dbQSPTBulk";
      case 160:
        return "dbQCompound";
      default:
        return {};
    }
  } catch (...) {
    return {};
  }
}

void TVxDaoTable::F_Set_IndexName(std::string name) {
  if (!name.empty() && tableType_ != 1)
    throw DatabaseError("TVxDaoTable.F_Set_IndexName: Indexes can be set only on Standard Tables!");
  if (Active() && tableType_ == 1) {
    // An index the table does not have is refused by the engine; the table
    // keeps the index it has.
    recordset_->SetIndex(name);
    indexName_ = std::move(name);
    sortedBy_.clear();
    countStale_ = true;
    First();
    return;
  }
  indexName_ = std::move(name);
}

std::int32_t TVxDaoTable::IndexFieldCount() const {
  if (tableType_ != 1 || !database_ || !database_->Connected() || tableName_.empty() ||
      indexName_.empty())
    return 0;
  try {
    auto& def = database_->DatabaseObject()->TableDefs().Item(tableName_);
    return static_cast<std::int32_t>(def.TableIndexes().Item(indexName_).FieldNames().size());
  } catch (...) {
    return 0;
  }
}

void TVxDaoTable::F_Set_Filter(std::string filter) {
  filter_ = std::move(filter);
  if (Active() && filtered_ && !Loading()) ReopenAndFirst();
}

void TVxDaoTable::F_Set_Filtered(bool value) {
  if (value == filtered_) return;
  const bool old = filtered_;
  filtered_ = value;
  if (Active() && !Loading()) {
    try {
      ReopenAndFirst();
    } catch (...) {
      filtered_ = old;
      throw;
    }
  }
}

void TVxDaoTable::F_Set_OnFilterRecord(TFilterRecordEvent handler) {
  onFilterRecord_ = std::move(handler);
  if (Active() && filtered_ && !Loading()) ReopenAndFirst();
}

namespace {

// Closes an open table, applies the change and opens it again at its first
// record.
template <class Apply>
void ApplyWithReopen(TVxDaoTable& table, bool loading, Apply&& apply) {
  const bool wasActive = table.Active();
  if (wasActive && !loading) table.Close();
  apply();
  if (wasActive && !loading) table.Open();
}

}  // namespace

void TVxDaoTable::F_Set_CacheBlobs(bool value) {
  ApplyWithReopen(*this, Loading(), [&] { cacheBlobs_ = value; });
}
void TVxDaoTable::F_Set_CacheMemos(bool value) {
  ApplyWithReopen(*this, Loading(), [&] { cacheMemos_ = value; });
}
void TVxDaoTable::F_Set_CacheLookups(bool value) {
  ApplyWithReopen(*this, Loading(), [&] { cacheLookups_ = value; });
}
void TVxDaoTable::F_Set_ShowGUID(bool value) {
  ApplyWithReopen(*this, Loading(), [&] { showGuid_ = value; });
}
void TVxDaoTable::F_Set_Encrypter(TVxEncrypter* encrypter) {
  ApplyWithReopen(*this, Loading(), [&] { encrypter_ = encrypter; });
}

std::string TVxDaoTable::TableDateCreated() const {
  try {
    if (!queryDefName_.empty() && database_ && database_->Connected())
      return database_->DatabaseObject()->QueryDefs().Item(queryDefName_).DateCreated();
    if (Active() && recordset_ && tableType_ == 1) return recordset_->DateCreated();
  } catch (...) {
    // a date the engine cannot give is shown as none
  }
  return {};
}

std::string TVxDaoTable::TableLastUpdated() const {
  try {
    if (!queryDefName_.empty() && database_ && database_->Connected())
      return database_->DatabaseObject()->QueryDefs().Item(queryDefName_).LastUpdated();
    if (Active() && recordset_ && tableType_ == 1) return recordset_->LastUpdated();
  } catch (...) {
    // a date the engine cannot give is shown as none
  }
  return {};
}

std::string TVxDaoTable::Decrypt(const std::string& text) const {
  if (!encrypterReady_ || !encrypter_) return text;
  encrypter_->SetEncodedString(text);
  return encrypter_->DecodedString();
}

std::unique_ptr<TStream> TVxDaoTable::OpenBlobStream(TField& field, TBlobStreamMode mode) {
  return std::make_unique<TVxBlobStream>(*this, field, mode);
}

// Written bytes go to the record being edited or inserted, and only there:
// a write in any other state would change a buffer that is never posted.
void TVxDaoTable::CheckBlobWritable(const TField& field) const {
  if (ReadOnly()) throw DatabaseError("Cannot write to ReadOnly table!");
  const TDataSetState state = State();
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert)
    throw DataSetError("Dataset not in edit or insert mode");
  if (field.ReadOnly())
    throw DataSetError("Field '" + field.DisplayLabel() + "' cannot be modified");
}

namespace {

void AssignBytes(const std::string& text, std::vector<std::byte>& into) {
  const auto* p = reinterpret_cast<const std::byte*>(text.data());
  into.assign(p, p + text.size());
}

}  // namespace

void TVxDaoTable::ReadBlobValue(const TField& field, const DaoRecordBuffer& buffer,
                                std::vector<std::byte>& into) {
  const int fieldNo = field.FieldNo();
  if (fieldNo <= 0) return;
  const auto index = static_cast<std::size_t>(fieldNo - 1);
  const bool cached = (field.DataType() == TFieldType::ftMemo && cacheMemos_) ||
                      (field.DataType() == TFieldType::ftBlob && cacheBlobs_);
  const std::string* entry =
      index < buffer.RecValues.size() ? &buffer.RecValues[index].text : nullptr;
  const auto defaultOf = [&]() -> const std::string* {
    return index < fieldDefaults_.size() ? &fieldDefaults_[index] : nullptr;
  };
  if (cached) {
    if (index < buffer.RecValues.size() && !buffer.RecValues[index].damage.empty())
      throw dao::DataDamageError(buffer.RecValues[index].damage);
    if (entry && buffer.RecPosition == -1 && entry->empty()) entry = defaultOf();
    if (entry) AssignBytes(*entry, into);
    return;
  }
  dao::Recordset* recordset = recordset_.get();
  if (!recordset) return;

  const std::int32_t saved = CurrentBookmarkValue();
  if (buffer.RecBookmark > 0 && buffer.RecBookmark != saved) {
    try {
      GotoBookmarkValue(buffer.RecBookmark);
    } catch (const dao::EngineError& e) {
      if (e.Number() == dao::kRecordDeleted) First();
      throw;
    }
  }
  if (State() == TDataSetState::dsInsert && buffer.RecPosition == -1) {
    if (entry && !entry->empty())
      AssignBytes(*entry, into);
    else if (const std::string* def = defaultOf(); def && !def->empty())
      AssignBytes(*def, into);
  } else {
    try {
      // Straight from the file into the stream's buffer: the one copy of
      // the value on its way out.
      dao::Field& daoField = recordset->Fields().Item(fieldNo - 1);
      if (!daoField.ReadBytesInto(into)) into.clear();
      if (encrypterReady_) {
        std::string text(reinterpret_cast<const char*>(into.data()), into.size());
        AssignBytes(Decrypt(text), into);
      }
    } catch (const dao::DataDamageError&) {
      // Damage in this value only: the recordset stays usable where it is,
      // so it just goes back to the record it was on.
      into.clear();
      if (saved > 0 && saved != buffer.RecBookmark && buffer.RecBookmark > 0)
        Quietly("the damage is the error to report", [&] { GotoBookmarkValue(saved); });
      throw;
    } catch (...) {
      // The value could not be read: recover the table's position, then let
      // the caller know. An empty stream here would pass a damaged value off
      // as an empty one, and the extraction run would skip it in silence.
      into.clear();
      if (!IsUnidirectional())
        Quietly("the read's own error is the one to report", [this] { RefreshRecovery(); });
      throw;
    }
  }
  if (saved > 0 && saved != buffer.RecBookmark && buffer.RecBookmark > 0) GotoBookmarkValue(saved);
}

std::int32_t TVxDaoTable::ListedCount() const {
  return cursorOpen_ && recordset_ ? recordset_->ListedCount() : -1;
}

std::vector<std::string> TVxDaoTable::TakeDamageNotes() {
  dao::Database* database = database_ != nullptr ? database_->DatabaseObject() : nullptr;
  return database != nullptr ? database->TakeDamageNotes() : std::vector<std::string>{};
}

}  // namespace corvid
