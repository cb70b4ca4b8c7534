// The digests taken on the worker thread are exactly the ones taken in line,
// in the manifest rows they belong to, whatever the sizes of the files and the
// pieces they are written in, and also when the run is left by a failure.
#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "engine/digest_pipeline.h"
#include "engine/run_manifest.h"
#include "engine/sha256.h"

namespace corvid {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;

std::vector<std::byte> RandomBytes(std::size_t size, std::mt19937& random) {
    std::vector<std::byte> bytes(size);
    for (std::byte& b : bytes) b = static_cast<std::byte>(random());
    return bytes;
}

std::string DigestInLine(std::span<const std::byte> bytes) {
    Sha256 hash;
    hash.Update(bytes);
    return hash.HexDigest();
}

// Adds `bytes` in pieces of about `piece` bytes, as a run writes a header
// and then the document.
void AddInPieces(DigestPipeline& pipeline, std::span<const std::byte> bytes, std::size_t piece) {
    while (!bytes.empty()) {
        const std::size_t n = std::min(bytes.size(), piece);
        pipeline.Add(bytes.first(n));
        bytes = bytes.subspan(n);
    }
}

struct FileCase {
    std::size_t size;
    std::size_t piece;  // the size of each Add
    bool dropped;       // left unfinished: no row, no digest
};

TEST(DigestPipelineTest, DigestsEqualTheInLineOnesRowByRow) {
    // Empty files, many small ones sharing a chunk, files on and around the
    // chunk size, files larger than all chunks together, and unfinished
    // files (small and large) between them.
    const std::vector<FileCase> cases = {
        {0, 1, false},
        {1, 1, false},
        {70, 14, false},
        {5000, 5000, false},
        {kMiB - 1, 4096, false},
        {kMiB, kMiB, false},
        {kMiB + 1, 333, false},
        {0, 1, false},
        {3 * kMiB + 17, kMiB / 3, false},
        {2 * kMiB + 5, kMiB, true},
        {100, 100, true},
        {9 * kMiB / 2, 3 * kMiB, false},
        {12345, 1000, false},
    };
    std::mt19937 random(7);
    std::vector<FileCase> files = cases;
    for (int i = 0; i < 400; ++i)
        files.push_back({random() % 40000, 1 + random() % 9000, random() % 17 == 0});

    RunManifest manifest("unused.csv");
    std::vector<std::string> expected;
    {
        DigestPipeline pipeline(manifest);
        for (const FileCase& file : files) {
            const std::vector<std::byte> bytes = RandomBytes(file.size, random);
            AddInPieces(pipeline, bytes, file.piece);
            if (file.dropped) {
                pipeline.DropFile();
                continue;
            }
            // A row that wrote nothing lies between two files.
            manifest.Add(ManifestRow{});
            expected.push_back("");
            pipeline.EndFile(manifest.Rows().size());
            manifest.Add(ManifestRow{});
            expected.push_back(DigestInLine(bytes));
        }
        pipeline.Finish();
    }
    ASSERT_EQ(manifest.Rows().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(manifest.Rows()[i].sha256, expected[i]) << "row " << i;
}

TEST(DigestPipelineTest, LeftByAFailureItStillHandsOverEveryFileEnded) {
    std::mt19937 random(11);
    RunManifest manifest("unused.csv");
    std::vector<std::string> expected;
    {
        DigestPipeline pipeline(manifest);
        for (int i = 0; i < 200; ++i) {
            const std::vector<std::byte> bytes =
                RandomBytes(i == 150 ? 3 * kMiB : random() % 30000, random);
            pipeline.Add(bytes);
            pipeline.EndFile(manifest.Rows().size());
            manifest.Add(ManifestRow{});
            expected.push_back(DigestInLine(bytes));
        }
        // The file under way when the failure came is never ended.
        pipeline.Add(RandomBytes(2 * kMiB, random));
    }
    ASSERT_EQ(manifest.Rows().size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(manifest.Rows()[i].sha256, expected[i]) << "row " << i;
}

}  // namespace
}  // namespace corvid
