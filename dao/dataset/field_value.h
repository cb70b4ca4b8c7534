#pragma once
// Native value forms exchanged between the data-set base and a concrete
// data set (ReadFieldValue / WriteFieldValue).
//
//   text                      std::string
//   small and long integers   std::int32_t
//   Boolean                   std::int16_t (0 or 1)
//   float, currency           double
//   date                      std::int32_t day number (1 January 0001 is day 1)
//   time                      std::int32_t milliseconds since midnight
//   date-time                 double, milliseconds since the start of day 1
//   bytes                     std::vector<std::byte>

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace corvid {

using FieldValue = std::variant<std::monostate, std::string, std::int32_t, std::int16_t, double,
                                std::vector<std::byte>>;

}  // namespace corvid
