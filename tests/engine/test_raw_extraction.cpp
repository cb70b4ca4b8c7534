#include "engine/raw_extraction.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "SrcLib/atomic_output_file.h"
#include "support_run_doubles.h"
#include "tests/fixture_files.h"

namespace corvid {
namespace {

using ::testing::ElementsAre;
using testing::FakeHost;
using ::testing::IsEmpty;
using testing::ReadFile;
using testing::ScratchDir;
using testing::WriteFile;
namespace fs = std::filesystem;

const std::string kTiff("II*\0", 4);

std::string Padded(std::int64_t number) {
    std::string text = std::to_string(number);
    return text.size() < 4 ? std::string(4 - text.size(), '0') + text : text;
}

// What a carve did: status texts and log lines in order, and the files.
struct CarveTrace {
    std::vector<std::string> events;
    std::map<std::string, std::string> files;
    std::int64_t signatures = 0;
    bool operator==(const CarveTrace&) const = default;
};

// The scan exactly as it reads the input: one byte per read, the match
// followed byte by byte, the scan resumed two bytes into a signature after a
// segment was written.
CarveTrace ReferenceCarve(const std::string& input, const std::string& signature,
                          const std::string& extension, const std::string& prefix) {
    CarveTrace trace;
    const auto size = static_cast<std::int64_t>(input.size());
    const auto length = static_cast<std::int64_t>(signature.size());
    std::int64_t position = 0;
    auto readByte = [&] { return input[static_cast<std::size_t>(position++)]; };

    const std::int64_t limit = size - length + 1;
    const std::int64_t step = limit / 100;
    std::int64_t counter = 0;
    std::int64_t previous = 0;
    while (position < limit) {
        if (step > 0 && position % step == 0)
            trace.events.push_back("status:" + std::to_string(position));
        char last = readByte();
        if (last != signature[0]) continue;
        const std::int64_t candidate = position;  // 1-based
        std::size_t index = 0;
        while (last == signature[index] && index < signature.size() - 1) {
            last = readByte();
            ++index;
        }
        if (last == signature[index]) {
            ++counter;
            if (previous > 0) {
                const std::string name = prefix + Padded(counter) + extension;
                trace.events.push_back("log:" + name);
                trace.files[name] =
                    input.substr(static_cast<std::size_t>(previous),
                                 static_cast<std::size_t>(candidate - 1 - previous));
                position = candidate - 1 + 2;
            }
            previous = candidate - 1;
        }
    }
    trace.signatures = counter;
    return trace;
}

CarveTrace FastCarveFile(const std::string& inputPath, const std::string& signature,
                         std::size_t bufferSize) {
    ScratchDir dir;
    fs::create_directory(dir.Path() / "out");
    const std::string prefix = dir.Prefix() + "out/tiff";
    FakeHost host;
    ExclusiveInputFile file(inputPath);
    const RawReport report =
        CarveBySignature(file, std::as_bytes(std::span(signature.data(), signature.size())), ".tif",
                         prefix, host, bufferSize);

    CarveTrace trace;
    for (const auto& [text, colour] : host.statuses) EXPECT_EQ(colour, kKeepColour);
    for (const auto& event : host.events)
        if (event.starts_with("status:") || event.starts_with("log:"))
            trace.events.push_back(event);
    for (const auto& entry : fs::directory_iterator(dir.Path() / "out"))
        trace.files[prefix + entry.path().filename().string().substr(4)] = ReadFile(entry.path());
    trace.signatures = report.signaturesFound;
    EXPECT_EQ(report.filesWritten, static_cast<std::int64_t>(trace.files.size()));
    return trace;
}

CarveTrace FastCarve(const std::string& input, const std::string& signature,
                     std::size_t bufferSize) {
    ScratchDir dir;
    WriteFile(dir.Path() / "input.mdb", input);
    return FastCarveFile((dir.Path() / "input.mdb").string(), signature, bufferSize);
}

// Strips the scratch directory from names so two traces can be compared.
CarveTrace Normalised(const CarveTrace& trace) {
    CarveTrace out;
    out.signatures = trace.signatures;
    auto strip = [](std::string text) {
        const auto at = text.rfind("/out/tiff");
        return at == std::string::npos ? text
                                       : text.substr(0, text.find(':') + 1) + text.substr(at);
    };
    for (const auto& event : trace.events)
        out.events.push_back(event.starts_with("log:") ? strip(event) : event);
    for (const auto& [name, bytes] : trace.files)
        out.files[name.substr(name.rfind("/out/tiff"))] = bytes;
    return out;
}

// Random inputs rich in signature bytes, so partial matches, overlapping
// candidates and signatures across every buffer boundary occur often.
TEST(CarveBySignature, BehavesLikeTheByteAtATimeScan) {
    std::mt19937 random(20261209);
    const std::vector<std::string> signatures{kTiff, "ABAB", "AAB", "I", "AB"};
    const std::vector<std::size_t> bufferSizes{1, 2, 3, 4, 5, 7, 16, 61, 4096};
    int compared = 0;
    for (const auto& signature : signatures) {
        for (int round = 0; round < 60; ++round) {
            const std::size_t size = std::uniform_int_distribution<std::size_t>(0, 1500)(random);
            std::string input(size, '\0');
            for (auto& byte : input) {
                const int pick = std::uniform_int_distribution<int>(0, 9)(random);
                byte = pick < 6 ? signature[static_cast<std::size_t>(pick) % signature.size()]
                                : static_cast<char>(random());
            }
            const std::size_t buffer =
                bufferSizes[static_cast<std::size_t>(round) % bufferSizes.size()];
            const CarveTrace expected =
                Normalised(ReferenceCarve(input, signature, ".tif", "/x/out/tiff"));
            const CarveTrace actual = Normalised(FastCarve(input, signature, buffer));
            ASSERT_EQ(actual.signatures, expected.signatures)
                << "signature " << signature << " round " << round;
            ASSERT_EQ(actual.events, expected.events)
                << "signature " << signature << " round " << round;
            ASSERT_EQ(actual.files, expected.files)
                << "signature " << signature << " round " << round;
            ++compared;
        }
    }
    EXPECT_EQ(compared, 300);
}

// Signatures and partial matches placed on every offset around the edges of
// a small read buffer.
TEST(CarveBySignature, SignaturesStraddlingBufferEdges) {
    const std::size_t buffer = 16;
    for (std::size_t shift = 0; shift < 2 * buffer; ++shift) {
        std::string input(400, 'x');
        for (std::size_t at = 20 + shift; at + 5 < input.size(); at += 37) {
            const std::string piece = (at / 37) % 3 == 0 ? std::string("III*\0", 5) : kTiff;
            input.replace(at, piece.size(), piece);
        }
        const CarveTrace expected = Normalised(ReferenceCarve(input, kTiff, ".tif", "/x/out/tiff"));
        const CarveTrace actual = Normalised(FastCarve(input, kTiff, buffer));
        EXPECT_EQ(actual, expected) << "shift " << shift;
        EXPECT_GT(expected.files.size(), 3u);
    }
}

// A real Access file, carved in place (it is read-only): once for the TIFF
// signature and once for "BM", which its pictures hold.
TEST(CarveBySignature, RealDatabaseFileCarvesLikeTheReference) {
    const std::string path = corvid::testing_fixtures::FixturePath("mdb/nwind.mdb");
    ASSERT_TRUE(fs::is_regular_file(path)) << "missing test fixture: " << path;
    const std::string bytes = ReadFile(path);
    for (const std::string& signature : {kTiff, std::string("BM")}) {
        const CarveTrace expected =
            Normalised(ReferenceCarve(bytes, signature, ".tif", "/x/out/tiff"));
        for (const std::size_t buffer : {std::size_t{4093}, kCarveBufferSize}) {
            const CarveTrace actual = Normalised(FastCarveFile(path, signature, buffer));
            EXPECT_EQ(actual, expected) << signature << " " << buffer;
        }
        if (signature == "BM") {
            EXPECT_GT(expected.files.size(), 10u);
        }
    }
    EXPECT_EQ(ReadFile(path), bytes);
}

class RawExtractionTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directory(dir_.Path() / "out");
        host_.inputs.database = (dir_.Path() / "db.mdb").string();
        host_.inputs.outputDirectory = dir_.Prefix() + "out/";
    }
    std::string Out(const std::string& name) const { return dir_.Prefix() + "out/" + name; }
    std::map<std::string, std::string> OutFiles() const {
        std::map<std::string, std::string> files;
        for (const auto& entry : fs::directory_iterator(dir_.Path() / "out"))
            files[entry.path().filename()] = ReadFile(entry.path());
        return files;
    }
    std::vector<std::string> ProgressTexts() const {
        std::vector<std::string> texts;
        for (const auto& [text, colour] : host_.statuses)
            if (colour == kKeepColour) texts.push_back(text);
        return texts;
    }

    ScratchDir dir_;
    FakeHost host_;
};

TEST_F(RawExtractionTest, ThreeImagesGiveTwoFilesNumberedFromTwo) {
    // Images at a < b < c; the stretch from c to the end is not written.
    std::string input = std::string(300, 'd');
    const std::size_t a = 10, b = 100, c = 250;
    for (const std::size_t at : {a, b, c}) input.replace(at, 4, kTiff);
    WriteFile(host_.inputs.database, input);

    const RawReport report = RunRawExtraction(host_);

    EXPECT_EQ(report.signaturesFound, 3);
    EXPECT_EQ(report.filesWritten, 2);
    EXPECT_EQ(report.bytesScanned, 300);
    ASSERT_EQ(host_.log.size(), 3u);
    EXPECT_THAT(std::vector<std::string>(host_.log.begin() + 1, host_.log.end()),
                ElementsAre(Out("tiff0002.tif"), Out("tiff0003.tif")));
    EXPECT_EQ(OutFiles(),
              (std::map<std::string, std::string>{{"tiff0002.tif", input.substr(a, b - a)},
                                                  {"tiff0003.tif", input.substr(b, c - b)}}));
    ASSERT_FALSE(host_.statuses.empty());
    EXPECT_EQ(host_.statuses.back(), (std::pair<std::string, Colour>{"ok", kButtonFace}));
    // Scan limit 297, step 2: every even position read from the top of the
    // loop is shown; the four positions of each signature are not.
    const std::vector<std::string> progress = ProgressTexts();
    EXPECT_EQ(progress.front(), "0");
    EXPECT_EQ(progress.back(), "296");
    EXPECT_THAT(progress, ::testing::Not(::testing::Contains("12")));
    EXPECT_THAT(progress, ::testing::Contains("102"));  // after a segment the scan resumes at b + 2
    EXPECT_FALSE(host_.busy);
    EXPECT_EQ(host_.events.back(), "status:ok");
    EXPECT_EQ(host_.events[host_.events.size() - 2], "cursor:normal");
}

TEST_F(RawExtractionTest, PartialMatchConsumesTheSignatureBehindIt) {
    // 49 49 49 2A 00 holds a signature at its second byte, which the scan does
    // not see: the candidate at the first byte consumed it.
    std::string input = kTiff + "aaaa" + std::string("III*\0", 5) + "bbbb" + kTiff + "cccc" + kTiff;
    WriteFile(host_.inputs.database, input);
    const RawReport report = RunRawExtraction(host_);
    EXPECT_EQ(report.signaturesFound, 3);
    // The signature at offset 0 counts but is "no previous signature".
    EXPECT_EQ(OutFiles(), (std::map<std::string, std::string>{{"tiff0003.tif", kTiff + "cccc"}}));
}

TEST_F(RawExtractionTest, AFileJudgedEncryptedIsRefusedBeforeAnythingIsWritten) {
    // A file full of signatures: carved when the check says clear, refused
    // when it says encrypted. The check sees the file's first 4096 bytes.
    std::string input = "head";
    for (int i = 0; i < 2000; ++i) input += kTiff + "data";
    WriteFile(host_.inputs.database, input);
    std::string seen;
    const EncryptedFileCheck encrypted = [&](std::span<const std::byte> first) {
        seen.assign(reinterpret_cast<const char*>(first.data()), first.size());
        return true;
    };
    try {
        RunRawExtraction(host_, encrypted);
        ADD_FAILURE() << "carved";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), kEncryptedFileRefusal);
    }
    EXPECT_EQ(seen, input.substr(0, 4096));
    EXPECT_THAT(OutFiles(), IsEmpty());

    const RawReport report =
        RunRawExtraction(host_, [](std::span<const std::byte>) { return false; });
    EXPECT_EQ(report.filesWritten, 1999);

    // A file shorter than a header page is handed over whole.
    WriteFile(host_.inputs.database, "II*");
    EXPECT_THROW(RunRawExtraction(host_, encrypted), std::runtime_error);
    EXPECT_EQ(seen, "II*");
}

TEST_F(RawExtractionTest, SignatureAtOffsetZeroIsNotWrittenButCounted) {
    std::string input = kTiff + "first" + kTiff + "second" + kTiff + "third" + kTiff;
    WriteFile(host_.inputs.database, input);
    RunRawExtraction(host_);
    EXPECT_EQ(OutFiles(), (std::map<std::string, std::string>{{"tiff0003.tif", kTiff + "second"},
                                                              {"tiff0004.tif", kTiff + "third"}}));
}

TEST_F(RawExtractionTest, NumberingKeepsGrowingPastFourDigits) {
    std::string input = "x";
    for (int i = 0; i < 10001; ++i) input += kTiff + std::to_string(i);
    WriteFile(host_.inputs.database, input);
    const RawReport report = RunRawExtraction(host_);
    EXPECT_EQ(report.signaturesFound, 10001);
    EXPECT_EQ(report.filesWritten, 10000);
    EXPECT_EQ(ReadFile(Out("tiff0002.tif")), kTiff + "0");
    EXPECT_EQ(ReadFile(Out("tiff9999.tif")), kTiff + "9997");
    EXPECT_EQ(ReadFile(Out("tiff10000.tif")), kTiff + "9998");
    EXPECT_EQ(ReadFile(Out("tiff10001.tif")), kTiff + "9999");
    EXPECT_FALSE(fs::exists(Out("tiff0001.tif")));
    EXPECT_FALSE(fs::exists(Out("tiff010000.tif")));
}

TEST_F(RawExtractionTest, TinyInputsShowNoProgress) {
    for (const std::string& input : {std::string(), std::string("II*"),
                                     "x" + kTiff + "ab" + kTiff + "c", std::string(102, 'z')}) {
        FakeHost host;
        host.inputs = host_.inputs;
        WriteFile(host.inputs.database, input);
        RunRawExtraction(host);
        ASSERT_EQ(host.statuses.size(), 1u) << input.size();
        EXPECT_EQ(host.statuses[0].first, "ok");
    }
    EXPECT_EQ(OutFiles(), (std::map<std::string, std::string>{{"tiff0002.tif", kTiff + "ab"}}));
}

TEST_F(RawExtractionTest, UnopenableInputFailsWithTheOpenMessage) {
    const int held = ::open(host_.inputs.database.c_str(), O_RDWR | O_CREAT, 0644);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::write(held, kTiff.data(), 4), 4);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);  // another program has it open

    const std::string locked = host_.inputs.database;
    const std::string missing = dir_.Prefix() + "missing.mdb";
    const std::string directory = dir_.Prefix() + "out";
    const std::string fifo = dir_.Prefix() + "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const struct {
        std::string path, reason;
    } cases[] = {
        {locked, "The file is in use by another program"},
        {missing, "No such file or directory"},
        {directory, "Is a directory"},
        {fifo, "It is not a regular file"},  // and the open does not wait for a writer
    };
    for (const auto& c : cases) {
        FakeHost host;
        host.inputs = host_.inputs;
        host.inputs.database = c.path;
        try {
            RunRawExtraction(host);
            ADD_FAILURE() << c.path << " opened";
        } catch (const FileError& error) {
            EXPECT_EQ(std::string(error.what()),
                      "Cannot open file \"" + c.path + "\". " + c.reason);
        }
        EXPECT_EQ(host.log.size(), 1u);  // the heading line only
        EXPECT_THAT(host.statuses, IsEmpty());
        EXPECT_FALSE(host.busy);
    }
    ::close(held);

    // Once the other program lets go, the file opens.
    FakeHost host;
    host.inputs = host_.inputs;
    EXPECT_NO_THROW(RunRawExtraction(host));
    EXPECT_THAT(OutFiles(), IsEmpty());
}

TEST_F(RawExtractionTest, UncreatableSegmentFailsWithTheCreateMessage) {
    WriteFile(dir_.Path() / "plain", "a file, not a directory");
    host_.inputs.outputDirectory = dir_.Prefix() + "plain/";
    std::string input(200, '.');
    input.replace(0 + 5, 4, kTiff);
    input.replace(150, 4, kTiff);
    WriteFile(host_.inputs.database, input);

    const std::string name = dir_.Prefix() + "plain/tiff0002.tif";
    try {
        RunRawExtraction(host_);
        FAIL() << "no failure";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "Cannot create file \"" + name + "\". Not a directory");
    }
    // The log names the files written, not the one that could not be made:
    // here only the heading line.
    EXPECT_EQ(host_.log.size(), 1u);
    ASSERT_FALSE(host_.statuses.empty());
    EXPECT_NE(host_.statuses.back().first, "ok");  // the last progress text stays
    EXPECT_FALSE(host_.busy);
}

// A segment that cannot be written completely never appears; the segments
// written before it stay.
TEST_F(RawExtractionTest, FailedSegmentWriteLeavesEarlierSegmentsOnly) {
    std::string input =
        "x" + kTiff + "one" + kTiff + "two" + kTiff + std::string(200000, 'b') + kTiff;
    WriteFile(host_.inputs.database, input);

    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previousHandler = ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string message;
    try {
        RunRawExtraction(host_);
    } catch (const FileError& error) {
        message = error.what();
    }
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(message, "Cannot write file \"" + Out("tiff0004.tif") + "\". File too large");
    EXPECT_EQ(OutFiles(), (std::map<std::string, std::string>{{"tiff0002.tif", kTiff + "one"},
                                                              {"tiff0003.tif", kTiff + "two"}}));
    EXPECT_EQ(host_.log.back(), Out("tiff0003.tif"));  // the last file written, not the failed one
}

// The carve never writes over the file it reads, even when a segment's name
// is that file's.
TEST_F(RawExtractionTest, NeverWritesOverTheInputFile) {
    host_.inputs.database = Out("tiff0002.tif");
    const std::string input = "x" + kTiff + "one" + kTiff;
    WriteFile(host_.inputs.database, input);
    try {
        RunRawExtraction(host_);
        FAIL() << "no failure";
    } catch (const FileError& error) {
        EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + Out("tiff0002.tif") +
                                                 "\". It is the database file being read");
    }
    EXPECT_EQ(ReadFile(host_.inputs.database), input);
}

// Offsets and counters are 64-bit: a sparse input of more than 2 GiB with its
// signatures beyond the 2 GiB mark carves correctly.
TEST_F(RawExtractionTest, InputsOver2GiBCarveCorrectly) {
    const std::int64_t base = (std::int64_t{1} << 31) + 12345;
    const int fd = ::open(host_.inputs.database.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string first = kTiff + "first segment";
    const std::string second = kTiff + "second";
    ASSERT_EQ(::pwrite(fd, first.data(), first.size(), base), static_cast<ssize_t>(first.size()));
    ASSERT_EQ(::pwrite(fd, second.data(), second.size(), base + 13 + 4),
              static_cast<ssize_t>(second.size()));
    ASSERT_EQ(::pwrite(fd, kTiff.data(), 4, base + 1000), 4);
    ASSERT_EQ(::ftruncate(fd, base + 4096), 0);
    ::close(fd);

    const RawReport report = RunRawExtraction(host_);
    EXPECT_EQ(report.signaturesFound, 3);
    EXPECT_EQ(report.bytesScanned, base + 4096);
    EXPECT_EQ(OutFiles(),
              (std::map<std::string, std::string>{
                  {"tiff0002.tif", kTiff + "first segment"},
                  {"tiff0003.tif", second + std::string(1000 - 17 - second.size(), '\0')}}));
    const std::vector<std::string> progress = ProgressTexts();
    ASSERT_EQ(progress.size(), 101u);
    const std::int64_t step = (base + 4096 - 3) / 100;
    EXPECT_EQ(progress.back(), std::to_string(100 * step));
}

}  // namespace
}  // namespace corvid
