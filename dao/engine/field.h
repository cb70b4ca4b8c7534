#pragma once
// A DAO Field: a column of a TableDef, or a column of a Recordset whose Value
// is the column's value in the current record.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dao/engine/properties.h"
#include "dao/engine/variant.h"

namespace corvid::dao {

class Recordset;
class ValueStream;

class Field {
 public:
  virtual ~Field() = default;

  virtual std::string Name() const = 0;
  // DAO type code (dbText, dbLong, dbLongBinary, ...; see dao_constants.h).
  virtual int Type() const = 0;
  // Declared size in bytes (Text: characters; Memo and OLE Object: 0).
  virtual std::int32_t Size() const = 0;
  // dbFixedField, dbVariableField, dbAutoIncrField, dbUpdatableField ... bits.
  virtual std::int32_t Attributes() const = 0;
  virtual bool Required() const = 0;
  virtual bool AllowZeroLength() const = 0;
  // The default-value expression as stored ("" when none).
  virtual std::string DefaultValue() const = 0;
  // 0-based position in its table.
  virtual int OrdinalPosition() const = 0;
  // "Format", "Caption", "Description" ... where the file stores them.
  virtual const Properties& FieldProperties() const = 0;

  // Value in the current record: Null for an empty field; a byte array for
  // Binary, OLE Object and other binary fields; text (UTF-8) for Text and
  // Memo; "{guid {...}}" for GUID fields. Raises 3021 without a current
  // record; on a TableDef field it raises 3219.
  virtual Variant Value() = 0;
  // Assigns the value while the recordset edits or adds a record (3020
  // otherwise), converted to the field's type: 3421 when it does not
  // convert, 3163 when it is longer than the field, 3164 for an AutoNumber
  // field of an existing record. Value then returns the assigned value.
  // Fields of a TableDef raise 3027.
  virtual void SetValue(const Variant& value) = 0;
  // Byte length of a Memo (its UTF-8 text) or binary value in the current
  // record, without reading the whole value where the file allows; 0 for Null.
  virtual std::int64_t FieldSize() = 0;
  // The current record's value as bytes into a caller-owned buffer (resized
  // to fit, capacity reused): binary fields their bytes, Memo and Text their
  // UTF-8 text. Returns false (and leaves `into` empty) for Null. One pass
  // over the value's pages, no intermediate copy.
  virtual bool ReadBytesInto(std::vector<std::byte>& into) = 0;

  // Complex fields (dbAttachment, dbComplexByte ... dbComplexText): the
  // current record's value as a read-only recordset of its own rows. An
  // attachment's rows have the fields FileData, FileName, FileType, FileURL,
  // FileTimeStamp and FileFlags; a multi-value list's rows the field Value.
  // The recordset keeps what it read: it does not follow the parent's moves.
  // Other fields raise 3251; no current record raises 3021.
  virtual std::unique_ptr<Recordset> ChildRecordset();
  // The current record's value as a stream: an attachment's FileData gives
  // the attached file's own bytes, decoded as they are read. Other fields
  // raise 3251.
  virtual std::unique_ptr<ValueStream> OpenValueStream();
};

}  // namespace corvid::dao
