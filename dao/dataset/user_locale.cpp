#include "dao/dataset/user_locale.h"

#include <langinfo.h>
#include <locale.h>

#include <charconv>
#include <cmath>
#include <ctime>

namespace corvid {
namespace {

// RAII holder of a locale_t made from the environment.
class UserLocale {
 public:
  UserLocale() {
    handle_ = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
    if (handle_ == static_cast<locale_t>(nullptr))
      handle_ = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  }
  ~UserLocale() {
    if (handle_ != static_cast<locale_t>(nullptr)) freelocale(handle_);
  }
  UserLocale(const UserLocale&) = delete;
  UserLocale& operator=(const UserLocale&) = delete;
  locale_t get() const { return handle_; }

 private:
  locale_t handle_;
};

std::string FormatTm(const char* format, const std::tm& tm) {
  UserLocale locale;
  char buffer[128];
  std::size_t n = 0;
  if (locale.get() != static_cast<locale_t>(nullptr))
    n = strftime_l(buffer, sizeof buffer, format, &tm, locale.get());
  else
    n = std::strftime(buffer, sizeof buffer, format, &tm);
  return std::string(buffer, n);
}

}  // namespace

std::string UserDecimalSeparator() {
  UserLocale locale;
  if (locale.get() == static_cast<locale_t>(nullptr)) return ".";
  const char* radix = nl_langinfo_l(RADIXCHAR, locale.get());
  if (radix == nullptr || *radix == '\0') return ".";
  return radix;
}

std::string FormatFloatText(double value) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  const std::string separator = UserDecimalSeparator();
  if (separator != ".") {
    const auto dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, separator);
  }
  return text;
}

std::optional<double> ParseFloatText(std::string_view text) {
  std::string plain(text);
  const std::string separator = UserDecimalSeparator();
  if (separator != ".") {
    const auto at = plain.find(separator);
    if (at != std::string::npos) plain.replace(at, separator.size(), ".");
  }
  while (!plain.empty() && plain.front() == ' ') plain.erase(plain.begin());
  if (!plain.empty() && plain.front() == '+') plain.erase(plain.begin());
  double value = 0;
  const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (result.ec != std::errc{} || result.ptr != plain.data() + plain.size() || plain.empty())
    return std::nullopt;
  return value;
}

std::string FormatShortDate(const CivilDate& date) {
  std::tm tm{};
  tm.tm_year = date.year - 1900;
  tm.tm_mon = static_cast<int>(date.month) - 1;
  tm.tm_mday = static_cast<int>(date.day);
  tm.tm_hour = 12;
  return FormatTm("%x", tm);
}

std::string FormatLongTime(std::int32_t millisecondsSinceMidnight) {
  const std::int32_t seconds = millisecondsSinceMidnight / 1000;
  std::tm tm{};
  tm.tm_year = 100;
  tm.tm_mday = 1;
  tm.tm_hour = seconds / 3600;
  tm.tm_min = seconds / 60 % 60;
  tm.tm_sec = seconds % 60;
  return FormatTm("%X", tm);
}

}  // namespace corvid
