#include "dao/dataset/day_numbers.h"

#include <charconv>
#include <chrono>
#include <cmath>

namespace corvid {
namespace {

constexpr std::chrono::sys_days kDayOne{std::chrono::year{1} / 1 / 1};

}  // namespace

std::int32_t DayNumberFromCivil(const CivilDate& date) {
  const std::chrono::sys_days days{std::chrono::year{date.year} / std::chrono::month{date.month} /
                                   std::chrono::day{date.day}};
  return static_cast<std::int32_t>((days - kDayOne).count() + 1);
}

CivilDate CivilFromDayNumber(std::int32_t dayNumber) {
  const std::chrono::year_month_day ymd{kDayOne + std::chrono::days{dayNumber - 1}};
  return {static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
          static_cast<unsigned>(ymd.day())};
}

std::string FormatDateText(const DayAndTime& value) {
  char day[16];
  char ms[16];
  const auto dayEnd = std::to_chars(day, day + sizeof day, value.day).ptr;
  const auto msEnd = std::to_chars(ms, ms + sizeof ms, value.milliseconds).ptr;
  std::string text(day, dayEnd);
  text += ' ';
  text.append(ms, msEnd);
  return text;
}

std::optional<DayAndTime> ParseDateText(std::string_view text) {
  const auto blank = text.find(' ');
  if (blank == std::string_view::npos) return std::nullopt;
  DayAndTime value;
  const auto first = text.substr(0, blank);
  const auto second = text.substr(blank + 1);
  auto r1 = std::from_chars(first.data(), first.data() + first.size(), value.day);
  if (r1.ec != std::errc{} || r1.ptr != first.data() + first.size() || first.empty())
    return std::nullopt;
  auto r2 = std::from_chars(second.data(), second.data() + second.size(), value.milliseconds);
  if (r2.ec != std::errc{} || r2.ptr != second.data() + second.size() || second.empty())
    return std::nullopt;
  return value;
}

DayAndTime DayAndTimeFromAutomationDate(double automationDate) {
  double whole = std::trunc(automationDate);
  double fraction = std::fabs(automationDate - whole);
  auto ms = static_cast<std::int64_t>(std::llround(fraction * kMillisecondsPerDay));
  if (ms >= kMillisecondsPerDay) {  // rounding reached the next midnight
    ms -= kMillisecondsPerDay;
    whole += automationDate < 0 ? -1.0 : 1.0;
  }
  return {static_cast<std::int32_t>(whole) + kDayNumberOf1899_12_30, static_cast<std::int32_t>(ms)};
}

}  // namespace corvid
