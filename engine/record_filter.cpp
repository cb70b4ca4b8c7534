#include "engine/record_filter.h"

#include <charconv>
#include <cstdint>
#include <initializer_list>

#include "SrcLib/file_names.h"
#include "SrcLib/text_case.h"

namespace corvid {
namespace {

// Numbers beyond 32 bits keep their low 32 bits, read as signed.
std::int32_t Low32(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(value)));
}

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::size_t size = 0;
    for (std::string_view p : parts) size += p.size();
    std::string line;
    line.reserve(size);
    for (std::string_view p : parts) line.append(p);
    return line;
}

}  // namespace

PreparedFilter PrepareFilter(std::string_view filterValue) {
    PreparedFilter filter;
    filter.text = TrimToWordChars(LowerCase(filterValue));
    const std::string value(filterValue);
    filter.lower = Low32(NthNumber(value, 1));
    filter.upper = Low32(NthNumber(value, 2));
    if (filter.upper == -1) filter.upper = filter.lower;
    return filter;
}

std::int64_t WholeIntegerOrMinusOne(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::string_view digits = text.substr(i);
    if (digits.empty() || digits.front() < '0' || digits.front() > '9') return -1;
    std::uint64_t magnitude = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    if (error != std::errc() || end != digits.data() + digits.size()) return -1;
    constexpr std::uint64_t kMaxPositive = static_cast<std::uint64_t>(INT64_MAX);
    if (!negative) return magnitude <= kMaxPositive ? static_cast<std::int64_t>(magnitude) : -1;
    if (magnitude <= kMaxPositive) return -static_cast<std::int64_t>(magnitude);
    return magnitude == kMaxPositive + 1 ? INT64_MIN : -1;
}

FilterOutcome TestRecordFilter(const PreparedFilter& filter, std::string_view filterFieldText,
                               std::string_view name1, std::string_view name2) {
    if (filterFieldText.empty() || filter.text.empty()) return {true, std::nullopt};
    if (filter.Numeric()) {
        const std::int64_t value = WholeIntegerOrMinusOne(filterFieldText);
        const bool pass = filter.lower <= value && value <= filter.upper;
        return {pass,
                Concat({name1, name2, ": ", filter.text, pass ? "=" : "<>", filterFieldText})};
    }
    const bool pass = LowerCase(filterFieldText).find(filter.text) != std::string::npos;
    if (pass) return {true, Concat({name1, name2, ": ", filter.text, "=*", filterFieldText, "*"})};
    return {false, Concat({name1, name2, ": ", filter.text, "<>", filterFieldText})};
}

}  // namespace corvid
