#include "dao/table/blob_stream.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <typeinfo>

#include "SrcLib/quietly.h"
#include "dao/dataset/data_set.h"
#include "dao/dataset/field.h"
#include "dao/table/blob_source.h"
#include "dao/table/dao_record_buffer.h"

namespace corvid {
namespace {

std::vector<std::byte> BytesOf(const std::string& text) {
  const auto* p = reinterpret_cast<const std::byte*>(text.data());
  return std::vector<std::byte>(p, p + text.size());
}

}  // namespace

TVxBlobStream::TVxBlobStream(TField& field, TBlobStreamMode mode)
    : TVxBlobStream(dynamic_cast<BlobSource&>(field.DataSet()), field, mode) {
}  // std::bad_cast for any other data set

TVxBlobStream::TVxBlobStream(BlobSource& source, TField& field, TBlobStreamMode mode)
    : field_(field), source_(source), mode_(mode) {
  buffer_ = source_.ActiveRecordBuffer();
  if (buffer_ == nullptr) return;
  if (mode_ == TBlobStreamMode::bmWrite) {
    CheckWritable();
    position_ = 0;
    Truncate();
    return;
  }
  const auto index = static_cast<std::size_t>(field_.FieldNo() - 1);
  if (field_.FieldNo() > 0 && index < buffer_->RecValues.size() &&
      buffer_->RecValues[index].modified) {
    // A value written through the table already: the stream holds it, not
    // the value the file still has.
    data_ = BytesOf(buffer_->RecValues[index].text);
    return;
  }
  if (field_.FieldNo() > 0) source_.ReadBlobValue(field_, *buffer_, data_);
}

// Written bytes go to the record being edited or inserted, and only there:
// a write in any other state would change a buffer that is never posted.
void TVxBlobStream::CheckWritable() const { source_.CheckBlobWritable(field_); }

TVxBlobStream::~TVxBlobStream() {
  if (modified_) {
    // A destructor must not throw: the value is in the buffer already, and
    // a listener that fails to redraw loses nothing.
    Quietly("a destructor does not throw", [this] { field_.NotifyChanged(); });
    data_.clear();
    open_ = false;
  }
}

std::size_t TVxBlobStream::Read(std::span<std::byte> destination) {
  if (!open_) return 0;
  const auto size = static_cast<std::int64_t>(data_.size());
  const std::int64_t available = size - position_;
  const std::int64_t count =
      std::min<std::int64_t>(static_cast<std::int64_t>(destination.size()), available);
  if (count <= 0 || position_ < 0) return 0;
  std::memcpy(destination.data(), data_.data() + position_, static_cast<std::size_t>(count));
  position_ += count;
  return static_cast<std::size_t>(count);
}

std::size_t TVxBlobStream::Write(std::span<const std::byte> source) {
  if (!open_ || mode_ == TBlobStreamMode::bmRead) return 0;
  if (mode_ == TBlobStreamMode::bmReadWrite && !modified_) CheckWritable();
  const auto keep = static_cast<std::size_t>(
      std::clamp<std::int64_t>(position_, 0, static_cast<std::int64_t>(data_.size())));
  data_.resize(keep);
  if (position_ > static_cast<std::int64_t>(keep))
    data_.resize(static_cast<std::size_t>(position_));
  data_.insert(data_.end(), source.begin(), source.end());
  position_ += static_cast<std::int64_t>(source.size());
  StoreInBuffer(keep);
  return source.size();
}

std::int64_t TVxBlobStream::Seek(std::int64_t offset, SeekOrigin origin) {
  switch (origin) {
    case SeekOrigin::Beginning:
      position_ = offset;
      break;
    case SeekOrigin::Current:
      position_ += offset;
      break;
    case SeekOrigin::End:
      position_ = static_cast<std::int64_t>(data_.size()) + offset;
      break;
  }
  return position_;
}

void TVxBlobStream::Truncate() {
  if (!open_ || mode_ == TBlobStreamMode::bmRead) return;
  if (mode_ == TBlobStreamMode::bmReadWrite && !modified_) CheckWritable();
  const auto keep = static_cast<std::size_t>(
      std::clamp<std::int64_t>(position_, 0, static_cast<std::int64_t>(data_.size())));
  data_.resize(keep);
  StoreInBuffer(keep);
}

void TVxBlobStream::StoreInBuffer(std::size_t unchangedUpTo) {
  modified_ = true;
  source_.BlobModified();
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

}  // namespace corvid
