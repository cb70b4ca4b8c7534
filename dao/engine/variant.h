#pragma once
// The value of a DAO field or property: Null, a Boolean, a number, a date,
// text (UTF-8) or a byte array.

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace corvid::dao {

using Bytes = std::vector<std::byte>;

// Currency: a 64-bit integer count of ten-thousandths, as Access stores it.
struct Currency {
  std::int64_t scaled = 0;  // value × 10000
  double ToDouble() const { return static_cast<double>(scaled) / 10000.0; }
  friend bool operator==(const Currency&, const Currency&) = default;
};

// Date/Time: an automation date, days since 30 December 1899 with the time as
// the fraction (negative values count back, the fraction still adds time).
struct Date {
  double days = 0.0;
  friend bool operator==(const Date&, const Date&) = default;
};

struct Null {
  friend bool operator==(const Null&, const Null&) = default;
};

// Integers of every width arrive as int64 (Byte, Integer, Long, BigInt); a
// Single stays a float so that its shortest text is the one Access shows.
using Variant =
    std::variant<Null, bool, std::int64_t, float, double, Currency, Date, std::string, Bytes>;

inline bool IsNull(const Variant& v) { return std::holds_alternative<Null>(v); }

// Text of a variant for messages and simple comparisons (C locale; Null is
// empty, bytes are copied as they are, dates as "YYYY-MM-DD hh:mm:ss").
std::string VariantToText(const Variant& v);

}  // namespace corvid::dao
