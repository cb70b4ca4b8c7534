#include "dao/table/blob_stream.h"

#include <algorithm>
#include <cstring>
#include <typeinfo>

#include "dao/table/dao_table.h"
#include "dao/dataset/data_set_error.h"
#include "dao/engine/database_error.h"
#include "dao/engine/engine_error.h"
#include "dao/engine/dao_constants.h"
#include "dao/engine/recordset.h"

namespace corvid {
namespace {

TVxDaoTable& OwningTable(TField& field) {
  return dynamic_cast<TVxDaoTable&>(field.DataSet());  // std::bad_cast for any other data set
}

std::vector<std::byte> BytesOf(const std::string& text) {
  const auto* p = reinterpret_cast<const std::byte*>(text.data());
  return std::vector<std::byte>(p, p + text.size());
}

}  // namespace

TVxBlobStream::TVxBlobStream(TField& field, TBlobStreamMode mode)
    : field_(field), table_(OwningTable(field)), mode_(mode) {
  buffer_ = table_.ActiveRecordBuffer();
  if (buffer_ == nullptr) return;
  if (mode_ == TBlobStreamMode::bmWrite) {
    if (table_.ReadOnly()) throw DatabaseError("Cannot write to ReadOnly table!");
    CheckWritable();
    position_ = 0;
    Truncate();
    return;
  }
  const auto index = static_cast<std::size_t>(field_.FieldNo() - 1);
  if (field_.FieldNo() > 0 && index < buffer_->RecValues.size() && buffer_->RecValues[index].modified) {
    // A value written through the table already: the stream holds it, not
    // the value the file still has.
    data_ = BytesOf(buffer_->RecValues[index].text);
    return;
  }
  Fetch();
}

// Written bytes go to the record being edited or inserted, and only there:
// a write in any other state would change a buffer that is never posted.
void TVxBlobStream::CheckWritable() const {
  if (table_.ReadOnly()) throw DatabaseError("Cannot write to ReadOnly table!");
  const TDataSetState state = table_.State();
  if (state != TDataSetState::dsEdit && state != TDataSetState::dsInsert)
    throw DataSetError("Dataset not in edit or insert mode");
  if (field_.ReadOnly()) throw DataSetError("Field '" + field_.DisplayLabel() + "' cannot be modified");
}

void TVxBlobStream::Fetch() {
  const int fieldNo = field_.FieldNo();
  if (fieldNo <= 0) return;
  const auto index = static_cast<std::size_t>(fieldNo - 1);
  const bool cached = (field_.DataType() == TFieldType::ftMemo && table_.cacheMemos_) ||
                      (field_.DataType() == TFieldType::ftBlob && table_.cacheBlobs_);
  const std::string* entry = index < buffer_->RecValues.size() ? &buffer_->RecValues[index].text : nullptr;
  const auto defaultOf = [&]() -> const std::string* {
    return index < table_.fieldDefaults_.size() ? &table_.fieldDefaults_[index] : nullptr;
  };
  if (cached) {
    if (entry && buffer_->RecPosition == -1 && entry->empty()) entry = defaultOf();
    if (entry) data_ = BytesOf(*entry);
    return;
  }
  dao::Recordset* recordset = table_.recordset_.get();
  if (!recordset) return;

  const std::int32_t saved = table_.CurrentBookmarkValue();
  if (buffer_->RecBookmark > 0 && buffer_->RecBookmark != saved) {
    try {
      table_.GotoBookmarkValue(buffer_->RecBookmark);
    } catch (const dao::EngineError& e) {
      if (e.Number() == dao::kRecordDeleted) table_.First();
      throw;
    }
  }
  if (table_.State() == TDataSetState::dsInsert && buffer_->RecPosition == -1) {
    if (entry && !entry->empty())
      data_ = BytesOf(*entry);
    else if (const std::string* def = defaultOf(); def && !def->empty())
      data_ = BytesOf(*def);
  } else {
    try {
      dao::Field& daoField = recordset->Fields().Item(fieldNo - 1);
      if (!daoField.ReadBytesInto(data_)) data_.clear();
      if (table_.encrypterReady_) {
        std::string text(reinterpret_cast<const char*>(data_.data()), data_.size());
        data_ = BytesOf(table_.Decrypt(text));
      }
    } catch (...) {
      // The value could not be read: recover the table's position, then let
      // the caller know. An empty stream here would pass a damaged value off
      // as an empty one, and the extraction run would skip it in silence.
      data_.clear();
      if (!table_.IsUnidirectional()) {
        try {
          table_.RefreshRecovery();
        } catch (...) {
        }
      }
      throw;
    }
  }
  if (saved > 0 && saved != buffer_->RecBookmark && buffer_->RecBookmark > 0) table_.GotoBookmarkValue(saved);
}

TVxBlobStream::~TVxBlobStream() {
  if (modified_) {
    try {
      field_.NotifyChanged();
    } catch (...) {
    }
    data_.clear();
    open_ = false;
  }
}

std::size_t TVxBlobStream::Read(std::span<std::byte> destination) {
  if (!open_) return 0;
  const auto size = static_cast<std::int64_t>(data_.size());
  const std::int64_t available = size - position_;
  const std::int64_t count = std::min<std::int64_t>(static_cast<std::int64_t>(destination.size()), available);
  if (count <= 0 || position_ < 0) return 0;
  std::memcpy(destination.data(), data_.data() + position_, static_cast<std::size_t>(count));
  position_ += count;
  return static_cast<std::size_t>(count);
}

std::size_t TVxBlobStream::Write(std::span<const std::byte> source) {
  if (!open_ || mode_ == TBlobStreamMode::bmRead) return 0;
  if (mode_ == TBlobStreamMode::bmReadWrite && !modified_) CheckWritable();
  const auto keep = static_cast<std::size_t>(std::clamp<std::int64_t>(position_, 0, static_cast<std::int64_t>(data_.size())));
  data_.resize(keep);
  if (position_ > static_cast<std::int64_t>(keep)) data_.resize(static_cast<std::size_t>(position_));
  data_.insert(data_.end(), source.begin(), source.end());
  position_ += static_cast<std::int64_t>(source.size());
  StoreInBuffer(keep);
  return source.size();
}

std::int64_t TVxBlobStream::Seek(std::int64_t offset, SeekOrigin origin) {
  switch (origin) {
    case SeekOrigin::Beginning: position_ = offset; break;
    case SeekOrigin::Current: position_ += offset; break;
    case SeekOrigin::End: position_ = static_cast<std::int64_t>(data_.size()) + offset; break;
  }
  return position_;
}

void TVxBlobStream::Truncate() {
  if (!open_ || mode_ == TBlobStreamMode::bmRead) return;
  if (mode_ == TBlobStreamMode::bmReadWrite && !modified_) CheckWritable();
  const auto keep = static_cast<std::size_t>(std::clamp<std::int64_t>(position_, 0, static_cast<std::int64_t>(data_.size())));
  data_.resize(keep);
  StoreInBuffer(keep);
}

void TVxBlobStream::StoreInBuffer(std::size_t unchangedUpTo) {
  modified_ = true;
  table_.MarkModified();
  if (!buffer_ || field_.FieldNo() <= 0) return;
  const auto index = static_cast<std::size_t>(field_.FieldNo() - 1);
  if (index >= buffer_->RecValues.size()) return;
  std::string& text = buffer_->RecValues[index].text;
  const auto* bytes = reinterpret_cast<const char*>(data_.data());
  // Writing in small pieces at the end copies each piece once, not the whole
  // value each time.
  if (text.size() == storedSize_ && unchangedUpTo <= text.size()) {
    text.resize(unchangedUpTo);
    text.append(bytes + unchangedUpTo, data_.size() - unchangedUpTo);
  } else {
    text.assign(bytes, data_.size());
  }
  storedSize_ = text.size();
  buffer_->RecValues[index].modified = true;
}

std::vector<std::byte> TVxBlobStream::TakeData() {
  position_ = 0;
  return std::move(data_);
}

}  // namespace corvid
