#pragma once
// BlobSource: what a blob stream needs of the data set whose field it reads
// or writes. The table implements it; the stream sees nothing else of it.

#include <cstddef>
#include <vector>

namespace corvid {

class TField;
class DaoRecordBuffer;

class BlobSource {
 public:
  // The record buffer the data set's state designates (nullptr when none).
  virtual DaoRecordBuffer* ActiveRecordBuffer() const = 0;
  // Throws when a value of `field` may not be written now: DatabaseError
  // "Cannot write to ReadOnly table!" on a read-only table, DataSetError
  // outside the edit and insert states or for a read-only field.
  virtual void CheckBlobWritable(const TField& field) const = 0;
  // Fills `into` with the value of `field` in the record `buffer` holds, as
  // stored (or its default in a new record). Throws the engine's error when
  // the value cannot be read, after recovering the source's position.
  virtual void ReadBlobValue(const TField& field, const DaoRecordBuffer& buffer,
                             std::vector<std::byte>& into) = 0;
  // A stream changed the value in the active buffer.
  virtual void BlobModified() = 0;

 protected:
  ~BlobSource() = default;
};

}  // namespace corvid
