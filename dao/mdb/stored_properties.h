#pragma once
// The DAO Properties of a table or column from the property block the
// reader found in the table's catalog row: each value as text (booleans
// Required, AllowZeroLength and the like as booleans), the way the engine
// has always shown them.

#include "dao/engine/properties.h"
#include "jet/reader/property_blob.h"
#include "jet/reader/text_decoding.h"

namespace corvid::dao {

Properties PropertiesOfBlock(const jet::reader::PropertyBlock& block,
                             const jet::reader::TextDecoder& text);

// A stored property value as text: numbers in decimal, text decoded,
// Yes/No as "yes"/"no", a GUID in braces; "" for binary data.
std::string PropertyText(const jet::reader::StoredProperty& property,
                         const jet::reader::TextDecoder& text);

}  // namespace corvid::dao
