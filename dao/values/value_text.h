#pragma once
// Value texts of the record buffer: every engine value turned into the one
// text the buffer holds, and a value text turned into its native form.

#include <string>

#include "dao/dataset/field_type.h"
#include "dao/dataset/field_value.h"
#include "dao/engine/variant.h"

namespace corvid {

// The value text of a non-blob field's engine value (Null → empty text):
// integers in decimal, Booleans "True"/"False", floats and currency in the
// user's locale, dates as DateText, byte arrays as their bytes, texts as they
// are.
std::string ValueTextFromVariant(const dao::Variant& value);

// The native form of a value text. Returns the not-NULL answer; an
// unparsable text leaves `destination` unchanged. A GUID text that is not a
// GUID throws std::invalid_argument.
bool NativeFromValueText(TFieldType type, bool isGuid, int size, const std::string& text,
                         FieldValue& destination);

}  // namespace corvid
