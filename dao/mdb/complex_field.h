#pragma once
// A field of a complex field's recordset (complex_recordset.h): one value
// column of the hidden table, read from the recordset's current row. The
// FileData field of an attachment gives the attached file's own bytes,
// decoded from the stored value (which holds a small header and, mostly, a
// zlib stream); OpenValueStream decodes them as they are read.

#include "dao/engine/field.h"
#include "jet/reader/value.h"

namespace corvid::dao {

class ComplexRecordset;

class ComplexField : public Field {
 public:
  ComplexField(ComplexRecordset& owner, int flatColumn);

  std::string Name() const override;
  int Type() const override;
  std::int32_t Size() const override;
  std::int32_t Attributes() const override;
  bool Required() const override { return false; }
  bool AllowZeroLength() const override { return false; }
  std::string DefaultValue() const override { return {}; }
  int OrdinalPosition() const override { return position_; }
  const Properties& FieldProperties() const override;

  // FileData: the decoded file as bytes (Null without a stored value).
  Variant Value() override;
  // Raises 3027: the values are read-only.
  void SetValue(const Variant& value) override;
  // FileData: the decoded file's length.
  std::int64_t FieldSize() override;
  bool ReadBytesInto(std::vector<std::byte>& into) override;
  std::unique_ptr<ValueStream> OpenValueStream() override;

 private:
  bool IsFileData() const { return fileData_; }
  const jet::reader::Value& Stored() const;
  ComplexRecordset& owner_;
  int flatColumn_;
  int position_;
  bool fileData_;
};

}  // namespace corvid::dao
