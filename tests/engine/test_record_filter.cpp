#include "engine/record_filter.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace corvid {
namespace {

TEST(PrepareFilter, TextAndBounds) {
    struct Case {
        std::string value;
        std::string text;
        std::int32_t lower, upper;
        bool numeric;
    };
    const Case cases[] = {
        {"100 - 200", "100 - 200", 100, 200, true},
        {"100", "100", 100, 100, true},
        {"200 - 100", "200 - 100", 200, 100, true},
        {"-5", "5", 5, 5, true},
        {"id12", "id12", 12, 12, true},
        {"  *Test* ", "test", -1, -1, false},
        {"*", "", -1, -1, false},
        {" - ", "", -1, -1, false},
        {"", "", -1, -1, false},
        {"\xC3\x85SA", "\xC3\xA5sa", -1, -1, false},
        // Beyond 32 bits the low 32 bits are kept, read as signed.
        {"4294967396", "4294967396", 100, 100, true},
        {"3000000000", "3000000000", -1294967296, -1294967296, false},
        {"99999999999999999999999", "99999999999999999999999", -1, -1, false},
        {"0 - 4294967295", "0 - 4294967295", 0, 0,
         true},  // second number reads as -1: no upper bound
    };
    for (const Case& c : cases) {
        const PreparedFilter f = PrepareFilter(c.value);
        EXPECT_EQ(f.text, c.text) << c.value;
        EXPECT_EQ(f.lower, c.lower) << c.value;
        EXPECT_EQ(f.upper, c.upper) << c.value;
        EXPECT_EQ(f.Numeric(), c.numeric) << c.value;
    }
}

TEST(WholeIntegerOrMinusOne, Cases) {
    struct Case {
        std::string text;
        std::int64_t value;
    };
    const Case cases[] = {
        {"150", 150},
        {"  150", 150},
        {"+150", 150},
        {"-5", -5},
        {"0", 0},
        {"150 ", -1},
        {"1e2", -1},
        {"abc", -1},
        {"", -1},
        {"-", -1},
        {"+-1", -1},
        {"0x10", -1},
        {"4294967446", 4294967446},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", -1},
        {"99999999999999999999", -1},
    };
    for (const Case& c : cases) EXPECT_EQ(WholeIntegerOrMinusOne(c.text), c.value) << c.text;
}

struct FilterCase {
    std::string filterValue;
    std::string field;
    std::string name1, name2;
    bool pass;
    std::optional<std::string> line;
};

void ExpectOutcomes(const std::vector<FilterCase>& cases) {
    for (const FilterCase& c : cases) {
        const FilterOutcome outcome =
            TestRecordFilter(PrepareFilter(c.filterValue), c.field, c.name1, c.name2);
        EXPECT_EQ(outcome.pass, c.pass) << c.filterValue << " / " << c.field;
        EXPECT_EQ(outcome.logLine, c.line) << c.filterValue << " / " << c.field;
    }
}

TEST(TestRecordFilter, TextMode) {
    ExpectOutcomes({
        {"Test", "a TEST b", "1", "", true, "1: test=*a TEST b*"},
        {"Test", "xyz", "2", "", false, "2: test<>xyz"},
        {"Test", "", "3", "", true, std::nullopt},  // empty field: passes silently
        {"*", "anything", "4", "", true, std::nullopt},
        {" - ", "anything", "4", "", true, std::nullopt},
        {"", "anything", "4", "", true, std::nullopt},
        {"Nord", "Smith", "Smith, John", "-1", false, "Smith, John-1: nord<>Smith"},
        {"\xC3\x85sa",
         "\xC3\x85SA \xC3\x96"
         "berg",
         "5", "", true,
         "5: \xC3\xA5sa=*\xC3\x85SA \xC3\x96"
         "berg*"},
        {"3000000000", "x3000000000y", "6", "", true, "6: 3000000000=*x3000000000y*"},
    });
}

TEST(TestRecordFilter, NumericMode) {
    ExpectOutcomes({
        {"100 - 200", "150", "7", "", true, "7: 100 - 200=150"},
        {"100 - 200", "100", "8", "", true, "8: 100 - 200=100"},
        {"100 - 200", "200", "9", "", true, "9: 100 - 200=200"},
        {"100 - 200", "99", "10", "", false, "10: 100 - 200<>99"},
        {"100 - 200", "201", "11", "", false, "11: 100 - 200<>201"},
        {"100 - 200", "abc", "12", "", false, "12: 100 - 200<>abc"},
        {"100 - 200", "", "13", "", true, std::nullopt},
        {"100 - 200", " 150", "14", "b", true, "14b: 100 - 200= 150"},
        {"100", "100", "15", "", true, "15: 100=100"},
        {"100", "101", "16", "", false, "16: 100<>101"},
        {"id12", "12", "17", "", true, "17: id12=12"},
        {"id12", "id12", "18", "", false, "18: id12<>id12"},
        {"-5", "5", "19", "", true, "19: 5=5"},
        {"-5", "-5", "20", "", false, "20: 5<>-5"},
        {"200 - 100", "150", "21", "", false, "21: 200 - 100<>150"},
        {"0 - 10", "-1", "22", "", false, "22: 0 - 10<>-1"},
        // Field values beyond 32 bits are compared whole, never wrapped.
        {"100 - 200", "4294967446", "23", "", false, "23: 100 - 200<>4294967446"},
        {"100 - 200", "99999999999999999999", "24", "", false,
         "24: 100 - 200<>99999999999999999999"},
        {"100 - 200", "-9223372036854775808", "25", "", false,
         "25: 100 - 200<>-9223372036854775808"},
        {"4294967396", "100", "26", "", true, "26: 4294967396=100"},
    });
}

}  // namespace
}  // namespace corvid
