#pragma once
// Day numbers of the native date form: 1 January 0001 is day 1, so that
// 30 December 1899 is day 693594. DateText is "<day> <milliseconds>".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvid {

inline constexpr std::int32_t kDayNumberOf1899_12_30 = 693594;
inline constexpr std::int32_t kMillisecondsPerDay = 86400000;

struct CivilDate {
  int year;
  unsigned month;
  unsigned day;
  friend bool operator==(const CivilDate&, const CivilDate&) = default;
};

std::int32_t DayNumberFromCivil(const CivilDate& date);
CivilDate CivilFromDayNumber(std::int32_t dayNumber);

struct DayAndTime {
  std::int32_t day = 0;           // day number
  std::int32_t milliseconds = 0;  // since midnight
  friend bool operator==(const DayAndTime&, const DayAndTime&) = default;
};

std::string FormatDateText(const DayAndTime& value);
// Two decimal integers separated by one blank; nullopt otherwise.
std::optional<DayAndTime> ParseDateText(std::string_view text);

// An automation date (days since 30 December 1899, the fraction's magnitude
// being the time of day, also for dates before 1899) as day and time,
// rounded to the millisecond.
DayAndTime DayAndTimeFromAutomationDate(double automationDate);

}  // namespace corvid
