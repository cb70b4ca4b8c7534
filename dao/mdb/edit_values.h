#pragma once
// Values assigned to fields while a record is edited: checked and converted
// to the column's type the way DAO does (3421 when the value does not
// convert, 3163 when it is longer than the field), and turned into the Jet
// writer's values when the row is written.

#include "dao/engine/variant.h"
#include "dao/mdb/table_rows.h"
#include "dao/mdb/mdb_header.h"
#include "jet/mdb_writer.h"

namespace corvid::dao {

class EngineContext;

// The value as the column stores it (Text and Memo as text, numbers in
// their type, binary as bytes, GUIDs as "{guid {...}}"); Null stays Null.
// Raises the engine's errors through `context`.
Variant CoerceToColumn(const Column& column, MdbFormat format, const Variant& value,
                       EngineContext& context);

// The writer's value for a value already in the column's form.
jet::Value ToWriterValue(const Column& column, const Variant& value);

}  // namespace corvid::dao
