#include "dao/dataset/data_set.h"

#include <algorithm>

#include "SrcLib/text_case.h"
#include "dao/dataset/data_set_error.h"

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
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) Cancel();
}

void TDataSet::Cancel() {
  if (state_ == TDataSetState::dsEdit || state_ == TDataSetState::dsInsert) {
    state_ = TDataSetState::dsBrowse;
    Resync();
  }
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
  const TDataSetState old = SetTempState(TDataSetState::dsCalcFields, &buffer);
  try {
    OnCalcFields(*this);
  } catch (...) {
    RestoreState(old);
    throw;
  }
  RestoreState(old);
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
      auto field = std::make_unique<TField>(*this, def.name, def.dataType, TFieldKind::fkData, def.size);
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
      if (fieldNo == 0)
        throw DataSetError("Field '" + field->FieldName() + "' not found");
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
  if (position >= fields_.size()) throw DataSetError("List index out of bounds (" + std::to_string(position) + ")");
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
  if (type == TFieldType::ftString || type == TFieldType::ftFixedChar || type == TFieldType::ftWideString)
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

void TDataSet::SetFieldText(TField& field, const std::string& text) {
  WriteFieldValue(field, FieldValue(text));
}

void TDataSet::WriteFieldValue(const TField&, const FieldValue&) {
  throw DataSetError("Cannot modify a read-only dataset");
}

void TDataSet::DataEventFieldChange(TField& field) {
  (void)field;
  DataSetChanged();
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
