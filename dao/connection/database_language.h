#pragma once
// The language name of a database's collating order.

#include <cstdint>
#include <string_view>

namespace corvid {

// "Swedish or Finnish" for 1053, "Undefined or unknown" for -1 (an order that
// could not be read), "" for an order without a name.
std::string_view CollatingOrderLanguage(std::int32_t collatingOrder);

}  // namespace corvid
