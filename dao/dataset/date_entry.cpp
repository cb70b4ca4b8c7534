#include "dao/dataset/date_entry.h"

#include <langinfo.h>
#include <locale.h>

#include <cctype>
#include <charconv>
#include <chrono>
#include <string>
#include <vector>

#include "dao/dataset/day_numbers.h"

namespace corvid {
namespace {

struct LocaleTexts {
  std::string order = "MDY";
  std::string am = "AM";
  std::string pm = "PM";
};

}  // namespace

// "%D" is month/day/year, "%F" year-month-day.
std::string DateOrderOfFormat(std::string_view format) {
  std::string order;
  for (std::size_t i = 0; i + 1 < format.size(); ++i) {
    if (format[i] != '%') continue;
    char c = format[++i];
    while ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0' || c == '^' || c == '#') &&
           i + 1 < format.size())
      c = format[++i];
    switch (c) {
      case 'd':
      case 'e':
        order += 'D';
        break;
      case 'm':
      case 'b':
      case 'B':
      case 'h':
        order += 'M';
        break;
      case 'y':
      case 'Y':
      case 'C':
        order += 'Y';
        break;
      case 'D':
        order += "MDY";
        break;
      case 'F':
        order += "YMD";
        break;
      default:
        break;
    }
  }
  if (order.size() != 3 || order.find('D') == std::string::npos ||
      order.find('M') == std::string::npos || order.find('Y') == std::string::npos)
    return "MDY";
  return order;
}

namespace {

LocaleTexts ReadLocaleTexts() {
  LocaleTexts texts;
  locale_t locale = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return texts;
  if (const char* format = nl_langinfo_l(D_FMT, locale)) texts.order = DateOrderOfFormat(format);
  if (const char* am = nl_langinfo_l(AM_STR, locale); am && *am) texts.am = am;
  if (const char* pm = nl_langinfo_l(PM_STR, locale); pm && *pm) texts.pm = pm;
  freelocale(locale);
  return texts;
}

std::string UpperCase(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
    text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
    text.remove_suffix(1);
  return text;
}

// Removes a trailing AM/PM marker; returns +1 for PM, -1 for AM, 0 for none.
int TakeMeridiem(std::string_view& text, const LocaleTexts& texts) {
  const std::string upper = UpperCase(std::string(text));
  for (const auto& [marker, sign] :
       {std::pair{std::string("AM"), -1}, std::pair{std::string("PM"), 1},
        std::pair{UpperCase(texts.am), -1}, std::pair{UpperCase(texts.pm), 1}}) {
    if (marker.empty() || upper.size() < marker.size()) continue;
    if (upper.compare(upper.size() - marker.size(), marker.size(), marker) == 0) {
      text = Trim(text.substr(0, text.size() - marker.size()));
      return sign;
    }
  }
  return 0;
}

struct Number {
  int value;
  std::size_t digits;
};

// The runs of digits of a text; false when anything but digits and the
// given separators occurs.
bool Numbers(std::string_view text, std::string_view separators, std::vector<Number>& out) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (std::isdigit(static_cast<unsigned char>(text[i]))) {
      const std::size_t start = i;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i;
      if (i - start > 9) return false;
      int value = 0;
      std::from_chars(text.data() + start, text.data() + i, value);
      out.push_back({value, i - start});
    } else if (separators.empty() || separators.find(text[i]) != std::string_view::npos) {
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

std::optional<std::int32_t> ParseDate(std::string_view text, const LocaleTexts& texts) {
  std::vector<Number> parts;
  // Anything but a digit, a colon or a letter separates date parts.
  for (char c : text)
    if (c == ':' || std::isalpha(static_cast<unsigned char>(c))) return std::nullopt;
  if (!Numbers(text, {}, parts) || parts.size() != 3) return std::nullopt;
  int year = 0, month = 0, day = 0;
  std::size_t yearDigits = 0;
  const std::string order = parts[0].digits == 4 ? std::string("YMD") : texts.order;
  for (std::size_t i = 0; i < 3; ++i) {
    switch (order[i]) {
      case 'Y':
        year = parts[i].value;
        yearDigits = parts[i].digits;
        break;
      case 'M':
        month = parts[i].value;
        break;
      default:
        day = parts[i].value;
        break;
    }
  }
  if (yearDigits <= 2) year += year < 30 ? 2000 : 1900;
  if (year < 1 || year > 9999) return std::nullopt;
  const std::chrono::year_month_day ymd{std::chrono::year{year},
                                        std::chrono::month{static_cast<unsigned>(month)},
                                        std::chrono::day{static_cast<unsigned>(day)}};
  if (!ymd.ok()) return std::nullopt;
  return DayNumberFromCivil({year, static_cast<unsigned>(month), static_cast<unsigned>(day)});
}

std::optional<std::int32_t> ParseTime(std::string_view text, const LocaleTexts& texts) {
  const int meridiem = TakeMeridiem(text, texts);
  std::string_view fraction;
  if (const auto dot = text.find_first_of(".,"); dot != std::string_view::npos) {
    fraction = text.substr(dot + 1);
    text = text.substr(0, dot);
  }
  std::vector<Number> parts;
  if (text.empty() || text.find(':') == std::string_view::npos || !Numbers(text, ":", parts))
    return std::nullopt;
  if (parts.size() < 2 || parts.size() > 3) return std::nullopt;
  int hour = parts[0].value;
  const int minute = parts[1].value;
  const int second = parts.size() == 3 ? parts[2].value : 0;
  int milliseconds = 0;
  if (!fraction.empty()) {
    std::vector<Number> ms;
    if (!Numbers(fraction, {}, ms) || ms.size() != 1 || ms[0].digits > 3 || parts.size() != 3)
      return std::nullopt;
    milliseconds = ms[0].value;
    for (std::size_t d = ms[0].digits; d < 3; ++d) milliseconds *= 10;
  }
  if (meridiem != 0) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour %= 12;
    if (meridiem > 0) hour += 12;
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return ((hour * 60 + minute) * 60 + second) * 1000 + milliseconds;
}

}  // namespace

std::optional<EnteredDateTime> ParseEnteredDateTime(std::string_view text) {
  const LocaleTexts texts = ReadLocaleTexts();
  text = Trim(text);
  if (text.empty()) return std::nullopt;
  // The time is the part that holds the first colon, from the blank (or the
  // ISO "T") in front of it.
  EnteredDateTime result;
  const auto colon = text.find(':');
  if (colon == std::string_view::npos) {
    result.day = ParseDate(text, texts);
    if (!result.day) return std::nullopt;
    return result;
  }
  std::size_t split = text.find_last_of(" T", colon);
  if (split == std::string_view::npos) {
    result.milliseconds = ParseTime(text, texts);
    if (!result.milliseconds) return std::nullopt;
    return result;
  }
  result.day = ParseDate(Trim(text.substr(0, split)), texts);
  result.milliseconds = ParseTime(Trim(text.substr(split + 1)), texts);
  if (!result.day || !result.milliseconds) return std::nullopt;
  return result;
}

}  // namespace corvid
