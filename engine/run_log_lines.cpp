#include "engine/run_log_lines.h"

#include <locale.h>
#include <time.h>

#include <array>
#include <charconv>

#include "engine/run_host.h"

namespace corvid {
namespace {

// Formats with the environment's LC_TIME, whatever the process locale is.
std::string FormatTime(std::time_t when, const char* format) {
    std::tm parts{};
    ::localtime_r(&when, &parts);
    locale_t locale = ::newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
    if (locale == static_cast<locale_t>(0))
        locale = ::newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(0));
    std::array<char, 256> text{};
    const std::size_t length = ::strftime_l(text.data(), text.size(), format, &parts, locale);
    ::freelocale(locale);
    return std::string(text.data(), length);
}

}  // namespace

std::string ShortDateText(std::time_t when) { return FormatTime(when, "%x"); }

std::string LongTimeText(std::time_t when) { return FormatTime(when, "%X"); }

std::string HeadingLine(const RunHost& host) {
    return ShortDateText(std::time(nullptr)) + " - " + host.ProductName() + " v" +
           host.FileVersion();
}

std::string ClosingLine(std::string_view tableName, std::int64_t recordsVisited) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), recordsVisited);
    std::string line = LongTimeText(std::time(nullptr));
    line += " - ";
    line += tableName;
    line += " (";
    line.append(digits.data(), result.ptr);
    line += ")";
    return line;
}

}  // namespace corvid
