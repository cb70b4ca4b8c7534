#pragma once
// A field's native value from the text a user enters for it (the inverse of
// NativeValueText): integers in decimal, floats and currency in the user's
// locale, Booleans as True/False (Yes/No, On/Off, -1/0/1), dates and times as
// the user types them, GUIDs in their 38-character form (with or without the
// engine's "{guid ...}" wrapping), other bytes as they are. An empty text is
// NULL (monostate). A text that does not fit the type raises DataSetError
// naming the text.

#include <string>

#include "dao/dataset/field_value.h"

namespace corvid {

class TField;

FieldValue NativeValueFromText(const TField& field, const std::string& text);

}  // namespace corvid
