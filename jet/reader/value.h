// One field's value as read from a row, by column type.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace corvid::jet::reader {

struct Null {
  bool operator==(const Null&) const = default;
};
struct Money {
  std::int64_t tenThousandths = 0;  // 1.2345 is 12345
  bool operator==(const Money&) const = default;
};
struct DateTime {
  double days = 0;  // since 1899-12-30; the fraction is the time of day
  bool operator==(const DateTime&) const = default;
};
struct Guid {
  std::array<std::uint8_t, 16> bytes{};  // in storage order
  bool operator==(const Guid&) const = default;
  std::string Text() const;  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
};
// Numeric: a 96..128-bit magnitude, its sign and the column's scale.
struct Decimal {
  bool negative = false;
  std::uint64_t high = 0, low = 0;
  std::uint8_t precision = 0, scale = 0;
  bool operator==(const Decimal&) const = default;
  std::string Text() const;  // digits with the scale's decimal places, e.g. "-12.50"
};
// A complex column's value: the key its rows in the hidden table carry.
struct ComplexKey {
  std::int32_t key = 0;
  bool operator==(const ComplexKey&) const = default;
};
// A Memo or OLE value: the 12-byte field of the row (length, where the
// bytes are), and the bytes themselves when they are stored in the row.
struct LongValue {
  std::uint8_t columnType = 0;
  std::uint32_t length = 0;
  std::uint32_t storage = 0;  // the flag bits of the length field
  std::uint32_t pointer = 0;  // first LVAL row (page << 8 | row)
  std::vector<std::byte> inlineBytes;
  bool operator==(const LongValue&) const = default;
};
// A column type the reader does not know: its number and stored bytes.
struct UnknownValue {
  std::uint8_t type = 0;
  std::vector<std::byte> bytes;
  bool operator==(const UnknownValue&) const = default;
};

using Bytes = std::vector<std::byte>;

// Bool, Byte, Integer, Long, BigInt, Money, Single, Double, DateTime, Guid,
// Numeric, Complex, Text, Binary, Memo/OLE, unknown.
using Value = std::variant<Null, bool, std::uint8_t, std::int16_t, std::int32_t, std::int64_t,
                           Money, float, double, DateTime, Guid, Decimal, ComplexKey, std::string,
                           Bytes, LongValue, UnknownValue>;

inline bool IsNull(const Value& v) { return std::holds_alternative<Null>(v); }

}  // namespace corvid::jet::reader
