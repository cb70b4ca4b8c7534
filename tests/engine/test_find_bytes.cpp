#include "engine/find_bytes.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace corvid {
namespace {

std::span<const std::byte> Bytes(const std::string& s) {
    return std::as_bytes(std::span<const char>(s.data(), s.size()));
}

// The search as defined, one start offset after the other; offsets beyond the
// buffer never match.
bool LiteralFindBytes(const std::string& pattern, const std::string& buffer, std::int64_t& position,
                      std::int64_t limit) {
    position = 0;
    const auto length = static_cast<std::int64_t>(pattern.size());
    const auto size = static_cast<std::int64_t>(buffer.size());
    if (length == 0) return false;
    const std::int64_t last = (limit == 0 ? size - 1 : limit) - (length - 1);
    for (std::int64_t p = 0; p <= last; ++p) {
        bool match = true;
        for (std::int64_t k = 0; k < length && match; ++k)
            match = p + k < size && buffer[p + k] == pattern[k];
        if (match) {
            position = p + 1;
            return true;
        }
    }
    return false;
}

TEST(FindBytes, Cases) {
    struct Case {
        std::string pattern, buffer;
        std::int64_t limit;
        bool found;
        std::int64_t position;
    };
    const Case cases[] = {
        {"ab", "abxxab", 0, true, 1},
        {"ab", "xxxxab", 0, true, 5},    // ends on the last byte
        {"ab", "xxxxxab", 6, true, 6},   // last start offset = limit - (L - 1)
        {"ab", "xxxxxab", 5, false, 0},  // one short
        {"xab", "xxxxxab", 6, true, 5},
        {"abc", "ab", 0, false, 0},  // longer than the buffer
        {"", "abc", 0, false, 0},    // empty pattern
        {"a", "", 0, false, 0},
        {"a", "a", 0, true, 1},
        {"ab", "xab", 100, true, 2},  // a limit beyond the buffer reads nothing beyond it
        {"ab", "abab", -1, false, 0},
        {std::string("\0\0\x01", 3), std::string(10, '\0') + "\x01", 0, true, 9},
    };
    for (const Case& c : cases) {
        std::int64_t position = -7;
        EXPECT_EQ(FindBytes(Bytes(c.pattern), Bytes(c.buffer), position, c.limit), c.found)
            << c.pattern << " in " << c.buffer << " limit " << c.limit;
        if (c.found) {
            EXPECT_EQ(position, c.position) << c.pattern << " in " << c.buffer;
        }
    }
}

// Buffers and patterns drawn from a tiny alphabet so that near-misses, repeats
// and overlapping partial matches are everywhere.
TEST(FindBytes, AgreesWithTheLiteralSearchOnRandomAndAdversarialBuffers) {
    std::mt19937 random(2024);
    const char alphabet[] = {'\0', '\x01', '\xFF', 'a'};
    auto randomBytes = [&](std::size_t length, int symbols) {
        std::string s(length, '\0');
        for (char& c : s) c = alphabet[random() % symbols];
        return s;
    };
    for (int round = 0; round < 30000; ++round) {
        const int symbols = 1 + random() % 4;
        const std::string buffer = randomBytes(random() % 200, symbols);
        std::string pattern = randomBytes(1 + random() % 6, symbols);
        if (!buffer.empty() && random() % 2) {  // often a piece of the buffer itself
            const std::size_t at = random() % buffer.size();
            pattern = buffer.substr(at, 1 + random() % 6);
        }
        const std::int64_t limit =
            random() % 3 == 0 ? 0 : static_cast<std::int64_t>(random() % (buffer.size() + 6)) - 2;
        std::int64_t expected = 0, actual = 0;
        const bool want = LiteralFindBytes(pattern, buffer, expected, limit);
        ASSERT_EQ(FindBytes(Bytes(pattern), Bytes(buffer), actual, limit), want)
            << "round " << round << " limit " << limit;
        if (want) {
            ASSERT_EQ(actual, expected) << "round " << round;
        }
    }
}

TEST(FindBytesZeroTail, SameResultAsScanningTheZeroTail) {
    std::mt19937 random(7);
    const char alphabet[] = {'\0', '\x2A', 'I', 'M'};
    for (int round = 0; round < 30000; ++round) {
        const std::size_t size = 1 + random() % 120;
        const std::size_t filled = random() % (size + 1);
        std::string buffer(size, '\0');
        for (std::size_t i = 0; i < filled; ++i) buffer[i] = alphabet[random() % 4];
        std::string pattern(1 + random() % 5, '\0');
        for (char& c : pattern) c = alphabet[random() % 4];
        const std::int64_t limit = random() % 2 ? 0 : static_cast<std::int64_t>(random() % size);
        std::int64_t expected = 0, actual = 0;
        const bool want = LiteralFindBytes(pattern, buffer, expected, limit);
        ASSERT_EQ(FindBytesZeroTail(Bytes(pattern), Bytes(buffer), filled, actual, limit), want)
            << "round " << round;
        if (want) {
            ASSERT_EQ(actual, expected) << "round " << round;
        }
    }
}

TEST(FindBytes, LongRunsOfTheRarestByte) {
    // Every offset is a candidate and only the last one matches.
    std::string buffer(5000, '\x0C');
    buffer += "\x0C\x6A";
    const std::string pattern("\x0C\x6A", 2);
    std::int64_t position = 0;
    ASSERT_TRUE(FindBytes(Bytes(pattern), Bytes(buffer), position, 0));
    EXPECT_EQ(position, 5001);
}

}  // namespace
}  // namespace corvid
