// Recognising what kind of document a blob holds and where it begins.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace corvid {

struct RecognitionOptions {
    bool nameFromField1 = false;        // "Use value in field 1 as filename": no signature tests
    bool skipUnknown = false;           // "Skip unknown formats"
    bool deepSearch = false;            // "Deep 1:2k; 2:312k"
    std::string_view filterFieldBox{};  // exactly "dmp" switches the signature tests off
};

struct RecognitionResult {
    std::size_t startPosition = 1;  // 1-based position of the first payload byte to write
    bool skip = false;              // the record is not written
    bool bitmapFileHeader = false;  // write kBitmapFileHeader before the payload
};

// "BM", file size 0, reserved 0, pixel data at offset 54.
inline constexpr std::array<std::byte, 14> kBitmapFileHeader{
    std::byte{0x42}, std::byte{0x4D},                               // "BM"
    std::byte{0},    std::byte{0},    std::byte{0}, std::byte{0},   // file size
    std::byte{0},    std::byte{0},    std::byte{0}, std::byte{0},   // reserved
    std::byte{0x36}, std::byte{0},    std::byte{0}, std::byte{0}};  // pixel data offset

inline constexpr std::size_t kFirstWindowSize = 8265;
inline constexpr std::size_t kFirstWindowCopy = 8264;
inline constexpr std::size_t kDeepWindowSize = 327680;
inline constexpr std::size_t kDeepWindowCopy = 327679;

// Owns the two zero-filled search windows and reuses them blob after blob;
// recognising a blob allocates nothing. Not thread-safe: one per run.
class Recogniser {
public:
    Recogniser();
    ~Recogniser();
    Recogniser(Recogniser&&) noexcept;
    Recogniser& operator=(Recogniser&&) noexcept;

    // Appends the recognised extension (or ".dmp") to `outputPath` and tells
    // where the written payload starts.
    RecognitionResult Recognise(std::span<const std::byte> payload, std::string& outputPath,
                                const RecognitionOptions& options);

private:
    struct Windows;
    std::unique_ptr<Windows> windows_;
};

// Whether the path ends in an extension: a "." with no "/", "\" or ":" after it.
bool PathHasExtension(std::string_view path);

}  // namespace corvid
