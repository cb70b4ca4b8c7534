#include "dao/sql/numeric_value.h"

#include <cmath>

namespace corvid::dao::sql {

bool IsNumeric(const Variant& v) {
  return std::holds_alternative<bool>(v) || std::holds_alternative<std::int64_t>(v) ||
         std::holds_alternative<float>(v) || std::holds_alternative<double>(v) ||
         std::holds_alternative<Currency>(v) || std::holds_alternative<Date>(v);
}

double NumberOf(const Variant& v) {
  if (const auto* b = std::get_if<bool>(&v)) return *b ? -1.0 : 0.0;
  if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* f = std::get_if<float>(&v)) return static_cast<double>(*f);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* c = std::get_if<Currency>(&v)) return c->ToDouble();
  if (const auto* t = std::get_if<Date>(&v)) {
    if (t->days >= 0) return t->days;
    double day = std::trunc(t->days);
    return day + (day - t->days);  // the day, plus the time of day as a positive fraction
  }
  return 0.0;
}

}  // namespace corvid::dao::sql
