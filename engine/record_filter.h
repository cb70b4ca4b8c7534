// The per-record filter of the extraction run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvid {

// Computed once per run from the filter value.
struct PreparedFilter {
    std::string text;    // trimmed to word characters, lower-cased
    std::int32_t lower;  // first number of the filter value, -1 when it has no digits
    std::int32_t upper;  // second number, or the lower bound when there is none
    bool Numeric() const { return lower >= 0; }
};

PreparedFilter PrepareFilter(std::string_view filterValue);

struct FilterOutcome {
    bool pass;
    std::optional<std::string> logLine;  // the line the run adds to the log, if any
};

// Tests one record. An empty filter text or an empty field text passes
// without a log line.
FilterOutcome TestRecordFilter(const PreparedFilter& filter, std::string_view filterFieldText,
                               std::string_view name1, std::string_view name2);

// A field text read as a whole decimal integer: leading blanks and one sign
// allowed, nothing after the digits; -1 for anything else (also when the
// number does not fit 64 bits).
std::int64_t WholeIntegerOrMinusOne(std::string_view text);

}  // namespace corvid
