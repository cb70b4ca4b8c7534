#pragma once
// Column metadata as DAO reports it, and the DAO value of a stored value the
// reader decoded. Long values (Memo, OLE Object) are read through the file's
// reader when asked for.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dao/engine/variant.h"
#include "dao/mdb/mdb_header.h"
#include "jet/reader/table_definition.h"
#include "jet/reader/value.h"

namespace corvid::dao {

class AccessFile;

int DaoTypeOf(const jet::reader::ColumnDefinition& column);
std::int32_t DaoSizeOf(const jet::reader::ColumnDefinition& column, MdbFormat format);
std::int32_t DaoAttributesOf(const jet::reader::ColumnDefinition& column);
bool IsLongValue(const jet::reader::ColumnDefinition& column);  // Memo and OLE Object
bool IsColumnType(const jet::reader::ColumnDefinition& column, jet::StoredType type);

// The DAO value of a stored value of `column`. Throws the reader's
// DamageError when a long value's pages are damaged.
Variant DecodeValue(AccessFile& file, const jet::reader::ColumnDefinition& column,
                    const jet::reader::Value& value);
// Puts a binary value's bytes, or the UTF-8 bytes of any other value's text,
// into `into` (resized to fit).
void BytesOfValue(Variant value, std::vector<std::byte>& into);
// Byte length of a long value from its stored header, without reading it.
std::int64_t LongValueLength(const jet::reader::Value& value);
// The long value's bytes into `into` (resized to its length).
void ReadLongValue(AccessFile& file, const jet::reader::Value& value, std::vector<std::byte>& into);
// The bytes a fixed-size value takes in its row (the column's length for
// fixed columns, the stored bytes of variable ones).
std::int64_t StoredSize(const jet::reader::ColumnDefinition& column,
                        const jet::reader::Value& value);

// "{guid {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}}" from the 16 stored bytes.
std::string GuidText(const unsigned char* bytes);

}  // namespace corvid::dao
