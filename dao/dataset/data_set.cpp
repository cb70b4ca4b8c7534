#include "dao/dataset/data_set.h"

#include <algorithm>

#include "SrcLib/quietly.h"
#include "SrcLib/text_case.h"
#include "dao/dataset/data_set_error.h"
#include "dao/dataset/field_entry.h"

namespace corvid {

namespace {

bool SameFieldName(std::string_view a, std::string_view b) { return SameText(a, b); }

}  // namespace

TDataSet::TDataSet() = default;

// A concrete data set closes itself in its own destructor; the data sources
// that still follow this one forget it.
TDataSet::~TDataSet() {
  for (TDataSource* source : dataSources_) source->DataSetGone();
}

void TDataSet::SetActive(bool value) {
  if (value == Active()) return;
  if (value)
    OpenInternal();
  else
    CloseInternal();
}

void TDataSet::OpenInternal() {
  if (BeforeOpen) BeforeOpen(*this);
  state_ = TDataSetState::dsOpening;
  try {
    OpenCursor();  // builds the field definitions and calls CreateFields
    state_ = TDataSetState::dsBrowse;
    calcBuffer_ = NewRecordBuffer();
    FillFromStart();
  } catch (...) {
    state_ = TDataSetState::dsInactive;
    try {
      ClearBuffers();
      if (calcBuffer_) ReleaseRecordBuffer(calcBuffer_);
      if (IsCursorOpen()) CloseCursor();
      DestroyDefaultFields();
    } catch (...) {
      // the open's own error is the one reported; what is left is freed with the data set
    }
    throw;
  }
  NotifyDataSources(TDataEvent::deUpdateState);
  if (AfterOpen) AfterOpen(*this);
}

void TDataSet::CloseInternal() {
  if (BeforeClose) BeforeClose(*this);
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) Cancel();
  ClearBuffers();
  if (spare_) ReleaseRecordBuffer(spare_);
  if (calcBuffer_) ReleaseRecordBuffer(calcBuffer_);
  state_ = TDataSetState::dsInactive;
  try {
    CloseCursor();
  } catch (...) {
    DestroyDefaultFields();
    NotifyDataSources(TDataEvent::deUpdateState);
    throw;
  }
  DestroyDefaultFields();
  NotifyDataSources(TDataEvent::deUpdateState);
  if (AfterClose) AfterClose(*this);
}

void TDataSet::CheckActive() const {
  if (!Active()) throw DataSetError("Cannot perform this operation on a closed dataset");
}

void TDataSet::CheckBrowseMode() {
  CheckActive();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  if (modified_)
    Post();
  else
    Cancel();
}

// --- buffers

std::unique_ptr<RecordBuffer> TDataSet::TakeSpareBuffer() {
  if (spare_) return std::move(spare_);
  auto buffer = NewRecordBuffer();
  buffer->calculated.assign(calculatedCount_, std::nullopt);
  return buffer;
}

void TDataSet::KeepSpare(std::unique_ptr<RecordBuffer> buffer) {
  if (!spare_)
    spare_ = std::move(buffer);
  else
    ReleaseRecordBuffer(buffer);
}

void TDataSet::ClearBuffers() {
  for (auto& buffer : buffers_) ReleaseRecordBuffer(buffer);
  buffers_.clear();
  active_ = 0;
  cursorAt_ = CursorAt::Nowhere;
}

void TDataSet::SetBufferCount(std::size_t count) { windowSize_ = std::max<std::size_t>(count, 1); }

RecordBuffer* TDataSet::ActiveBuffer() const {
  if (buffers_.empty()) return nullptr;
  return buffers_[active_].get();
}

std::optional<FieldValue>* TDataSet::CalculatedSlot(RecordBuffer& buffer, const TField& field) {
  const int slot = field.CalculatedSlot();
  if (slot < 0) return nullptr;
  const auto index = static_cast<std::size_t>(slot);
  if (buffer.calculated.size() <= index) buffer.calculated.resize(index + 1);
  return &buffer.calculated[index];
}

void TDataSet::ClearCalcFields(RecordBuffer& buffer) {
  buffer.calculated.assign(calculatedCount_, std::nullopt);
}

void TDataSet::CalculateFields(RecordBuffer& buffer) {
  ClearCalcFields(buffer);
  if (calculatedCount_ == 0 || !OnCalcFields) return;
  TemporaryState calculating(*this, TDataSetState::dsCalcFields, &buffer);
  OnCalcFields(*this);
}

TDataSetState TDataSet::SetTempState(TDataSetState state, RecordBuffer* filterBuffer) {
  const TDataSetState old = state_;
  state_ = state;
  filterBuffer_ = filterBuffer;
  return old;
}

void TDataSet::RestoreState(TDataSetState state) {
  state_ = state;
  filterBuffer_ = nullptr;
}

// --- fetching

std::unique_ptr<RecordBuffer> TDataSet::FetchIntoSpare(FetchMode mode) {
  auto buffer = TakeSpareBuffer();
  FetchResult result;
  try {
    result = FetchRecord(*buffer, mode);
  } catch (...) {
    KeepSpare(std::move(buffer));
    throw;
  }
  if (result != FetchResult::Ok) {
    KeepSpare(std::move(buffer));
    return nullptr;
  }
  return buffer;
}

bool TDataSet::FetchForward() {
  if (!buffers_.empty() && cursorAt_ != CursorAt::Back) SyncToBuffer(buffers_.back().get());
  auto buffer = FetchIntoSpare(FetchMode::Next);
  if (!buffer) return false;
  buffers_.push_back(std::move(buffer));
  cursorAt_ = CursorAt::Back;
  if (buffers_.size() > windowSize_) {
    KeepSpare(std::move(buffers_.front()));
    buffers_.pop_front();
    if (active_ > 0) --active_;
  }
  return true;
}

bool TDataSet::FetchBackward() {
  if (!buffers_.empty() && cursorAt_ != CursorAt::Front) SyncToBuffer(buffers_.front().get());
  auto buffer = FetchIntoSpare(FetchMode::Prior);
  if (!buffer) return false;
  buffers_.push_front(std::move(buffer));
  cursorAt_ = CursorAt::Front;
  if (!buffers_.empty() && buffers_.size() > 1) ++active_;
  if (buffers_.size() > windowSize_) {
    KeepSpare(std::move(buffers_.back()));
    buffers_.pop_back();
    if (active_ >= buffers_.size()) active_ = buffers_.size() - 1;
  }
  return true;
}

void TDataSet::FillFromStart() {
  ClearBuffers();
  MoveToStart();
  while (buffers_.size() < windowSize_ && FetchForward()) {
  }
  active_ = 0;
  bof_ = true;
  eof_ = buffers_.empty();
}

// --- navigation

void TDataSet::First() {
  CheckBrowseMode();
  DoBeforeScroll();
  FillFromStart();
  DataSetChanged();
  DoAfterScroll();
}

void TDataSet::Last() {
  CheckBrowseMode();
  if (IsUnidirectional()) throw DataSetError("Operation not allowed on a unidirectional dataset");
  DoBeforeScroll();
  ClearBuffers();
  MoveToEnd();
  while (buffers_.size() < windowSize_ && FetchBackward()) {
  }
  active_ = buffers_.empty() ? 0 : buffers_.size() - 1;
  eof_ = true;
  bof_ = buffers_.empty();
  DataSetChanged();
  DoAfterScroll();
}

int TDataSet::MoveBy(int distance) {
  CheckBrowseMode();
  if ((distance > 0 && eof_) || (distance < 0 && bof_) || distance == 0) return 0;
  DoBeforeScroll();
  eof_ = false;
  bof_ = false;
  int steps = 0;
  while (distance > 0) {
    if (active_ + 1 >= buffers_.size()) {
      if (!FetchForward()) {
        eof_ = true;
        break;
      }
      active_ = buffers_.size() - 1;
    } else {
      ++active_;
    }
    --distance;
    ++steps;
  }
  while (distance < 0) {
    if (active_ == 0) {
      if (IsUnidirectional() || !FetchBackward()) {
        bof_ = true;
        break;
      }
      active_ = 0;
    } else {
      --active_;
    }
    ++distance;
    --steps;
  }
  DataSetChanged();
  DoAfterScroll();
  return steps;
}

void TDataSet::Resync() {
  CheckActive();
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    CheckBrowseMode();  // posting or cancelling resynchronises
    return;
  }
  ClearBuffers();
  auto buffer = TakeSpareBuffer();
  FetchResult result = FetchRecord(*buffer, FetchMode::Current);
  if (result != FetchResult::Ok) result = FetchRecord(*buffer, FetchMode::Next);
  if (result != FetchResult::Ok) result = FetchRecord(*buffer, FetchMode::Prior);
  if (result != FetchResult::Ok) {
    KeepSpare(std::move(buffer));
    eof_ = bof_ = true;
    DataSetChanged();
    return;
  }
  buffers_.push_back(std::move(buffer));
  cursorAt_ = CursorAt::Back;
  active_ = 0;
  eof_ = bof_ = false;
  while (buffers_.size() < windowSize_ && FetchForward()) {
  }
  DataSetChanged();
}

void TDataSet::DoBeforeScroll() {
  if (BeforeScroll) BeforeScroll(*this);
}

void TDataSet::DoAfterScroll() {
  if (AfterScroll) AfterScroll(*this);
}

void TDataSet::DataSetChanged() {
  if (OnDataChange) OnDataChange(*this);
  NotifyDataSources(TDataEvent::deDataSetChange);
}

// --- data sources

void TDataSet::AttachDataSource(TDataSource& source) {
  if (std::find(dataSources_.begin(), dataSources_.end(), &source) == dataSources_.end())
    dataSources_.push_back(&source);
}

void TDataSet::DetachDataSource(TDataSource& source) { std::erase(dataSources_, &source); }

void TDataSet::EnableControls() {
  if (disableCount_ == 0) return;
  if (--disableCount_ == 0 && Active()) NotifyDataSources(TDataEvent::deDataSetChange);
}

void TDataSet::NotifyDataSources(TDataEvent event) {
  if (ControlsDisabled()) return;
  const auto sources = dataSources_;  // a follower may detach while it runs
  for (TDataSource* source : sources)
    if (std::find(dataSources_.begin(), dataSources_.end(), source) != dataSources_.end())
      source->DataEvent(event);
}

// --- fields

void TDataSet::CreateFields() {
  DestroyDefaultFields();
  if (fields_.empty()) {
    for (const TFieldDef& def : fieldDefs_) {
      auto field =
          std::make_unique<TField>(*this, def.name, def.dataType, TFieldKind::fkData, def.size);
      field->SetIsDefault(true);
      field->SetPrecision(def.precision);
      fields_.push_back(std::move(field));
    }
  }
  calculatedCount_ = 0;
  for (auto& field : fields_) {
    if (field->FieldKind() == TFieldKind::fkData) {
      int fieldNo = 0;
      for (const TFieldDef& def : fieldDefs_)
        if (SameFieldName(def.name, field->FieldName())) fieldNo = def.fieldNo;
      if (fieldNo == 0) throw DataSetError("Field '" + field->FieldName() + "' not found");
      field->Bind(fieldNo, -1);
    } else {
      field->Bind(0, static_cast<int>(calculatedCount_++));
    }
  }
}

void TDataSet::DestroyDefaultFields() {
  std::erase_if(fields_, [](const auto& f) { return f->IsDefault(); });
}

TField& TDataSet::AddField(std::string name, TFieldType type, TFieldKind kind, int size) {
  if (Active()) throw DataSetError("Cannot perform this operation on an open dataset");
  DestroyDefaultFields();
  fields_.push_back(std::make_unique<TField>(*this, std::move(name), type, kind, size));
  return *fields_.back();
}

TField& TDataSet::Fields(std::size_t position) {
  if (position >= fields_.size())
    throw DataSetError("List index out of bounds (" + std::to_string(position) + ")");
  return *fields_[position];
}

TField* TDataSet::FindField(std::string_view name) const {
  for (const auto& field : fields_)
    if (SameFieldName(field->FieldName(), name)) return field.get();
  return nullptr;
}

TField& TDataSet::FieldByName(std::string_view name) const {
  TField* field = FindField(name);
  if (!field) throw DataSetError("Field '" + std::string(name) + "' not found");
  return *field;
}

std::string TDataSet::FieldText(const TField& field) {
  if (!Active()) return {};
  if (field.IsBlob()) {
    auto stream = CreateBlobStream(const_cast<TField&>(field), TBlobStreamMode::bmRead);
    std::string text(static_cast<std::size_t>(stream->Size()), '\0');
    stream->SetPosition(0);
    const std::size_t got = stream->Read(std::as_writable_bytes(std::span(text)));
    text.resize(got);
    if (field.DataType() == TFieldType::ftMemo || field.DataType() == TFieldType::ftFmtMemo)
      return TranslateStoredText(std::move(text));
    return text;
  }
  FieldValue value;
  if (!ReadFieldValue(field, &value)) return {};
  std::string text = NativeValueText(field.DataType(), value, field.ValidChars() == kGuidChars);
  const TFieldType type = field.DataType();
  if (type == TFieldType::ftString || type == TFieldType::ftFixedChar ||
      type == TFieldType::ftWideString)
    return TranslateStoredText(std::move(text));
  return text;
}

bool TDataSet::FieldHasValue(const TField& field) {
  if (!Active()) return false;
  return ReadFieldValue(field, nullptr);
}

FieldValue TDataSet::FieldNativeValue(const TField& field) {
  FieldValue value;
  if (!Active() || !ReadFieldValue(field, &value)) return std::monostate{};
  return value;
}

void TDataSet::CheckFieldWritable(const TField& field) const {
  CheckActive();
  if (field.FieldKind() != TFieldKind::fkData) {
    if (state_ != TDataSetState::dsCalcFields && state_ != TDataSetState::dsInternalCalc)
      throw DataSetError("Field '" + field.DisplayLabel() + "' cannot be modified");
    return;
  }
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert)
    throw DataSetError("Dataset not in edit or insert mode");
  if (field.ReadOnly())
    throw DataSetError("Field '" + field.DisplayLabel() + "' cannot be modified");
}

void TDataSet::SetFieldText(TField& field, const std::string& text) {
  CheckFieldWritable(field);
  if (field.FieldKind() == TFieldKind::fkData && field.IsBlob()) {
    const bool memo =
        field.DataType() == TFieldType::ftMemo || field.DataType() == TFieldType::ftFmtMemo;
    const std::string stored = memo ? StoredTextFromUser(text) : text;
    auto stream = CreateBlobStream(field, TBlobStreamMode::bmWrite);
    stream->Write(std::as_bytes(std::span(stored)));
    return;  // the stream tells the data set of the change when it goes
  }
  FieldValue value = NativeValueFromText(field, text);
  if (auto* s = std::get_if<std::string>(&value)) *s = StoredTextFromUser(std::move(*s));
  SetFieldValue(field, value);
}

void TDataSet::SetFieldValue(TField& field, const FieldValue& value) {
  CheckFieldWritable(field);
  if (field.FieldKind() != TFieldKind::fkData) {
    RecordBuffer* target = filterBuffer_ ? filterBuffer_ : calcBuffer_.get();
    if (target == nullptr) return;
    if (auto* slot = CalculatedSlot(*target, field)) {
      if (std::holds_alternative<std::monostate>(value))
        slot->reset();
      else
        *slot = value;
    }
    return;
  }
  WriteFieldValue(field, value);
  DataEventFieldChange(field);
}

void TDataSet::WriteFieldValue(const TField&, const FieldValue&) {
  throw DataSetError("Cannot modify a read-only dataset");
}

FieldValue TDataSet::FieldOldValue(const TField& field) {
  if (!Active()) return std::monostate{};
  const TDataSetState oldState = state_;
  RecordBuffer* const oldFilterBuffer = filterBuffer_;
  state_ = TDataSetState::dsOldValue;
  FieldValue value;
  bool notNull = false;
  try {
    notNull = ReadFieldValue(field, &value);
  } catch (...) {
    state_ = oldState;
    throw;
  }
  state_ = oldState;
  filterBuffer_ = oldFilterBuffer;
  if (!notNull) return std::monostate{};
  return value;
}

void TDataSet::DataEventFieldChange(TField& field) {
  (void)field;
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    modified_ = true;
    if (AutoCalcFields && calculatedCount_ > 0)
      if (RecordBuffer* buffer = ActiveBuffer()) CalculateFields(*buffer);
  }
  DataSetChanged();
}

// --- editing

void TDataSet::CheckCanModify() const {
  if (!IsModifiable()) throw DataSetError("Cannot modify a read-only dataset");
}

TDataAction TDataSet::ErrorAction(const TDataSetErrorEvent& handler, const std::exception& error) {
  TDataAction action = TDataAction::daFail;
  if (handler) handler(*this, error, action);
  return action;
}

void TDataSet::UpdateCursorPos() {
  if (RecordBuffer* buffer = ActiveBuffer()) {
    SyncToBuffer(buffer);
    CursorMovedElsewhere();
  }
}

void TDataSet::Edit() {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) return;
  CheckActive();
  if (buffers_.empty()) {
    Insert();
    return;
  }
  CheckCanModify();
  try {
    if (BeforeEdit) BeforeEdit(*this);
    UpdateCursorPos();
    InternalEdit();
  } catch (const OperationAborted&) {
    return;
  }
  state_ = TDataSetState::dsEdit;
  modified_ = false;
  if (RecordBuffer* buffer = ActiveBuffer()) CalculateFields(*buffer);
  NotifyDataSources(TDataEvent::deUpdateState);
  DataSetChanged();
  if (AfterEdit) AfterEdit(*this);
}

void TDataSet::Insert() { BeginNewRecord(false); }

void TDataSet::Append() { BeginNewRecord(true); }

void TDataSet::BeginNewRecord(bool append) {
  CheckActive();
  CheckBrowseMode();
  CheckCanModify();
  try {
    if (BeforeInsert) BeforeInsert(*this);
    DoBeforeScroll();
    if (!append) UpdateCursorPos();
    InternalInsert();
  } catch (const OperationAborted&) {
    return;
  }
  auto buffer = TakeSpareBuffer();
  ClearCalcFields(*buffer);
  InitNewRecord(*buffer);
  if (append) {
    ClearBuffers();
    if (!IsUnidirectional()) {
      MoveToEnd();
      while (buffers_.size() + 1 < windowSize_ && FetchBackward()) {
      }
    }
    buffers_.push_back(std::move(buffer));
    active_ = buffers_.size() - 1;
    eof_ = true;
  } else {
    if (buffers_.empty()) active_ = 0;
    buffers_.insert(buffers_.begin() + static_cast<std::ptrdiff_t>(active_), std::move(buffer));
    if (buffers_.size() > windowSize_) {
      if (active_ + 1 < buffers_.size()) {
        KeepSpare(std::move(buffers_.back()));
        buffers_.pop_back();
      } else {
        KeepSpare(std::move(buffers_.front()));
        buffers_.pop_front();
        --active_;
      }
    }
    eof_ = false;
  }
  bof_ = false;
  CursorMovedElsewhere();
  state_ = TDataSetState::dsInsert;
  modified_ = false;
  try {
    if (OnNewRecord) OnNewRecord(*this);
  } catch (...) {
    InternalCancel();
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    Quietly("the cancel is done; the next move reads the records again", [&] { Resync(); });
    NotifyDataSources(TDataEvent::deUpdateState);
    try {
      throw;
    } catch (const OperationAborted&) {
      return;
    }
  }
  modified_ = false;
  NotifyDataSources(TDataEvent::deUpdateState);
  DataSetChanged();
  if (AfterInsert) AfterInsert(*this);
  DoAfterScroll();
}

void TDataSet::CheckRequiredFields() {
  for (const auto& field : fields_) {
    if (field->FieldKind() != TFieldKind::fkData || field->ReadOnly() ||
        field->DataType() == TFieldType::ftAutoInc || field->FieldNo() <= 0)
      continue;
    const auto index = static_cast<std::size_t>(field->FieldNo() - 1);
    if (index >= fieldDefs_.Count() || !fieldDefs_[index].required) continue;
    if (!ReadFieldValue(*field, nullptr))
      throw DataSetError("Field '" + field->DisplayLabel() + "' must have a value");
  }
}

void TDataSet::Post() {
  CheckActive();
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  try {
    if (BeforePost) BeforePost(*this);
    CheckRequiredFields();
    InternalPost();
  } catch (const OperationAborted&) {
    return;
  }
  state_ = TDataSetState::dsBrowse;
  modified_ = false;
  NotifyDataSources(TDataEvent::deUpdateState);
  Resync();
  if (AfterPost) AfterPost(*this);
}

void TDataSet::Cancel() {
  if (state_ != TDataSetState::dsEdit && state_ != TDataSetState::dsInsert) return;
  try {
    if (BeforeCancel) BeforeCancel(*this);
  } catch (const OperationAborted&) {
    return;
  }
  InternalCancel();
  state_ = TDataSetState::dsBrowse;
  modified_ = false;
  NotifyDataSources(TDataEvent::deUpdateState);
  Resync();
  if (AfterCancel) AfterCancel(*this);
}

void TDataSet::Delete() {
  CheckActive();
  if (state_ == TDataSetState::dsInsert) {
    Cancel();
    return;
  }
  if (buffers_.empty()) throw DataSetError("Cannot perform this operation on an empty dataset");
  CheckCanModify();
  if (state_ == TDataSetState::dsEdit) {
    // The record goes; its pending changes with it.
    InternalCancel();
    state_ = TDataSetState::dsBrowse;
    modified_ = false;
    NotifyDataSources(TDataEvent::deUpdateState);
  }
  try {
    if (BeforeDelete) BeforeDelete(*this);
    DoBeforeScroll();
    UpdateCursorPos();
    InternalDelete();
  } catch (const OperationAborted&) {
    return;
  }
  Resync();
  if (AfterDelete) AfterDelete(*this);
  DoAfterScroll();
}

std::unique_ptr<TStream> TDataSet::CreateBlobStream(TField& field, TBlobStreamMode mode) {
  CheckActive();
  return OpenBlobStream(field, mode);
}

// --- bookmarks

TBookmark TDataSet::GetBookmark() {
  RecordBuffer* buffer = ActiveBuffer();
  if (!Active() || buffer == nullptr) return {};
  return BookmarkData(*buffer);
}

void TDataSet::GotoBookmark(const TBookmark& bookmark) {
  CheckBrowseMode();
  DoBeforeScroll();
  InternalGotoBookmark(bookmark);
  Resync();
  DoAfterScroll();
}

bool TDataSet::BookmarkValid(const TBookmark& bookmark) {
  return Active() && IsBookmarkValid(bookmark);
}

int TDataSet::CompareBookmarks(const TBookmark& a, const TBookmark& b) {
  return CompareBookmarkValues(a, b);
}

}  // namespace corvid
