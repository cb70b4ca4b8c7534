#pragma once
// Texts in the user's locale (the environment's LC_* settings), read through
// a private locale object so that nothing depends on the process-wide
// setlocale state. An unknown locale falls back to "C".

#include <optional>
#include <string>
#include <string_view>

#include "dao/dataset/day_numbers.h"

namespace corvid {

std::string UserDecimalSeparator();

// The shortest text that reads back to the same double, with the user's
// decimal separator and no grouping.
std::string FormatFloatText(double value);
// Reads a text made by FormatFloatText (or with "." as separator).
std::optional<double> ParseFloatText(std::string_view text);

std::string FormatShortDate(const CivilDate& date);
std::string FormatLongTime(std::int32_t millisecondsSinceMidnight);

}  // namespace corvid
