// Cost of recognising one blob: a 100 KiB blob of random bytes that matches
// no signature, so every test of the first pass (and, with the deep option,
// of the deep pass) scans its whole window. For comparison: the same scans
// done with the plain byte-by-byte search, and reading a 100 KiB file that
// sits in the page cache.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "engine/find_bytes.h"
#include "engine/recognition.h"

namespace {

using namespace std::string_view_literals;
constexpr std::size_t kBlobSize = 100 * 1024;

std::vector<std::byte> UnrecognisedBlob() {
    for (unsigned streamSeed = 1;; ++streamSeed) {
        std::mt19937 random(streamSeed);
        std::vector<std::byte> blob(kBlobSize);
        for (auto& b : blob) b = static_cast<std::byte>(random() & 0xFF);
        corvid::Recogniser recogniser;
        std::string plain = "x", deep = "x";
        recogniser.Recognise(blob, plain, {});
        recogniser.Recognise(blob, deep, {.deepSearch = true});
        if (plain == "x.dmp" && deep == "x.dmp") return blob;
    }
}

void RecogniseBlob(benchmark::State& state, bool deepSearch) {
    const std::vector<std::byte> blob = UnrecognisedBlob();
    corvid::Recogniser recogniser;
    std::string path;
    for (auto _ : state) {
        path = "out/123";
        const auto result = recogniser.Recognise(blob, path, {.deepSearch = deepSearch});
        benchmark::DoNotOptimize(result);
        benchmark::DoNotOptimize(path.data());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBlobSize);
}

void BM_Recognise_FirstPass(benchmark::State& state) { RecogniseBlob(state, false); }
void BM_Recognise_FirstAndDeepPass(benchmark::State& state) { RecogniseBlob(state, true); }

// The byte-by-byte search exactly as defined, without any shortcut.
bool LiteralFindBytes(std::string_view pattern, const std::byte* buffer, std::int64_t size,
                      std::int64_t& position, std::int64_t limit) {
    position = 0;
    const auto length = static_cast<std::int64_t>(pattern.size());
    const std::int64_t last = (limit == 0 ? size - 1 : limit) - (length - 1);
    for (std::int64_t p = 0; p <= last; ++p) {
        std::int64_t k = 0;
        while (k < length && buffer[p + k] == static_cast<std::byte>(pattern[k])) ++k;
        if (k == length) {
            position = p + 1;
            return true;
        }
    }
    return false;
}

// Every scan an unrecognised blob costs: the first pass (both halves of the
// paired tests) and the two Office tests; then the deep pass.
constexpr std::string_view kFirstPassScans[] = {
    "%PDF-1."sv,
    "\xFF\xFF\xFF\xFF"
    "Picture\0"
    "\0"
    "\x01\x05\0\0"
    "\x03\0\0\0"
    "\x04\0\0\0"
    "DIB"sv,
    "\x28\0\0\0"sv,
    "\xFF\xD8\xFF"sv,
    "JFIF\0"sv,
    "\x89PNG\r\n\x1A\n"
    "\0\0\0\x0D"
    "IHDR"sv,
    "8BPS\0\x01\0\0\0\0\0\0\0"sv,
    "CPT9FILE"sv,
    "CPT7FILE"sv,
    "CPTFILE"sv,
    "\xD7\xCD\xC6\x9A\0\0"sv,
    "\x01\0\x09\0\0\x03"sv,
    "GIF89a"sv,
    "GIF87a"sv,
    "Paint Shop Pro Image File\n\x1A\0\0\0\0\0"sv,
    "BM"sv,
    "\xFF\xD8\xFF"sv,
    "RIFF"sv,
    "AC10"sv,
    "\0\0\0\x0C"
    "jP  \r\n"sv,
    "PICT\0\x08"sv,
    "II\x1A\0\0\0"
    "HEAPCCDR\x02\0"sv,
    "II*\0"sv,
    "MM\0*"sv,
    "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"sv,
    "PK\x03\x04\x14\0\x06\0"sv,
};
constexpr std::string_view kDeepPassScans[] = {
    "\xD7\xCD\xC6\x9A\0\0"sv,
    "\x01\0\x09\0\0\x03"sv,
    "\xFF\xD8\xFF"sv,
    "\x89PNG\r\n\x1A\n"
    "\0\0\0\x0D"
    "IHDR"sv,
    "GIF89a"sv,
    "GIF87a"sv,
    "II*\0"sv,
    "MM\0*"sv,
    "%PDF-1."sv,
    "\xFF\xD8\xFF"sv,
};

void LiteralScans(benchmark::State& state, bool deepSearch) {
    const std::vector<std::byte> blob = UnrecognisedBlob();
    std::vector<std::byte> first(corvid::kFirstWindowSize), deep(corvid::kDeepWindowSize);
    for (auto _ : state) {
        std::fill(first.begin(), first.end(), std::byte{0});
        std::memcpy(first.data(), blob.data(), corvid::kFirstWindowCopy);
        std::int64_t position = 0;
        int found = 0;
        for (std::string_view s : kFirstPassScans)
            found += LiteralFindBytes(s, first.data(), static_cast<std::int64_t>(first.size()),
                                      position, 0);
        if (deepSearch) {
            std::fill(deep.begin(), deep.end(), std::byte{0});
            const std::int64_t n =
                static_cast<std::int64_t>(std::min(blob.size(), corvid::kDeepWindowCopy));
            std::memcpy(deep.data(), blob.data(), static_cast<std::size_t>(n));
            const auto size = static_cast<std::int64_t>(deep.size());
            for (std::string_view s : kDeepPassScans)
                found += LiteralFindBytes(s, deep.data(), size, position, n);
            found += LiteralFindBytes("JFIF\0"sv, deep.data(), size, position, 0);
        }
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBlobSize);
}

void BM_Literal_FirstPass(benchmark::State& state) { LiteralScans(state, false); }
void BM_Literal_FirstAndDeepPass(benchmark::State& state) { LiteralScans(state, true); }

// Reading the same 100 KiB from a file in the page cache: the cheapest a
// blob ever gets to memory.
void BM_ReadBlobFromCachedFile(benchmark::State& state) {
    const std::vector<std::byte> blob = UnrecognisedBlob();
    char name[] = "/tmp/corvid-bench-blob-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0 || ::write(fd, blob.data(), blob.size()) != static_cast<ssize_t>(blob.size())) {
        state.SkipWithError("cannot write the temporary file");
        return;
    }
    std::vector<std::byte> buffer(kBlobSize);
    for (auto _ : state) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), 0);
        benchmark::DoNotOptimize(got);
    }
    ::close(fd);
    ::unlink(name);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * kBlobSize);
}

}  // namespace

BENCHMARK(BM_Recognise_FirstPass);
BENCHMARK(BM_Recognise_FirstAndDeepPass);
BENCHMARK(BM_Literal_FirstPass);
BENCHMARK(BM_Literal_FirstAndDeepPass);
BENCHMARK(BM_ReadBlobFromCachedFile);
BENCHMARK_MAIN();
