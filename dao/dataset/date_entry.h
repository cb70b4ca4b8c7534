#pragma once
// Dates and times as a user types them, read in the user's locale: the
// order of day, month and year follows the locale's short date format, any
// non-digit separates the parts; a year of one or two digits falls in
// 1930-2029; a date may be given year first with a four-digit year
// (2001-02-03). A time is h:mm, h:mm:ss or h:mm:ss.fff, optionally
// followed by AM or PM (or the locale's own texts for them).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvid {

struct EnteredDateTime {
  std::optional<std::int32_t> day;           // day number (1 January 0001 is day 1)
  std::optional<std::int32_t> milliseconds;  // since midnight
};

// A date, a time, or a date followed by a time; nullopt for anything else
// (including impossible dates such as 31/02/2001).
std::optional<EnteredDateTime> ParseEnteredDateTime(std::string_view text);

// The order of the day (D), month (M) and year (Y) parts of a strftime date
// format ("%d.%m.%Y" gives "DMY"); "MDY" when the format does not show all
// three.
std::string DateOrderOfFormat(std::string_view format);

}  // namespace corvid
