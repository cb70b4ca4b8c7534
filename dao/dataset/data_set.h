#pragma once
// The data-set base: a navigable data set with states, a window of record
// buffers, field definitions and field objects, end flags, bookmarks and
// notification events. Everything that touches a database happens in the
// protected operations a concrete data set overrides.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "dao/dataset/byte_stream.h"
#include "dao/dataset/data_source.h"
#include "dao/dataset/data_set_state.h"
#include "dao/dataset/field.h"
#include "dao/dataset/field_def.h"
#include "dao/dataset/field_value.h"
#include "dao/dataset/record_buffer.h"

namespace corvid {

class TDataSet;
using TDataSetNotifyEvent = std::function<void(TDataSet&)>;
using TDataSetErrorEvent = std::function<void(TDataSet&, const std::exception&, TDataAction&)>;

// A bookmark: empty means absent.
using TBookmark = std::vector<std::byte>;

class TDataSet {
 public:
  TDataSet();
  virtual ~TDataSet();
  TDataSet(const TDataSet&) = delete;
  TDataSet& operator=(const TDataSet&) = delete;

  // --- opening and closing
  bool Active() const {
    return state_ != TDataSetState::dsInactive && state_ != TDataSetState::dsOpening;
  }
  void SetActive(bool value);
  void Open() { SetActive(true); }
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }

  // --- navigation
  void First();
  void Next() { MoveBy(1); }
  void Prior() { MoveBy(-1); }
  void Last();
  // Moves |distance| records; returns the number of steps made (negative
  // when moving backwards).
  int MoveBy(int distance);
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool IsEmpty() const { return Active() && buffers_.empty(); }
  int RecordCount() {
    CheckActive();
    return CountRecords();
  }
  int RecNo() { return Active() ? GetRecordNumber() : -1; }
  void SetRecNo(int value) {
    CheckActive();
    SetRecordNumber(value);
  }
  // Fetches the current record again and refills the window around it (a
  // record being edited or inserted is first posted or cancelled, as when
  // leaving edit mode).
  void Resync();

  // --- editing
  // The current record enters the edit state (an empty data set inserts a
  // new record instead). A handler of BeforeEdit, BeforeInsert, BeforePost,
  // BeforeCancel, BeforeDelete or OnNewRecord may throw OperationAborted to
  // stop the operation quietly; so does an error handler choosing daAbort.
  void Edit();
  // A new record in front of the current one / after the last one.
  void Insert();
  void Append();
  // Writes the record being edited or inserted. After an abort the data set
  // stays in its edit or insert state with the values as they were.
  virtual void Post();
  // Drops the changes of the record being edited or inserted.
  void Cancel();
  // Deletes the current record (a record being inserted is cancelled).
  void Delete();
  // True once a field value was written in the edit or insert state.
  bool Modified() const { return modified_; }
  // A value was written into the current record by other means than a field
  // (a blob stream): leaving the edit or insert state then posts it.
  void MarkModified() {
    if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) modified_ = true;
  }
  bool CanModify() const { return Active() && IsModifiable(); }

  // --- fields
  TFieldDefs& FieldDefs() { return fieldDefs_; }
  const TFieldDefs& FieldDefs() const { return fieldDefs_; }
  std::size_t FieldCount() const { return fields_.size(); }
  TField& Fields(std::size_t position);
  TField* FindField(std::string_view name) const;
  TField& FieldByName(std::string_view name) const;
  // A persistent field: kept across open and close.
  TField& AddField(std::string name, TFieldType type, TFieldKind kind, int size = 0);

  // Field values of the current record as the field objects read them.
  std::string FieldText(const TField& field);
  bool FieldHasValue(const TField& field);
  FieldValue FieldNativeValue(const TField& field);
  // Writes a field from its text as the user enters it: an empty text is
  // NULL; numbers and dates are read in the user's locale; blob and memo
  // fields are written through a blob stream. Needs the edit or insert state.
  virtual void SetFieldText(TField& field, const std::string& text);
  // Writes a field's native value (monostate: NULL). Needs the edit or insert
  // state; calculated fields take their value in the calc-fields state.
  void SetFieldValue(TField& field, const FieldValue& value);
  // The value the field had before the edit started.
  FieldValue FieldOldValue(const TField& field);
  // A field value changed: the record counts as modified.
  void DataEventFieldChange(TField& field);

  // --- blob streams
  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode);

  // --- bookmarks
  TBookmark GetBookmark();
  void GotoBookmark(const TBookmark& bookmark);
  bool BookmarkValid(const TBookmark& bookmark);
  int CompareBookmarks(const TBookmark& a, const TBookmark& b);

  // --- window size (at least 1)
  void SetBufferCount(std::size_t count);
  std::size_t BufferCount() const { return windowSize_; }

  // --- data sources following this data set
  // While disabled (counted), attached data sources hear nothing; enabling
  // the last time tells them the data set changed.
  void DisableControls() { ++disableCount_; }
  void EnableControls();
  bool ControlsDisabled() const { return disableCount_ > 0; }
  void AttachDataSource(TDataSource& source);
  void DetachDataSource(TDataSource& source);

  // --- events
  TDataSetNotifyEvent BeforeOpen, AfterOpen, BeforeClose, AfterClose, BeforeScroll, AfterScroll,
      OnCalcFields, OnDataChange;
  TDataSetNotifyEvent BeforeEdit, AfterEdit, BeforeInsert, AfterInsert, BeforePost, AfterPost,
      BeforeCancel, AfterCancel, BeforeDelete, AfterDelete, OnNewRecord;
  TDataSetErrorEvent OnDeleteError, OnEditError, OnPostError;
  bool AutoCalcFields = true;

 protected:
  // --- the concrete data set's operations
  // Opens the source, builds the field definitions and calls CreateFields.
  virtual void OpenCursor() = 0;
  virtual void CloseCursor() = 0;
  virtual bool IsCursorOpen() const = 0;
  virtual void BuildFieldDefs() = 0;
  virtual std::unique_ptr<RecordBuffer> NewRecordBuffer() = 0;
  virtual void ReleaseRecordBuffer(std::unique_ptr<RecordBuffer>& buffer) { buffer.reset(); }
  virtual FetchResult FetchRecord(RecordBuffer& buffer, FetchMode mode) = 0;
  virtual bool ReadFieldValue(const TField& field, FieldValue* destination) = 0;
  // Stores a data field's native value in the record being edited.
  virtual void WriteFieldValue(const TField& field, const FieldValue& value);
  // Editing steps, called with the cursor on the active record (none of them
  // is called on a data set that is not modifiable). An error handler's
  // daAbort is passed back as OperationAborted.
  virtual void InternalEdit() {}    // start-edit
  virtual void InternalInsert() {}  // start-insert, before InitNewRecord
  virtual void InitNewRecord(RecordBuffer&) {}
  virtual void InternalPost() {}
  virtual void InternalCancel() {}
  virtual void InternalDelete() {}
  // The text of a string or memo field as stored, from the text the user
  // entered (the inverse of TranslateStoredText); unchanged by default.
  virtual std::string StoredTextFromUser(std::string text) const { return text; }
  virtual void MoveToStart() = 0;
  virtual void MoveToEnd() = 0;
  virtual void SyncToBuffer(RecordBuffer* buffer) = 0;
  virtual bool IsUnidirectional() const { return false; }
  virtual bool IsModifiable() const = 0;
  virtual int CountRecords() { return -1; }
  virtual int GetRecordNumber() { return -1; }
  virtual void SetRecordNumber(int) {}
  virtual TBookmark BookmarkData(const RecordBuffer&) { return {}; }
  virtual void SetBookmarkData(RecordBuffer&, const TBookmark&) {}
  virtual void InternalGotoBookmark(const TBookmark& bookmark) = 0;
  virtual bool IsBookmarkValid(const TBookmark& bookmark) = 0;
  virtual int CompareBookmarkValues(const TBookmark& a, const TBookmark& b) = 0;
  virtual std::unique_ptr<TStream> OpenBlobStream(TField& field, TBlobStreamMode mode) = 0;
  virtual void ClearCalcFields(RecordBuffer& buffer);
  virtual void HandleException(const std::exception&) {}
  // The text of a string or memo field as the user sees it, from the text as
  // stored (code-page translation); unchanged by default.
  virtual std::string TranslateStoredText(std::string text) const { return text; }

  // --- services for the concrete data set
  RecordBuffer* ActiveBuffer() const;
  RecordBuffer* CalcBuffer() const { return calcBuffer_.get(); }
  RecordBuffer* FilterBuffer() const { return filterBuffer_; }
  // Enters a temporary state (filter, calc-fields, ...) and returns the old one.
  TDataSetState SetTempState(TDataSetState state, RecordBuffer* filterBuffer = nullptr);
  void RestoreState(TDataSetState state);
  // Holds a temporary state for its scope and restores the state before it
  // however the scope is left.
  class TemporaryState {
   public:
    TemporaryState(TDataSet& dataSet, TDataSetState state, RecordBuffer* filterBuffer = nullptr)
        : dataSet_(dataSet), previous_(dataSet.SetTempState(state, filterBuffer)) {}
    ~TemporaryState() { dataSet_.RestoreState(previous_); }
    TemporaryState(const TemporaryState&) = delete;
    TemporaryState& operator=(const TemporaryState&) = delete;

   private:
    TDataSet& dataSet_;
    TDataSetState previous_;
  };
  void SetState(TDataSetState state) { state_ = state; }
  // Leaves edit and insert (the browse-mode check): a modified record is
  // posted, an unmodified one cancelled.
  void CheckBrowseMode();
  // Raises unless the data set can be modified.
  virtual void CheckCanModify() const;
  // What an error handler chooses for a failed operation (daFail without one).
  TDataAction ErrorAction(const TDataSetErrorEvent& handler, const std::exception& error);
  // Puts the engine cursor on the active record.
  void UpdateCursorPos();
  void CheckActive() const;
  // Runs OnCalcFields for the buffer (its calculated area cleared first).
  void CalculateFields(RecordBuffer& buffer);
  // Creates one field object per definition unless persistent fields exist,
  // and binds the fields to the definitions.
  void CreateFields();
  void DestroyDefaultFields();
  // Tells the base that the cursor was moved by something else than its own
  // fetches (counting, numbering, a bookmark test): the next fetch first puts
  // it back on the record the window ends with.
  void CursorMovedElsewhere() { cursorAt_ = CursorAt::Nowhere; }
  // Empties the window (buffers released through the concrete data set).
  void ClearBuffers();
  // The calculated slot of a field in a buffer; nullptr when it has none.
  static std::optional<FieldValue>* CalculatedSlot(RecordBuffer& buffer, const TField& field);
  std::size_t CalculatedFieldCount() const { return calculatedCount_; }
  void DoBeforeScroll();
  void DoAfterScroll();
  void DataSetChanged();
  // Tells the attached data sources (unless controls are disabled).
  void NotifyDataSources(TDataEvent event);
  std::vector<std::unique_ptr<TField>>& FieldList() { return fields_; }

 private:
  void OpenInternal();
  void CloseInternal();
  void BeginNewRecord(bool append);
  void CheckFieldWritable(const TField& field) const;
  void CheckRequiredFields();
  std::unique_ptr<RecordBuffer> TakeSpareBuffer();
  void KeepSpare(std::unique_ptr<RecordBuffer> buffer);
  // Fetches the record in the given direction into a spare buffer; null
  // (the buffer kept as spare) when there is none.
  std::unique_ptr<RecordBuffer> FetchIntoSpare(FetchMode mode);
  bool FetchForward();
  bool FetchBackward();
  void FillFromStart();

  TDataSetState state_ = TDataSetState::dsInactive;
  TFieldDefs fieldDefs_;
  std::vector<std::unique_ptr<TField>> fields_;
  std::size_t calculatedCount_ = 0;

  std::deque<std::unique_ptr<RecordBuffer>> buffers_;
  std::size_t active_ = 0;
  std::size_t windowSize_ = 1;
  std::unique_ptr<RecordBuffer> spare_;
  std::unique_ptr<RecordBuffer> calcBuffer_;
  RecordBuffer* filterBuffer_ = nullptr;
  enum class CursorAt { Nowhere, Front, Back } cursorAt_ = CursorAt::Nowhere;
  bool eof_ = true;
  bool bof_ = true;
  bool modified_ = false;
  std::vector<TDataSource*> dataSources_;
  int disableCount_ = 0;
};

}  // namespace corvid
