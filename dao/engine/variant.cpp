#include "dao/engine/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace corvid::dao {
namespace {

template <class T>
std::string ShortestText(T value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string DateToText(double days) {
  // Automation dates: whole days from 1899-12-30, the fraction is the time of
  // day even for negative values (-1.25 is 1899-12-29 06:00).
  double whole = std::trunc(days);
  double fraction = std::fabs(days - whole);
  long long seconds = std::llround(fraction * 86400.0);
  long long day = static_cast<long long>(whole);
  if (seconds >= 86400) {
    seconds -= 86400;
    day += days < 0 ? -1 : 1;
  }
  // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
  long long z = day - 25569 + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1;
  long long m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %02lld:%02lld:%02lld", y, m, d,
                seconds / 3600, seconds / 60 % 60, seconds % 60);
  return text;
}

}  // namespace

std::string VariantToText(const Variant& v) {
  struct Visitor {
    std::string operator()(const Null&) const { return {}; }
    std::string operator()(bool b) const { return b ? "True" : "False"; }
    std::string operator()(std::int64_t i) const { return ShortestText(i); }
    std::string operator()(float f) const { return ShortestText(f); }
    std::string operator()(double d) const { return ShortestText(d); }
    std::string operator()(const Currency& c) const { return ShortestText(c.ToDouble()); }
    std::string operator()(const Date& d) const { return DateToText(d.days); }
    std::string operator()(const std::string& s) const { return s; }
    std::string operator()(const Bytes& b) const {
      return std::string(reinterpret_cast<const char*>(b.data()), b.size());
    }
  };
  return std::visit(Visitor{}, v);
}

}  // namespace corvid::dao
