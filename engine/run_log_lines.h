#pragma once
// The heading and closing lines both runs write to the log.

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace corvid {

class RunHost;

// The date in the user's short date format (strftime "%x" in the LC_TIME
// locale of the environment; "C" when that locale is unknown).
std::string ShortDateText(std::time_t when);
// The time in the user's long time format ("%X", same locale rules).
std::string LongTimeText(std::time_t when);

// Today's date, " - ", the product name, " v", the file version.
std::string HeadingLine(const RunHost& host);
// The current time, " - ", the table name as typed, " (", count, ")".
std::string ClosingLine(std::string_view tableName, std::int64_t recordsVisited);

}  // namespace corvid
