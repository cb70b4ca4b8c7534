#pragma once
// TVxBlobStream: byte-stream access to the whole value of one memo or blob
// field of a TVxDaoTable in the current record. The value is fetched once, at
// creation, and reads, seeks and writes are served from that copy; writes
// change only the record buffer. The stream reaches its table only through
// the table's BlobSource side.

#include <cstdint>
#include <span>
#include <vector>

#include "dao/dataset/byte_stream.h"
#include "dao/dataset/data_set_state.h"

namespace corvid {

class TField;
class BlobSource;
class DaoRecordBuffer;

class TVxBlobStream : public TStream {
 public:
  // Throws DatabaseError "Cannot write to ReadOnly table!" for write mode on
  // a read-only table, DataSetError for write mode outside the edit and
  // insert states or on a read-only field, and the engine's error when the
  // value cannot be read (after the table has recovered its position). A
  // value already written in the current edit is read back as written.
  TVxBlobStream(BlobSource& source, TField& field, TBlobStreamMode mode);
  // The same on the field's own data set; throws std::bad_cast when that is
  // not a blob source (a TVxDaoTable).
  TVxBlobStream(TField& field, TBlobStreamMode mode);
  ~TVxBlobStream() override;

  std::size_t Read(std::span<std::byte> destination) override;
  // Nothing is taken in read mode; read-write mode checks, at its first
  // write, what write mode checks at creation.
  std::size_t Write(std::span<const std::byte> source) override;
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override;
  // Cuts the value at the current position (not in read mode; read-write
  // mode checks as Write does).
  void Truncate();

  // The whole value as held (valid until the next write).
  std::span<const std::byte> Data() const { return data_; }
  std::span<const std::byte> HeldBytes() const override { return data_; }
  bool Modified() const { return modified_; }

 private:
  // Puts the data into the buffer's entry; the bytes before `unchangedUpTo`
  // are known to be there already when the entry holds what was stored last.
  void StoreInBuffer(std::size_t unchangedUpTo);
  void CheckWritable() const;

  TField& field_;
  BlobSource& source_;
  DaoRecordBuffer* buffer_ = nullptr;
  TBlobStreamMode mode_;
  bool open_ = true;
  bool modified_ = false;
  std::int64_t position_ = 0;
  std::vector<std::byte> data_;
  std::size_t storedSize_ = static_cast<std::size_t>(-1);  // entry size after the last store
};

}  // namespace corvid
