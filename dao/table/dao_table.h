#pragma once
// TVxDaoTable: one DAO recordset of a TVxDaoDatabase presented as a
// navigable data set with typed fields. Its source is a table (TableName), a
// stored query (QueryDefName) or an SQL text (SQL). Every record is held as
// value texts, converted into native forms only when a field is read; blob
// and memo values come through TVxBlobStream unless cached.
//
// Finding records by key values builds engine conditions (key_conditions.h):
// locate searches a clone of the recordset (an index Seek on table-type
// recordsets) and moves the table once; lookup reads a snapshot; a
// MasterSource narrows the records to the master's current values.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "dao/connection/attached_table.h"
#include "dao/connection/component.h"
#include "dao/dataset/data_set.h"
#include "dao/engine/variant.h"
#include "dao/table/blob_source.h"
#include "dao/table/dao_record_buffer.h"
#include "dao/table/index_defs.h"
#include "dao/values/key_conditions.h"
#include "dao/values/sql_params.h"

namespace corvid {

namespace dao {
class Recordset;
class Field;
class Database;
}  // namespace dao

class TVxDaoDatabase;
class TVxBlobStream;
class TDataSource;

// OpenRecordset options; the DAO value of member n is 1 << n.
enum class TOpenOption : int {
  dbDenyWrite,
  dbDenyRead,
  dbReadOnly,
  dbAppendOnly,
  dbInconsistent,
  dbConsistent,
  dbSQLPassThrough,
  dbFailOnError,
  dbForwardOnly,
  dbSeeChanges,
  dbRunAsync,
  dbExecDirect
};
using TOOSet = std::set<TOpenOption>;
std::int32_t OpenOptionBits(const TOOSet& options);

enum class TExportMethod : int { VisibleFields, AllFields };

// The text-decoding hook: the table assigns EncodedString and uses
// DecodedString.
class TVxEncrypter {
 public:
  virtual ~TVxEncrypter() = default;
  virtual void SetEncodedString(const std::string& text) = 0;
  virtual std::string DecodedString() = 0;
  // The encoding direction, used when a record is posted: the table assigns
  // DecodedString and writes EncodedString. An Encrypter that cannot encode
  // refuses (the default), so that no plain text is written where encoded
  // text belongs.
  virtual void SetDecodedString(const std::string& text);
  virtual std::string EncodedString();
};

using TFilterRecordEvent = std::function<void(TDataSet& dataSet, bool& accept)>;

class TVxDaoTable : public TDataSet, public Component, public AttachedTable, public BlobSource {
 public:
  explicit TVxDaoTable(Component* owner = nullptr);
  ~TVxDaoTable() override;

  // ---- published properties
  TVxDaoDatabase* Database() const { return database_; }
  void F_Set_Database(TVxDaoDatabase* database);
  const std::string& TableName() const { return tableName_; }
  void F_Set_TableName(std::string name);
  std::int32_t TableType() const { return tableType_; }
  void F_Set_TableType(std::int32_t type);
  std::int32_t LockType() const { return lockType_; }
  void F_Set_LockType(std::int32_t type);
  const TOOSet& OpenOptions() const { return openOptions_; }
  void F_Set_OpenOptions(TOOSet options);
  bool ReadOnly() const { return readOnly_; }
  void F_Set_ReadOnly(bool value);
  bool LockEdits() const;
  const std::vector<std::string>& SQL() const { return sql_; }
  void F_Set_SQL(std::vector<std::string> lines);
  TParams& Params() { return params_; }
  void F_Set_Params(const TParams& params);
  bool ParamCheck() const { return paramCheck_; }
  void F_Set_ParamCheck(bool value) { paramCheck_ = value; }
  const std::string& QueryDefName() const { return queryDefName_; }
  void F_Set_QueryDefName(std::string name);
  const std::vector<std::string>& QueryDefParameters() const { return queryDefParameters_; }
  void F_Set_QueryDefParameters(std::vector<std::string> lines) {
    queryDefParameters_ = std::move(lines);
  }
  const std::vector<std::string>& QueryDefSQLText() const { return queryDefSqlText_; }
  void F_Set_QueryDefSQLText(std::vector<std::string> lines);
  bool QueryDefSQLModify() const { return queryDefSqlModify_; }
  void F_Set_QueryDefSQLModify(bool value) { queryDefSqlModify_ = value; }
  std::int32_t QueryDefODBCMaxRecords() const { return queryDefMaxRecords_; }
  void F_Set_QueryDefODBCMaxRecords(std::int32_t value) { queryDefMaxRecords_ = value; }
  std::string QueryDefType() const;
  // Output parameters of the last stored-query open.
  const std::vector<dao::Variant>& QueryDefOutputValues() const { return queryOutputs_; }
  const std::vector<std::string>& SortedBy() const { return sortedBy_; }
  void F_Set_SortedBy(std::vector<std::string> lines) { sortedBy_ = std::move(lines); }
  bool RefreshSorted() const { return refreshSorted_; }
  void F_Set_RefreshSorted(bool value) { refreshSorted_ = value; }
  const std::string& IndexName() const { return indexName_; }
  void F_Set_IndexName(std::string name);
  const std::string& Filter() const { return filter_; }
  void F_Set_Filter(std::string filter);
  bool Filtered() const { return filtered_; }
  void F_Set_Filtered(bool value);
  const TFilterRecordEvent& OnFilterRecord() const { return onFilterRecord_; }
  void F_Set_OnFilterRecord(TFilterRecordEvent handler);
  bool DatabaseAutoActivate() const { return databaseAutoActivate_; }
  void F_Set_DatabaseAutoActivate(bool value) { databaseAutoActivate_ = value; }
  bool CacheBlobs() const { return cacheBlobs_; }
  void F_Set_CacheBlobs(bool value);
  bool CacheMemos() const { return cacheMemos_; }
  void F_Set_CacheMemos(bool value);
  bool CacheLookups() const { return cacheLookups_; }
  void F_Set_CacheLookups(bool value);
  bool ShowGUID() const { return showGuid_; }
  void F_Set_ShowGUID(bool value);
  bool UseBrackets() const { return useBrackets_; }
  void F_Set_UseBrackets(bool value) { useBrackets_ = value; }
  bool UseCaptions() const { return useCaptions_; }
  void F_Set_UseCaptions(bool value) { useCaptions_ = value; }
  bool UseDaoProperties() const { return useDaoProperties_; }
  void F_Set_UseDaoProperties(bool value) { useDaoProperties_ = value; }
  bool UseGetRecNo() const { return useGetRecNo_; }
  void F_Set_UseGetRecNo(bool value) { useGetRecNo_ = value; }
  bool UseRecordCount() const { return useRecordCount_; }
  void F_Set_UseRecordCount(bool value) { useRecordCount_ = value; }
  bool WarnOnBadDatabase() const { return warnOnBadDatabase_; }
  void F_Set_WarnOnBadDatabase(bool value) { warnOnBadDatabase_ = value; }
  bool AutoFindIndex() const { return autoFindIndex_; }
  void F_Set_AutoFindIndex(bool value) { autoFindIndex_ = value; }
  bool Translation() const { return translation_; }
  void F_Set_Translation(bool value) { translation_ = value; }
  const std::string& ComponentVersion() const { return componentVersion_; }
  void F_Set_ComponentVersion(std::string_view) {}
  std::string TableDateCreated() const;
  std::string TableLastUpdated() const;
  TVxEncrypter* Encrypter() const { return encrypter_; }
  void F_Set_Encrypter(TVxEncrypter* encrypter);
  TExportMethod ExportMethod() const { return exportMethod_; }
  void F_Set_ExportMethod(TExportMethod value) { exportMethod_ = value; }
  bool ProcessMessages() const { return processMessages_; }
  void F_Set_ProcessMessages(bool value) { processMessages_ = value; }
  std::int32_t IndexFieldCount() const;
  TVxDaoIndexDefs& IndexDefs() { return indexDefs_; }
  const TVxDaoIndexDefs& IndexDefs() const { return indexDefs_; }
  // The base's update-index-definitions request: reads IndexDefs again.
  void UpdateIndexDefs() { indexDefs_.Read(); }

  // ---- master/detail: the detail recordset holds the records whose detail
  // fields equal the master's current values.
  TDataSource* MasterSource() const { return masterSource_; }
  void F_Set_MasterSource(TDataSource* source);
  const std::vector<std::string>& MasterFields() const { return masterFields_; }
  void F_Set_MasterFields(std::vector<std::string> lines);
  bool MasterAutoActivate() const { return masterAutoActivate_; }
  void F_Set_MasterAutoActivate(bool value) { masterAutoActivate_ = value; }
  // The recordset a master/detail open filtered (sources other than a table).
  dao::Recordset* PreviousRecordset() const { return previousRecordset_.get(); }

  // ---- locate, find, lookup. Key fields are names separated by ";", one
  // value text per key field ("NULL" is Null); options are TLocateOption bits.
  // Moves to the first matching record; false (and no move) when none.
  bool Locate(std::string_view keyFields, const std::vector<std::string>& keyValues,
              TLocateOptions options = 0);
  // From the current record: the first, last, next or prior match.
  bool FindFirst(std::string_view keyFields, const std::vector<std::string>& keyValues,
                 TLocateOptions options = 0);
  bool FindLast(std::string_view keyFields, const std::vector<std::string>& keyValues,
                TLocateOptions options = 0);
  bool FindNext(std::string_view keyFields, const std::vector<std::string>& keyValues,
                TLocateOptions options = 0);
  bool FindPrior(std::string_view keyFields, const std::vector<std::string>& keyValues,
                 TLocateOptions options = 0);
  // The values of `resultFields` ("a;b") in the first record matching the
  // keys, in that order; nothing (false) when none matches or the table is
  // empty. The table's record and Filter stay as they were.
  std::optional<std::vector<dao::Variant>> Lookup(std::string_view keyFields,
                                                  const std::vector<std::string>& keyValues,
                                                  std::string_view resultFields);
  // The locale condition texts are built in (the user's unless set).
  ConditionLocale KeyLocale() const { return keyLocale_ ? *keyLocale_ : ConditionLocale::User(); }
  void SetKeyLocale(std::optional<ConditionLocale> locale) { keyLocale_ = std::move(locale); }

  // ---- editing (refused on a read-only table: ReadOnly, or a recordset
  // that is not updatable). After the base's post, a table sorted by
  // SortedBy with RefreshSorted re-queries and goes to its first record.
  void Post() override;

  // ---- operations
  // Clears `names` and adds every field's name in field order; opens the
  // table for the purpose when closed. Never throws.
  void FieldNames(std::vector<std::string>& names);
  bool IsModifiable() const override { return cursorOpen_ && !readOnly_; }
  // UTF-8 <-> code page 850 when Translation is set (toOem: UTF-8 to 850);
  // returns the result's length; 0 for an absent source or source == dest.
  int TranslateText(const std::string* source, std::string* destination, bool toOem) const;
  // The buffer the data-set state designates (nullptr when none).
  DaoRecordBuffer* ActiveRecordBuffer() const override;
  // The type name of every field at the last open ("ftString", ...).
  const std::vector<std::string>& FieldTypeNames() const { return fieldTypeNames_; }
  const std::vector<std::string>& AllFieldNames() const { return allFieldNames_; }
  const std::vector<std::string>& NonBlobFieldNames() const { return nonBlobFieldNames_; }
  const std::vector<std::string>& NonFtBlobFieldNames() const { return nonFtBlobFieldNames_; }
  const std::vector<std::string>& FieldDefaults() const { return fieldDefaults_; }
  dao::Recordset* CurrentRecordset() const { return recordset_.get(); }
  bool HasBookmarks() const { return hasBookmarks_; }
  std::int32_t OptionBits() const { return optionBits_; }
  std::int32_t RecordsAffected() const { return recordsAffected_; }
  // Navigation counters (CursorPos, ScanPos, HighestPos).
  std::int32_t CursorPos() const { return cursorPos_; }
  std::int32_t HighestPos() const { return highestPos_; }
  // Bookmark text of the current record (4 bytes; empty without bookmarks).
  std::string BookmarkText();
  void SetBookmarkText(const std::string& text);
  // Re-reads the current record; falls back to reopening (refresh recovery).
  void Refresh();
  // The record count after the current buffers (as CountRecords).
  std::int32_t RecordCountValue() { return CountRecords(); }

  // ---- complex fields (Attachment, multi-value lists). The engine's field
  // behind `field` (nullptr while closed or for a field of its own), for its
  // Type and the like.
  dao::Field* EngineField(const TField& field) const;
  // The value of `field` in the active record as a recordset of its own
  // rows (an attachment field: one row per attached file). The table moves
  // to the record and back; the recordset keeps what it read. Raises the
  // engine's error: 3251 for a field that is not complex, DataDamageError
  // for a damaged value.
  std::unique_ptr<dao::Recordset> ChildRecordset(const TField& field);

  // ---- damage. A record or value that the damaged file does not give
  // raises dao::DataDamageError (DAO 3049, naming table, page, row and
  // field) from the read or the move that met it; the table stays usable.
  // The number of rows the table's definition lists (-1 when closed or
  // unknown): more than the records visited when the file lost some.
  std::int32_t ListedCount() const;
  // The database's lines about damage met since the last call, one per
  // damaged page or record (none when not connected).
  std::vector<std::string> TakeDamageNotes();

  // End of loading the stored configuration: the parameter list is built
  // from the SQL text now; a failure goes to HandleException, not to the caller.
  void FinishSetup() override;

  // ---- AttachedTable
  void SetClosingByDatabase(bool closing) override { closingByDatabase_ = closing; }
  void DeactivateForDatabase() override { SetActive(false); }
  void DatabaseDestroyed(TVxDaoDatabase& database) override;

  // For tests of the bookmark order.
  static int CompareBookmarkBytes(const TBookmark& a, const TBookmark& b);

 protected:
  // ---- data-set base operations
  void OpenCursor() override;
  void CloseCursor() override;
  bool IsCursorOpen() const override { return cursorOpen_; }
  void BuildFieldDefs() override;
  std::unique_ptr<RecordBuffer> NewRecordBuffer() override;
  FetchResult FetchRecord(RecordBuffer& buffer, FetchMode mode) override;
  bool ReadFieldValue(const TField& field, FieldValue* destination) override;
  void MoveToStart() override;
  void MoveToEnd() override;
  void SyncToBuffer(RecordBuffer* buffer) override;
  bool IsUnidirectional() const override { return tableType_ == 8; }
  int CountRecords() override;
  int GetRecordNumber() override;
  void SetRecordNumber(int n) override;
  TBookmark BookmarkData(const RecordBuffer& buffer) override;
  void SetBookmarkData(RecordBuffer& buffer, const TBookmark& bookmark) override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  bool IsBookmarkValid(const TBookmark& bookmark) override;
  int CompareBookmarkValues(const TBookmark& a, const TBookmark& b) override;
  std::unique_ptr<TStream> OpenBlobStream(TField& field, TBlobStreamMode mode) override;
  // With Translation, texts were stored in the OEM code page (850).
  std::string TranslateStoredText(std::string text) const override;
  // ---- editing steps of the base
  void InternalEdit() override;
  void InternalInsert() override;
  void InitNewRecord(RecordBuffer& buffer) override;
  void WriteFieldValue(const TField& field, const FieldValue& value) override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  std::string StoredTextFromUser(std::string text) const override;
  // A table whose recordset the engine cannot change (and that was not set
  // ReadOnly) refuses with the engine's own error, which says why (indexes,
  // a read-only file ...).
  void CheckCanModify() const override;
  // ---- BlobSource: what its blob streams see of the table
  void CheckBlobWritable(const TField& field) const override;
  // A cached value comes from the buffer; any other is read from the
  // recordset at the buffer's record (the table moves there and back) and
  // decrypted.
  void ReadBlobValue(const TField& field, const DaoRecordBuffer& buffer,
                     std::vector<std::byte>& into) override;
  void BlobModified() override { MarkModified(); }

 private:
  void RefuseWhileActive(std::string_view message) const;
  void OpenDaoRecordset();
  void ReopenRecordset();
  void ReopenAndFirst();
  bool LoadRecordBuffer(DaoRecordBuffer& buffer);
  bool AcceptRecord(DaoRecordBuffer& buffer);
  bool RecordsetEmpty() const;
  std::int32_t CurrentBookmarkValue() const;
  void GotoBookmarkValue(std::int32_t value);
  std::int32_t VerifiedCount();
  std::int32_t PositionFromBookmark(std::int32_t bookmark);
  void RefreshRecovery();
  bool HasRecordFilter() const { return filtered_ && static_cast<bool>(onFilterRecord_); }
  std::string Decrypt(const std::string& text) const;
  int LastEngineErrorNumber() const;
  void RecordBookmark(std::int32_t position, std::int32_t bookmark);
  // editing
  void CancelPendingUpdate();
  void StartPostedEdit(DaoRecordBuffer& buffer);
  void AssignModifiedFields(const DaoRecordBuffer& buffer);
  void PositionOnInserted();
  void ForgetBookmarkOf(std::int32_t position);
  std::string Encrypt(const std::string& text) const;
  // locate and the find family
  enum class FindKind { First, Last, Next, Prior };
  bool FindKey(FindKind kind, std::string_view keyFields, const std::vector<std::string>& keyValues,
               TLocateOptions options);
  std::vector<KeyField> KeyFieldsOf(const std::vector<std::string>& names) const;
  bool LocatePreconditions() const;
  void SplitKeys(std::string_view keyFields, const std::vector<std::string>& keyValues,
                 std::vector<KeyField>& fields) const;
  void MoveToMatch(dao::Recordset& clone);
  bool LocateWithoutBookmarks(const std::vector<KeyField>& fields,
                              const std::vector<std::string>& values, TLocateOptions options,
                              std::int32_t rememberedPos);
  // master/detail
  std::string MasterCondition();
  void ApplyMasterCondition(std::unique_ptr<dao::Recordset>& recordset, dao::Database& db);
  void MasterDataEvent(TDataEvent event);
  void DetachMaster();

  // configuration
  TVxDaoDatabase* database_ = nullptr;
  std::string tableName_;
  std::int32_t tableType_ = 2;
  std::int32_t lockType_ = 3;
  TOOSet openOptions_;
  bool readOnly_ = false;
  bool readOnlyRequested_ = false;  // ReadOnly as set, before the cases that force it
  std::vector<std::string> sql_;
  TParams params_;
  bool paramCheck_ = true;
  std::string queryDefName_;
  std::vector<std::string> queryDefParameters_;
  std::vector<std::string> queryDefSqlText_;
  bool queryDefSqlModify_ = false;
  std::int32_t queryDefMaxRecords_ = 0;
  std::string queryDefTypeName_;
  std::vector<dao::Variant> queryOutputs_;
  std::vector<std::string> sortedBy_;
  bool refreshSorted_ = false;
  std::string indexName_;
  std::string filter_;
  bool filtered_ = false;
  TFilterRecordEvent onFilterRecord_;
  bool databaseAutoActivate_ = false;
  bool cacheBlobs_ = false;
  bool cacheMemos_ = false;
  bool cacheLookups_ = false;
  bool showGuid_ = false;
  bool useBrackets_ = true;
  bool useCaptions_ = false;
  bool useDaoProperties_ = true;
  bool useGetRecNo_ = true;
  bool useRecordCount_ = true;
  bool warnOnBadDatabase_ = false;
  bool autoFindIndex_ = true;
  bool translation_ = false;
  std::string componentVersion_ = "11.00";
  TVxEncrypter* encrypter_ = nullptr;
  TExportMethod exportMethod_ = TExportMethod::VisibleFields;
  bool processMessages_ = false;
  TVxDaoIndexDefs indexDefs_{*this};
  TDataSource* masterSource_ = nullptr;
  int masterLink_ = 0;
  std::vector<std::string> masterFields_;
  bool masterAutoActivate_ = true;
  bool masterReopening_ = false;
  std::optional<ConditionLocale> keyLocale_;

  // open state
  std::unique_ptr<dao::Recordset> recordset_;
  std::unique_ptr<dao::Recordset> previousRecordset_;
  std::vector<dao::Field*> fieldObjects_;
  bool cursorOpen_ = false;
  bool hasBookmarks_ = false;
  std::int32_t optionBits_ = 0;
  std::string sortClause_;
  std::int32_t recordsAffected_ = 0;
  std::vector<std::string> fieldDefaults_;
  std::vector<bool> fieldUpdatable_;
  std::vector<std::string> fieldCaptions_;
  std::vector<std::string> allFieldNames_, nonBlobFieldNames_, nonFtBlobFieldNames_,
      fieldTypeNames_;
  std::vector<bool> guidFields_;  // per field definition
  bool encrypterReady_ = false;
  bool closingByDatabase_ = false;
  bool registered_ = false;
  bool comInitialized_ = false;

  // navigation
  std::int32_t cursorPos_ = -1;
  std::int32_t scanPos_ = -1;
  std::int32_t highestPos_ = -1;
  std::int32_t cachedCount_ = -1;
  bool countStale_ = true;
  bool positionUnknown_ = false;
  std::unique_ptr<DaoRecordBuffer> insertBuffer_;
  std::vector<std::int32_t> bookmarkPositions_;
  std::vector<std::int32_t> bookmarkValues_;
};

}  // namespace corvid
