// Any bytes as the image of a database file, carved by the TIFF signature
// with a small read buffer (its size taken from the input, so that
// signatures straddle buffer ends). Besides not crashing, the carving must
// cut and not invent: each piece starts with the signature, and the pieces in
// the order of their numbers are one unbroken stretch of the image.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <span>
#include <string>
#include <string_view>

#include "engine/exclusive_input_file.h"
#include "engine/raw_extraction.h"
#include "engine/run_host.h"

namespace fs = std::filesystem;

namespace {

class QuietHost : public corvid::RunHost {
public:
    corvid::RunInputs Inputs() const override { return {}; }
    void AddLogLine(std::string_view) override {}
    void ShowStatus(std::string_view, corvid::Colour) override {}
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {}
    std::string ProductName() const override { return "Corvid"; }
    std::string FileVersion() const override { return "fuzz"; }
};

void Check(bool promise) {
    if (!promise) std::abort();
}

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const fs::path& Scratch() {
    static const fs::path dir = [] {
        const char* shm = "/dev/shm";
        fs::path base = fs::is_directory(shm) ? fs::path(shm) : fs::temp_directory_path();
        fs::path made = base / ("corvid-fuzz-carving-" + std::to_string(::getpid()));
        fs::create_directories(made);
        return made;
    }();
    return dir;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::size_t bufferSize = 1 + data[0] % 64;
    const std::string_view image(reinterpret_cast<const char*>(data) + 1, size - 1);

    const fs::path dir = Scratch();
    const fs::path imagePath = dir / "image.mdb";
    {
        std::ofstream out(imagePath, std::ios::binary | std::ios::trunc);
        out.write(image.data(), static_cast<std::streamsize>(image.size()));
    }
    const fs::path outDir = dir / "out";
    fs::remove_all(outDir);
    fs::create_directories(outDir);

    QuietHost host;
    corvid::RawReport report;
    {
        corvid::ExclusiveInputFile input(imagePath.string());
        report = corvid::CarveBySignature(input, corvid::kTiffLittleEndianSignature, ".tif",
                                          (outDir / "tiff").string(), host, bufferSize);
    }
    const std::string_view signature("II*\0", 4);
    Check(report.bytesScanned == static_cast<std::int64_t>(image.size()));
    Check(report.filesWritten <= report.signaturesFound);

    // The pieces, numbered by the signature that ends them.
    std::string joined;
    std::int64_t files = 0;
    for (std::int64_t number = 1; number <= report.signaturesFound; ++number) {
        std::string digits = std::to_string(number);
        if (digits.size() < 4) digits.insert(0, 4 - digits.size(), '0');
        const fs::path piece = outDir / ("tiff" + digits + ".tif");
        if (!fs::exists(piece)) continue;
        const std::string bytes = ReadAll(piece);
        Check(bytes.compare(0, 4, signature) == 0);
        joined += bytes;
        ++files;
    }
    Check(files == report.filesWritten);
    Check(image.find(joined) != std::string_view::npos);
    fs::remove_all(outDir);
    return 0;
}
