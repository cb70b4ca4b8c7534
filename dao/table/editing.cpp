// TVxDaoTable: editing and posting. The record being edited or inserted
// lives in the active buffer as value texts; a post hands the modified ones
// to the engine (Edit or AddNew, the field values, Update). None of it runs
// on a read-only table: the base refuses before calling these steps.

#include <algorithm>

#include "SrcLib/code_pages.h"
#include "SrcLib/quietly.h"
#include "dao/dao_database.h"
#include "dao/dataset/data_set_error.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/recordset.h"
#include "dao/table/dao_table.h"
#include "dao/table/text_translation.h"
#include "dao/values/posted_values.h"

namespace corvid {
namespace {

bool IsRecordDeleted(const std::exception& error) {
  const auto* engine = dynamic_cast<const dao::EngineError*>(&error);
  return engine && engine->Number() == dao::kRecordDeleted;
}

// Inside a handler: returns for a retry, stops quietly for abort, passes the
// error being handled on for fail.
void RetryOrThrow(TDataAction action) {
  if (action == TDataAction::daAbort) throw OperationAborted();
  if (action == TDataAction::daFail) throw;
}

bool HasLines(const std::vector<std::string>& lines) {
  return std::any_of(lines.begin(), lines.end(), [](const std::string& l) { return !l.empty(); });
}

// The engine reads stored text as Windows-1252; with Translation the bytes
// really are code page 850. This is the way back: the user's text in code
// page 850, those bytes as the engine would read them.
std::string Utf8ToOemStoredText(std::string_view text) {
  const std::string oem = Utf8ToCp850(text);
  std::string out;
  out.reserve(oem.size());
  for (char c : oem) {
    const auto b = static_cast<unsigned char>(c);
    char32_t cp = b;
    if (b >= 0x80 && b < 0xA0 && kWindows1252High[b - 0x80] != 0) cp = kWindows1252High[b - 0x80];
    AppendUtf8(out, cp);
  }
  return out;
}

}  // namespace

void TVxEncrypter::SetDecodedString(const std::string&) {
  throw DatabaseError("The Encrypter cannot encode texts: the record is not written.");
}

std::string TVxEncrypter::EncodedString() {
  throw DatabaseError("The Encrypter cannot encode texts: the record is not written.");
}

std::string TVxDaoTable::Encrypt(const std::string& text) const {
  if (!encrypterReady_ || !encrypter_) return text;
  encrypter_->SetDecodedString(text);
  return encrypter_->EncodedString();
}

std::string TVxDaoTable::StoredTextFromUser(std::string text) const {
  return translation_ ? Utf8ToOemStoredText(text) : text;
}

void TVxDaoTable::CancelPendingUpdate() {
  if (!recordset_) return;
  Quietly("an engine that cannot cancel has nothing pending to drop", [&] {
    if (recordset_->EditMode() != dao::dbEditNone) recordset_->CancelUpdate();
  });
}

void TVxDaoTable::CheckCanModify() const {
  if (IsModifiable()) return;
  if (cursorOpen_ && recordset_ && !readOnlyRequested_ && (tableType_ == 1 || tableType_ == 2) &&
      !recordset_->Updatable()) {
    // AddNew says why the engine refuses, and changes nothing when it does.
    try {
      recordset_->AddNew();
    } catch (const dao::EngineError&) {
      throw;
    } catch (...) {
      // AddNew is asked only for the engine's refusal; any other failure tells nothing more
    }
    Quietly("an engine that cannot cancel has nothing pending to drop", [&] {
      if (recordset_->EditMode() != dao::dbEditNone) recordset_->CancelUpdate();
    });
  }
  TDataSet::CheckCanModify();
}

// --- start-edit and start-insert

void TVxDaoTable::InternalEdit() {
  while (true) {
    try {
      auto* active = static_cast<DaoRecordBuffer*>(ActiveBuffer());
      if (active)
        insertBuffer_ = std::make_unique<DaoRecordBuffer>(*active);
      else
        insertBuffer_.reset();
      if (recordset_->EditMode() != dao::dbEditInProgress) recordset_->Edit();
      // The edit starts from the values the file holds now.
      if (active && !LoadRecordBuffer(*active)) {
        CancelPendingUpdate();
        throw dao::EngineError(dao::kRecordDeleted, "Record is deleted.");
      }
      return;
    } catch (const OperationAborted&) {
      throw;
    } catch (const std::exception& error) {
      try {
        if (recordset_->EditMode() != dao::dbEditInProgress) {
          recordset_->Move(0);
          Resync();
        }
      } catch (...) {
        // the edit's own error is what the handler sees; a retry positions the record again
      }
      RetryOrThrow(ErrorAction(OnEditError, error));
    }
  }
}

void TVxDaoTable::InternalInsert() {
  if (recordset_ && recordset_->EditMode() == dao::dbEditInProgress) {
    Quietly("an edit still pending gives way to the new record",
            [&] { recordset_->CancelUpdate(); });
  }
  insertBuffer_.reset();
}

void TVxDaoTable::InitNewRecord(RecordBuffer& rawBuffer) {
  auto& buffer = static_cast<DaoRecordBuffer&>(rawBuffer);
  buffer.RecFlag = kRecInserted;
  buffer.RecPosition = -1;
  buffer.RecBookmark = 0;
  buffer.RecValues.assign(FieldDefs().Count(), RecordValue{});
  for (std::size_t i = 0; i < buffer.RecValues.size() && i < fieldDefaults_.size(); ++i)
    buffer.RecValues[i].text = fieldDefaults_[i];
  // A default expression of the field object is the value to post.
  for (std::size_t i = 0; i < FieldCount(); ++i) {
    const TField& field = Fields(i);
    if (field.FieldKind() != TFieldKind::fkData || field.FieldNo() <= 0 ||
        field.DefaultExpression().empty())
      continue;
    const auto index = static_cast<std::size_t>(field.FieldNo() - 1);
    if (index >= buffer.RecValues.size()) continue;
    if (index < fieldDefaults_.size()) buffer.RecValues[index].text = fieldDefaults_[index];
    buffer.RecValues[index].modified = true;
  }
}

// --- field values

void TVxDaoTable::WriteFieldValue(const TField& field, const FieldValue& value) {
  DaoRecordBuffer* buffer = ActiveRecordBuffer();
  if (buffer == nullptr || !cursorOpen_) throw DataSetError("Dataset not in edit or insert mode");
  const int no = field.FieldNo();
  if (no <= 0 || static_cast<std::size_t>(no - 1) >= buffer->RecValues.size())
    throw DataSetError("Field '" + field.DisplayLabel() + "' cannot be modified");
  RecordValue& entry = buffer->RecValues[static_cast<std::size_t>(no - 1)];
  entry.text = ValueTextFromNative(field.DataType(), field.ValidChars() == kGuidChars, value);
  entry.modified = true;
}

// --- post

// Puts the engine's edit on the record of the buffer: the cursor may have
// been moved (a count, a blob read) since the edit started, and a move ends
// an engine edit.
void TVxDaoTable::StartPostedEdit(DaoRecordBuffer& buffer) {
  try {
    if (hasBookmarks_ && buffer.RecBookmark != 0 && CurrentBookmarkValue() != buffer.RecBookmark) {
      CancelPendingUpdate();
      GotoBookmarkValue(buffer.RecBookmark);
    }
    if (recordset_->EditMode() != dao::dbEditInProgress) recordset_->Edit();
  } catch (const std::exception& error) {
    Quietly("the edit's own error is the one reported", [&] {
      if (recordset_->EditMode() != dao::dbEditInProgress) recordset_->Move(0);
    });
    if (IsRecordDeleted(error)) {
      // The record is gone: nothing can take the changes. Show what is there.
      Cancel();
      RefreshRecovery();
    }
    throw;
  }
}

void TVxDaoTable::AssignModifiedFields(const DaoRecordBuffer& buffer) {
  for (std::size_t i = 0; i < buffer.RecValues.size() && i < fieldObjects_.size(); ++i) {
    const RecordValue& entry = buffer.RecValues[i];
    if (!entry.modified || (i < fieldUpdatable_.size() && !fieldUpdatable_[i])) continue;
    const TFieldType type = FieldDefs()[i].dataType;
    const bool isGuid = i < guidFields_.size() && guidFields_[i];
    dao::Field& field = *fieldObjects_[i];
    std::string text = entry.text;
    if (encrypterReady_ && (type == TFieldType::ftString || IsBlobType(type))) text = Encrypt(text);
    bool allowZeroLength = false;
    if (text.empty() && (type == TFieldType::ftString || type == TFieldType::ftMemo)) {
      Quietly("a field that cannot say takes an empty text as NULL",
              [&] { allowZeroLength = field.AllowZeroLength(); });
    }
    if (auto value = PostedValue(type, isGuid, allowZeroLength, text)) field.SetValue(*value);
  }
}

// After an insert the table shows the new record.
void TVxDaoTable::PositionOnInserted() {
  try {
    const dao::Bytes bookmark = recordset_->LastModified();
    recordset_->SetBookmark(bookmark);
    cursorPos_ = recordset_->AbsolutePosition();
    if (cursorPos_ < 0) positionUnknown_ = true;
  } catch (...) {
    positionUnknown_ = true;
  }
}

void TVxDaoTable::InternalPost() {
  auto* buffer = static_cast<DaoRecordBuffer*>(ActiveBuffer());
  if (buffer == nullptr) return;
  const bool inserting = State() == TDataSetState::dsInsert;
  while (true) {
    try {
      if (inserting) {
        CancelPendingUpdate();
        recordset_->AddNew();
      } else {
        StartPostedEdit(*buffer);
      }
      AssignModifiedFields(*buffer);
      recordset_->Update();
      break;
    } catch (const OperationAborted&) {
      throw;
    } catch (const std::exception& error) {
      if (State() != TDataSetState::dsEdit && State() != TDataSetState::dsInsert)
        throw;  // recovered already
      const TDataAction action = ErrorAction(OnPostError, error);
      if (inserting) CancelPendingUpdate();  // an insert starts again with AddNew
      RetryOrThrow(action);
    }
  }
  countStale_ = true;
  if (inserting) PositionOnInserted();
  insertBuffer_.reset();
}

void TVxDaoTable::InternalCancel() {
  CancelPendingUpdate();
  insertBuffer_.reset();
}

void TVxDaoTable::Post() {
  const bool pending = State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert;
  TDataSet::Post();
  if (!pending || State() != TDataSetState::dsBrowse) return;  // nothing posted, or aborted
  if (HasLines(sortedBy_) && refreshSorted_) {
    bookmarkPositions_.clear();
    bookmarkValues_.clear();
    ClearBuffers();
    recordset_->Requery();
    countStale_ = true;
    First();
  }
}

// --- delete

void TVxDaoTable::ForgetBookmarkOf(std::int32_t position) {
  for (std::size_t i = 0; i < bookmarkPositions_.size();) {
    if (bookmarkPositions_[i] == position) {
      bookmarkPositions_.erase(bookmarkPositions_.begin() + static_cast<std::ptrdiff_t>(i));
      bookmarkValues_.erase(bookmarkValues_.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (bookmarkPositions_[i] > position) --bookmarkPositions_[i];
    ++i;
  }
}

void TVxDaoTable::InternalDelete() {
  auto* buffer = static_cast<DaoRecordBuffer*>(ActiveBuffer());
  const std::int32_t position = buffer ? buffer->RecPosition : cursorPos_;
  while (true) {
    try {
      recordset_->Delete();
    } catch (const std::exception& error) {
      const bool deleted = IsRecordDeleted(error);
      if (OnDeleteError) {
        switch (ErrorAction(OnDeleteError, error)) {
          case TDataAction::daRetry:
            continue;
          case TDataAction::daAbort:
            countStale_ = true;
            RefreshRecovery();
            throw OperationAborted();
          case TDataAction::daFail:
            if (deleted) RefreshRecovery();
            throw;
        }
      }
      if (!deleted) throw;
      // Someone else deleted it already: show the table as it is now.
      RefreshRecovery();
      return;
    }
    break;
  }
  // The map changes only once the record is really gone.
  ForgetBookmarkOf(position);
  countStale_ = true;
  Quietly("at the end already: the check below steps back to the last record",
          [&] { recordset_->MoveNext(); });
  if (recordset_->Eof()) {
    try {
      recordset_->MoveLast();
      --cursorPos_;
    } catch (...) {
      cursorPos_ = -1;  // nothing left
    }
  }
}

}  // namespace corvid
