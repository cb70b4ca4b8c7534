#pragma once
// The editing side of value texts: a native value written through the
// table turned into the text the record buffer holds, and a buffer text
// turned into the engine value that a post assigns.

#include <optional>
#include <string>

#include "dao/dataset/field_type.h"
#include "dao/dataset/field_value.h"
#include "dao/engine/variant.h"

namespace corvid {

// The value text of a native value: "True"/"False", decimal integers, floats
// and currency in the user's locale, DateText for dates and times (a time
// alone on 30 December 1899), the engine's "{guid {...}}" text for a GUID
// field's 16 bytes, other bytes and texts as they are. NULL is the empty
// text.
std::string ValueTextFromNative(TFieldType type, bool isGuid, const FieldValue& value);

// What a post assigns for a modified entry. An empty text is Null, except
// for Text and Memo fields that allow zero-length values (the empty text);
// a date, time or date-time text becomes a date (nullopt, nothing assigned,
// when it holds none); binary fields get the bytes, Text and Memo fields and
// GUIDs the text; Booleans, integers, floats and currency their typed value
// (a text that is not one is passed as text, for the engine to judge).
std::optional<dao::Variant> PostedValue(TFieldType type, bool isGuid, bool allowZeroLength,
                                        const std::string& text);

// The automation date (days since 30 December 1899, the fraction's
// magnitude the time of day) of a day number and time.
double AutomationDateFromDayAndTime(std::int32_t day, std::int32_t milliseconds);

}  // namespace corvid
