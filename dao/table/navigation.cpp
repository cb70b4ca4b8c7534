// TVxDaoTable: record buffers, loading a record, moving the engine cursor,
// the record count and number, and bookmarks.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "SrcLib/quietly.h"
#include "dao/dao_database.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/data_damage_error.h"
#include "dao/engine/database.h"
#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/recordset.h"
#include "dao/table/bookmark_value.h"
#include "dao/table/dao_table.h"
#include "dao/values/value_text.h"

namespace corvid {
namespace {

std::string DecimalSize(std::int64_t size) {
  return size == 0 ? std::string() : std::to_string(size);
}

}  // namespace

std::unique_ptr<RecordBuffer> TVxDaoTable::NewRecordBuffer() {
  auto buffer = std::make_unique<DaoRecordBuffer>();
  buffer->RecValues.resize(FieldDefs().Count());
  buffer->calculated.resize(CalculatedFieldCount());
  return buffer;
}

DaoRecordBuffer* TVxDaoTable::ActiveRecordBuffer() const {
  auto cast = [](RecordBuffer* b) { return static_cast<DaoRecordBuffer*>(b); };
  switch (State()) {
    case TDataSetState::dsBrowse:
    case TDataSetState::dsBlockRead:
      return cast(ActiveBuffer());
    case TDataSetState::dsCalcFields:
      return cast(FilterBuffer() ? FilterBuffer() : CalcBuffer());
    case TDataSetState::dsFilter:
      return cast(FilterBuffer());
    case TDataSetState::dsOldValue:
      return insertBuffer_ ? insertBuffer_.get() : cast(ActiveBuffer());
    case TDataSetState::dsEdit:
    case TDataSetState::dsInsert:
    case TDataSetState::dsNewValue:
    case TDataSetState::dsCurValue:
      return cast(ActiveBuffer());
    default:
      return nullptr;
  }
}

bool TVxDaoTable::RecordsetEmpty() const {
  return !recordset_ || (recordset_->Bof() && recordset_->Eof());
}

std::int32_t TVxDaoTable::CurrentBookmarkValue() const {
  if (!hasBookmarks_ || !recordset_ || recordset_->Bof() || recordset_->Eof()) return 0;
  try {
    return BookmarkValueOf(recordset_->Bookmark());
  } catch (...) {
    return 0;
  }
}

void TVxDaoTable::GotoBookmarkValue(std::int32_t value) {
  recordset_->SetBookmark(BookmarkBytes(value));
}

void TVxDaoTable::MoveToStart() {
  cursorPos_ = -1;
  scanPos_ = -1;
  if (RecordsetEmpty() || IsUnidirectional()) return;
  try {
    recordset_->MoveFirst();
    recordset_->MovePrevious();
  } catch (...) {
    // an empty recordset has no record to step back from: it is at its start already
  }
}

bool TVxDaoTable::LoadRecordBuffer(DaoRecordBuffer& buffer) {
  buffer.RecBookmark = CurrentBookmarkValue();
  buffer.RecPosition = cursorPos_;
  buffer.RecFlag = kRecCurrent;
  buffer.RecValues.resize(FieldDefs().Count());
  for (std::size_t i = 0; i < FieldDefs().Count(); ++i) {
    RecordValue& entry = buffer.RecValues[i];
    entry.modified = false;
    entry.damage.clear();
    if (i >= fieldObjects_.size()) {
      entry.text.clear();
      continue;
    }
    const TFieldType type = FieldDefs()[i].dataType;
    if (type == TFieldType::ftIDispatch) {
      entry.text.clear();
      continue;
    }
    dao::Field& field = *fieldObjects_[i];
    const bool readValue = !IsBlobType(type) || (type == TFieldType::ftMemo && cacheMemos_) ||
                           (type == TFieldType::ftBlob && cacheBlobs_);
    try {
      if (readValue) {
        if (IsBlobType(type)) {
          std::vector<std::byte> bytes;
          field.ReadBytesInto(bytes);
          entry.text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        } else {
          entry.text = ValueTextFromVariant(field.Value());
        }
        if (encrypterReady_ && (type == TFieldType::ftString || IsBlobType(type)))
          entry.text = Decrypt(entry.text);
      } else {
        entry.text = DecimalSize(field.FieldSize());
      }
    } catch (const dao::DataDamageError& e) {
      // Kept for whoever reads the field: a damaged value must not pass for
      // an empty one.
      entry.text.clear();
      entry.damage = e.what();
    } catch (const dao::EngineError& e) {
      if (e.Number() == dao::kRecordDeleted) return false;
      entry.text.clear();
    } catch (...) {
      entry.text.clear();
    }
  }
  return true;
}

bool TVxDaoTable::AcceptRecord(DaoRecordBuffer& buffer) {
  TemporaryState filtering(*this, TDataSetState::dsFilter, &buffer);
  bool accept = true;
  CalculateFields(buffer);
  // Calculating restores the filter state without its buffer: set both again.
  SetTempState(TDataSetState::dsFilter, &buffer);
  if (filtered_ && onFilterRecord_) onFilterRecord_(*this, accept);
  return accept;
}

FetchResult TVxDaoTable::FetchRecord(RecordBuffer& rawBuffer, FetchMode mode) {
  auto& buffer = static_cast<DaoRecordBuffer&>(rawBuffer);
  if (State() == TDataSetState::dsInsert) {
    if (!RecordsetEmpty()) CheckBrowseMode();
    return FetchResult::Failed;
  }
  if (State() == TDataSetState::dsEdit) {
    if (recordset_->EditMode() != dao::dbEditInProgress) CheckBrowseMode();
    return FetchResult::Failed;
  }
  while (true) {
    FetchResult result = FetchResult::Ok;
    switch (mode) {
      case FetchMode::Current:
        result = recordset_->Eof()   ? FetchResult::AtEof
                 : recordset_->Bof() ? FetchResult::AtBof
                                     : FetchResult::Ok;
        break;
      case FetchMode::Next:
        if (!(IsUnidirectional() && cursorPos_ == -1) && !recordset_->Eof()) recordset_->MoveNext();
        if (recordset_->Eof()) {
          result = FetchResult::AtEof;
        } else {
          ++cursorPos_;
          ++scanPos_;
        }
        break;
      case FetchMode::Prior:
        if (IsUnidirectional()) return FetchResult::AtBof;
        if (!recordset_->Bof()) recordset_->MovePrevious();
        if (recordset_->Bof()) {
          result = FetchResult::AtBof;
        } else {
          --cursorPos_;
          --scanPos_;
        }
        break;
    }
    if (result == FetchResult::AtEof)
      highestPos_ = cursorPos_ + 1;
    else
      highestPos_ = std::max(highestPos_, cursorPos_);
    if (result != FetchResult::Ok) return result;
    if (!LoadRecordBuffer(buffer)) return FetchResult::Failed;
    if (AcceptRecord(buffer)) return FetchResult::Ok;
    if (mode == FetchMode::Current) return FetchResult::Failed;
  }
}

bool TVxDaoTable::ReadFieldValue(const TField& field, FieldValue* destination) {
  DaoRecordBuffer* buffer = ActiveRecordBuffer();
  if (buffer == nullptr || !cursorOpen_) return false;
  if (field.FieldKind() != TFieldKind::fkData) {
    auto* slot = CalculatedSlot(*buffer, field);
    if (!slot || !slot->has_value()) return false;
    if (destination) *destination = **slot;
    return true;
  }
  const int no = field.FieldNo();
  if (no <= 0 || static_cast<std::size_t>(no - 1) >= buffer->RecValues.size()) return false;
  const RecordValue& entry = buffer->RecValues[static_cast<std::size_t>(no - 1)];
  if (!entry.damage.empty() && !entry.modified) throw dao::DataDamageError(entry.damage);
  const std::string& text = entry.text;
  if (destination == nullptr) return !text.empty();
  if (IsBlobType(field.DataType()) || field.DataType() == TFieldType::ftIDispatch) return false;
  const bool isGuid = field.ValidChars() == kGuidChars;
  return NativeFromValueText(field.DataType(), isGuid, field.Size(), text, *destination);
}

void TVxDaoTable::MoveToEnd() {
  if (RecordsetEmpty()) {
    cursorPos_ = -1;
    return;
  }
  if (IsUnidirectional()) {
    if (!recordset_->Eof()) {
      while (!recordset_->Eof()) {
        recordset_->MoveNext();
        ++scanPos_;
        cursorPos_ = scanPos_;
      }
      --scanPos_;
    }
    cursorPos_ = scanPos_;
    return;
  }
  try {
    recordset_->MoveLast();
    recordset_->MoveNext();
    const std::int32_t oldPos = cursorPos_;
    cursorPos_ = recordset_->RecordCount();
    if (tableType_ == 1 && (highestPos_ < cursorPos_ || cursorPos_ < oldPos)) {
      const std::int32_t count = VerifiedCount();
      cursorPos_ = count;
      highestPos_ = count;
    }
  } catch (const DatabaseError&) {
    throw;
  } catch (...) {
    // an engine that cannot count to the end leaves the position as it was; a damaged file still
    // says so
  }
}

std::int32_t TVxDaoTable::VerifiedCount() {
  std::unique_ptr<dao::Recordset> snapshot = recordset_->OpenRecordset(dao::dbOpenSnapshot, 0);
  std::int32_t count = 0;
  if (!(snapshot->Bof() && snapshot->Eof())) {
    snapshot->MoveLast();
    count = snapshot->RecordCount();
  }
  snapshot->Close();
  if (count != recordset_->RecordCount() && warnOnBadDatabase_) {
    throw DatabaseError("Database " + (database_ ? database_->Database() : std::string()) +
                        " needs to be repaired and compacted!");
  }
  return count;
}

void TVxDaoTable::SyncToBuffer(RecordBuffer* rawBuffer) {
  auto* buffer = static_cast<DaoRecordBuffer*>(rawBuffer);
  if (RecordsetEmpty() || buffer == nullptr) return;
  if (buffer->RecFlag != kRecCurrent && buffer->RecFlag != kRecInserted) return;
  const std::int32_t oldPos = cursorPos_;
  cursorPos_ = buffer->RecPosition;
  if (IsUnidirectional() || State() == TDataSetState::dsSetKey) return;
  if (!hasBookmarks_) {
    bool moved = false;
    if (!HasRecordFilter()) {
      try {
        if (cursorPos_ != oldPos) recordset_->Move(cursorPos_ - oldPos);
        moved = true;
      } catch (...) {
        // not moved: the recordset is positioned from its first record below
      }
    }
    if (!moved) {
      recordset_->MoveFirst();
      recordset_->Move(cursorPos_);
    }
    return;
  }
  if (State() == TDataSetState::dsEdit || State() == TDataSetState::dsInsert) return;
  if (buffer->RecBookmark == CurrentBookmarkValue() && buffer->RecBookmark != 0) return;
  try {
    GotoBookmarkValue(buffer->RecBookmark);
  } catch (const std::exception& e) {
    const auto* engine = dynamic_cast<const dao::EngineError*>(&e);
    if (engine && engine->Number() == dao::kRecordDeleted) {
      Quietly("the missing record's own error is the one reported",
              [&] { recordset_->MoveFirst(); });
    }
    const std::string description = e.what();
    MoveToStart();
    Quietly("the failed move's own error is the one reported", [&] { Resync(); });
    throw DatabaseError(description);
  }
}

int TVxDaoTable::CountRecords() {
  if (IsUnidirectional()) return -1;
  if (!recordset_) return -1;
  if (useRecordCount_ && !countStale_) {
    highestPos_ = cachedCount_;
    return cachedCount_;
  }
  countStale_ = false;
  std::int32_t count = -1;
  if (RecordsetEmpty()) {
    count = 0;
    cursorPos_ = -1;
  } else if (HasRecordFilter()) {
    const std::int32_t savedPos = cursorPos_;
    const std::int32_t savedBookmark = CurrentBookmarkValue();
    auto scratch = NewRecordBuffer();
    count = 0;
    {
      TemporaryState browsing(*this, TDataSetState::dsBrowse);
      MoveToStart();
      while (FetchRecord(*scratch, FetchMode::Next) == FetchResult::Ok) ++count;
    }
    cursorPos_ = savedPos;
    Quietly("the count is what was asked; the next move finds its record again", [&] {
      if (savedBookmark > 0) GotoBookmarkValue(savedBookmark);
    });
  } else if (tableType_ == 1) {
    count = recordset_->RecordCount();
    if (highestPos_ < count) {
      try {
        count = VerifiedCount();
      } catch (const DatabaseError&) {
        throw;
      } catch (...) {
        // the recordset's own count stands when no snapshot can check it; a damaged file still says
        // so
      }
    }
  } else {
    const std::int32_t savedBookmark = CurrentBookmarkValue();
    const bool atBof = recordset_->Bof();
    try {
      recordset_->MoveFirst();
      recordset_->MoveLast();
      count = recordset_->RecordCount();
    } catch (...) {
      // an engine that cannot count to the end gives the count it has
    }
    // put the cursor back
    try {
      if (hasBookmarks_) {
        if (DaoRecordBuffer* active = ActiveRecordBuffer(); active && active->RecBookmark != 0)
          GotoBookmarkValue(active->RecBookmark);
        else if (savedBookmark > 0)
          GotoBookmarkValue(savedBookmark);
        else if (atBof || cursorPos_ == -1) {
          recordset_->MoveFirst();
          recordset_->MovePrevious();
        } else {
          recordset_->MoveNext();  // stands after the last record
        }
      } else if (cursorPos_ == -1) {
        recordset_->MoveFirst();
        recordset_->MovePrevious();
      } else if (cursorPos_ < count) {
        recordset_->MoveFirst();
        recordset_->Move(cursorPos_);
      }
    } catch (...) {
      // the count is what was asked; the next move finds its record again
    }
  }
  cachedCount_ = count;
  highestPos_ = count;
  CursorMovedElsewhere();
  return count;
}

int TVxDaoTable::GetRecordNumber() {
  if (!cursorOpen_) return -1;
  if (DaoRecordBuffer* active = ActiveRecordBuffer()) {
    SyncToBuffer(active);
    CursorMovedElsewhere();
  }
  if (!useGetRecNo_) return -1;
  if (cursorPos_ < -1) positionUnknown_ = true;
  if (IsUnidirectional()) return cursorPos_ + 1;
  if (RecordsetEmpty() || ActiveRecordBuffer() == nullptr) return -1;
  if (recordset_->Bof()) return -1;
  if (HasRecordFilter()) {
    DaoRecordBuffer* active = ActiveRecordBuffer();
    const std::int32_t wanted = active->RecBookmark;
    auto scratch = NewRecordBuffer();
    auto& probe = static_cast<DaoRecordBuffer&>(*scratch);
    int count = 0;
    bool found = false;
    {
      TemporaryState browsing(*this, TDataSetState::dsBrowse);
      MoveToStart();
      while (FetchRecord(probe, FetchMode::Next) == FetchResult::Ok) {
        if (probe.RecBookmark == wanted) {
          found = true;
          break;
        }
        ++count;
      }
    }
    cursorPos_ = active->RecPosition;
    if (!found || CurrentBookmarkValue() != wanted) {
      Quietly("the number is what was asked; the next move finds its record again", [&] {
        if (wanted > 0) GotoBookmarkValue(wanted);
      });
    }
    return found ? count + 1 : -1;
  }
  const bool typeWithPosition = tableType_ == 2 || tableType_ == 4 || tableType_ == 16;
  if (positionUnknown_) {
    if (typeWithPosition) {
      cursorPos_ = recordset_->AbsolutePosition();
    } else {
      const std::int32_t bookmark = CurrentBookmarkValue();
      cursorPos_ = -1;
      if (hasBookmarks_ && bookmark > 0) cursorPos_ = PositionFromBookmark(bookmark);
    }
    ActiveRecordBuffer()->RecPosition = cursorPos_;
    positionUnknown_ = false;
  } else if (typeWithPosition) {
    cursorPos_ = recordset_->AbsolutePosition();
  }
  return cursorPos_ + 1;
}

std::int32_t TVxDaoTable::PositionFromBookmark(std::int32_t bookmark) {
  if (!useGetRecNo_) return -1;
  const std::int32_t count = CountRecords();
  float percent = 0;
  Quietly("without a position estimate the search starts at the first record",
          [&] { percent = recordset_->PercentPosition(); });
  const double estimate = std::max(0.0, static_cast<double>(percent) - 2.0);
  std::int32_t index = static_cast<std::int32_t>(std::lround(count * estimate / 100.0));
  recordset_->MoveFirst();
  if (index > 0) recordset_->Move(index);
  while (!recordset_->Eof() && CurrentBookmarkValue() != bookmark) {
    recordset_->MoveNext();
    ++index;
  }
  if (recordset_->Eof()) {
    index = 0;
    recordset_->MoveFirst();
    while (!recordset_->Eof() && CurrentBookmarkValue() != bookmark) {
      recordset_->MoveNext();
      ++index;
    }
  }
  return recordset_->Eof() ? -1 : index;
}

void TVxDaoTable::SetRecordNumber(int n) {
  CheckBrowseMode();
  DoBeforeScroll();
  if (HasRecordFilter()) {
    const std::int32_t oldPos = cursorPos_;
    auto scratch = NewRecordBuffer();
    bool reached = true;
    {
      TemporaryState browsing(*this, TDataSetState::dsBrowse);
      MoveToStart();
      for (int i = 0; i < n; ++i)
        if (FetchRecord(*scratch, FetchMode::Next) != FetchResult::Ok) {
          reached = false;
          break;
        }
    }
    if (!reached) cursorPos_ = oldPos;
  } else {
    cursorPos_ = n - 1;
    recordset_->MoveFirst();
    if (cursorPos_ > 0) recordset_->Move(cursorPos_);
  }
  Resync();
  DoAfterScroll();
}

// --- bookmarks

void TVxDaoTable::RecordBookmark(std::int32_t position, std::int32_t bookmark) {
  for (std::size_t i = 0; i < bookmarkPositions_.size(); ++i)
    if (bookmarkPositions_[i] == position) {
      bookmarkValues_[i] = bookmark;
      return;
    }
  bookmarkPositions_.push_back(position);
  bookmarkValues_.push_back(bookmark);
}

TBookmark TVxDaoTable::BookmarkData(const RecordBuffer& rawBuffer) {
  if (!hasBookmarks_) return {};
  const auto& buffer = static_cast<const DaoRecordBuffer&>(rawBuffer);
  RecordBookmark(buffer.RecPosition, buffer.RecBookmark);
  return BookmarkBytes(buffer.RecBookmark);
}

void TVxDaoTable::SetBookmarkData(RecordBuffer& rawBuffer, const TBookmark& bookmark) {
  static_cast<DaoRecordBuffer&>(rawBuffer).RecBookmark = BookmarkValueOf(bookmark);
}

std::string TVxDaoTable::BookmarkText() {
  if (!hasBookmarks_) return {};
  DaoRecordBuffer* buffer = ActiveRecordBuffer();
  if (buffer == nullptr) return std::string(4, '\0');
  try {
    const TBookmark data = BookmarkData(*buffer);
    return std::string(reinterpret_cast<const char*>(data.data()), data.size());
  } catch (...) {
    return std::string(4, '\0');
  }
}

void TVxDaoTable::SetBookmarkText(const std::string& text) {
  if (RecordsetEmpty() || !hasBookmarks_ || text.empty()) return;
  const auto* p = reinterpret_cast<const std::byte*>(text.data());
  InternalGotoBookmark(TBookmark(p, p + text.size()));
  Resync();
}

void TVxDaoTable::InternalGotoBookmark(const TBookmark& bookmark) {
  if (!cursorOpen_)
    throw DatabaseError(
        "TVxDaoTable.InternalGotoBookmark: Cannot goto Bookmark - Table is not Active");
  if (bookmark.empty()) throw DatabaseError("Invalid Bookmark!");
  if (RecordsetEmpty()) return;
  const std::int32_t value = BookmarkValueOf(bookmark);
  if (!hasBookmarks_ || value == 0) throw DatabaseError("Bookmarks are not supported!");
  const auto it = std::find(bookmarkValues_.begin(), bookmarkValues_.end(), value);
  if (it == bookmarkValues_.end()) throw DatabaseError("Invalid Bookmark!");
  try {
    GotoBookmarkValue(value);
    cursorPos_ = bookmarkPositions_[static_cast<std::size_t>(it - bookmarkValues_.begin())];
  } catch (const dao::EngineError& e) {
    if (e.Number() == dao::kRecordDeleted) {
      Quietly("the missing record's own error is the one reported", [&] { RefreshRecovery(); });
      MoveToStart();
      throw;
    }
  }
}

bool TVxDaoTable::IsBookmarkValid(const TBookmark& bookmark) {
  if (!cursorOpen_ || RecordsetEmpty() || !hasBookmarks_ || bookmark.empty()) return false;
  const std::int32_t value = BookmarkValueOf(bookmark);
  if (std::find(bookmarkValues_.begin(), bookmarkValues_.end(), value) == bookmarkValues_.end())
    return false;
  const std::int32_t before = CurrentBookmarkValue();
  const std::int32_t beforePos = cursorPos_;
  CursorMovedElsewhere();
  try {
    InternalGotoBookmark(bookmark);
    return true;
  } catch (...) {
    cursorPos_ = beforePos;
    Quietly("the answer is false either way; the next move finds its record again", [&] {
      if (before > 0) GotoBookmarkValue(before);
    });
    return false;
  }
}

int TVxDaoTable::CompareBookmarkBytes(const TBookmark& a, const TBookmark& b) {
  if (a.empty() && b.empty()) return 0;
  if (b.empty()) return -1;
  if (a.empty()) return 1;
  const std::int32_t va = BookmarkValueOf(a);
  const std::int32_t vb = BookmarkValueOf(b);
  return va < vb ? -1 : va > vb ? 1 : 0;
}

int TVxDaoTable::CompareBookmarkValues(const TBookmark& a, const TBookmark& b) {
  return CompareBookmarkBytes(a, b);
}

// --- refresh

void TVxDaoTable::Refresh() {
  CheckActive();
  countStale_ = true;
  try {
    Resync();
  } catch (...) {
    RefreshRecovery();
  }
}

void TVxDaoTable::RefreshRecovery() {
  const std::int32_t remembered = cursorPos_;
  CheckBrowseMode();
  ClearBuffers();
  ReopenRecordset();
  countStale_ = true;
  First();
  if (remembered < CountRecords()) {
    if (remembered > 0) MoveBy(remembered);
  } else {
    Last();
  }
}

}  // namespace corvid
