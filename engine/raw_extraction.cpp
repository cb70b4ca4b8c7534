#include "engine/raw_extraction.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "SrcLib/atomic_output_file.h"
#include "SrcLib/file_names.h"
#include "engine/input_guard.h"
#include "engine/run_log_lines.h"

namespace corvid {
namespace {

std::string DecimalText(std::int64_t value) {
    std::array<char, 24> digits{};
    const auto result = std::to_chars(digits.data(), digits.data() + digits.size(), value);
    return std::string(digits.data(), result.ptr);
}

// A window of the input file, refilled on demand. The scan moves forwards,
// except for the short step back after a segment, which may cross into the
// previous window.
class ScanWindow {
public:
    ScanWindow(const ExclusiveInputFile& input, std::size_t capacity)
        : input_(input),
          capacity_(std::max<std::size_t>(capacity, 1)),
          bytes_(std::make_unique_for_overwrite<std::byte[]>(capacity_)) {}

    std::byte At(std::int64_t offset) {
        if (offset < start_ || offset >= start_ + length_) Load(offset);
        return bytes_[static_cast<std::size_t>(offset - start_)];
    }

    // The first offset in [from, to) holding `value`, or `to`.
    std::int64_t Find(std::byte value, std::int64_t from, std::int64_t to) {
        while (from < to) {
            if (from < start_ || from >= start_ + length_) Load(from);
            const std::byte* begin = bytes_.get() + (from - start_);
            const auto available = static_cast<std::size_t>(std::min(to, start_ + length_) - from);
            if (const void* hit = std::memchr(begin, std::to_integer<int>(value), available))
                return from + (static_cast<const std::byte*>(hit) - begin);
            from += static_cast<std::int64_t>(available);
        }
        return to;
    }

    // The bytes [from, to) when the window holds all of them; empty otherwise.
    std::span<const std::byte> Held(std::int64_t from, std::int64_t to) const {
        if (from < start_ || to > start_ + length_ || from >= to) return {};
        return {bytes_.get() + (from - start_), static_cast<std::size_t>(to - from)};
    }

private:
    void Load(std::int64_t offset) {
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(capacity_), input_.Size() - offset));
        length_ = want > 0 ? static_cast<std::int64_t>(
                                 input_.ReadAt(offset, std::span<std::byte>(bytes_.get(), want)))
                           : 0;
        start_ = offset;
        if (length_ == 0)
            throw FileError("Cannot read file \"" + input_.Path() + "\". The file ended early");
    }

    const ExclusiveInputFile& input_;
    std::size_t capacity_;
    std::unique_ptr<std::byte[]> bytes_;
    std::int64_t start_ = 0;
    std::int64_t length_ = 0;
};

// The first bytes of the file, as many as a database's header page holds.
std::vector<std::byte> FirstBytes(const ExclusiveInputFile& input) {
    std::vector<std::byte> bytes(
        static_cast<std::size_t>(std::min<std::int64_t>(input.Size(), 4096)));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const std::size_t more =
            input.ReadAt(static_cast<std::int64_t>(got), std::span(bytes).subspan(got));
        if (more == 0) break;
        got += more;
    }
    bytes.resize(got);
    return bytes;
}

}  // namespace

// The scan behaves exactly like reading the input one byte at a time:
// position p is "examined" when the byte-at-a-time loop would read the byte at
// p from the top of its loop. Bytes that are not the first signature byte are
// skipped with memchr, and the positions skipped that way get their progress
// texts all the same.
RawReport CarveBySignature(ExclusiveInputFile& input, std::span<const std::byte> signature,
                           std::string_view extension, std::string_view namePrefix, RunHost& host,
                           std::size_t bufferSize) {
    RawReport report;
    report.bytesScanned = input.Size();
    if (signature.empty()) return report;

    const auto signatureLength = static_cast<std::int64_t>(signature.size());
    const std::int64_t scanLimit = input.Size() - signatureLength + 1;
    const std::int64_t progressStep = scanLimit / 100;  // 0: no progress for tiny inputs
    if (scanLimit <= 0) return report;

    ScanWindow window(input, bufferSize);
    const InputGuard inputGuard = InputGuard::ForDescriptor(input.Descriptor());
    const std::byte first = signature[0];
    std::int64_t nextProgress = 0;   // the next multiple of the step to show
    std::int64_t previousStart = 0;  // 0 also stands for "no previous signature"
    std::int64_t position = 0;

    auto showProgressUpTo = [&](std::int64_t last) {
        if (progressStep <= 0) return;
        while (nextProgress <= last) {
            host.ShowStatus(DecimalText(nextProgress), kKeepColour);
            nextProgress += progressStep;
        }
    };
    auto skipProgressTo = [&](std::int64_t from) {
        if (progressStep <= 0) return;
        nextProgress = (from + progressStep - 1) / progressStep * progressStep;
    };

    while (position < scanLimit) {
        const std::int64_t candidate = window.Find(first, position, scanLimit);
        showProgressUpTo(std::min(candidate, scanLimit - 1));
        if (candidate >= scanLimit) break;

        // Follow the candidate as far as it matches; the bytes it reads are
        // never looked at again as the start of a signature.
        std::int64_t next = candidate + 1;
        std::size_t index = 0;
        std::byte last = first;
        while (last == signature[index] && index < signature.size() - 1) {
            last = window.At(next++);
            ++index;
        }
        position = next;
        if (last == signature[index]) {
            ++report.signaturesFound;
            if (previousStart > 0) {
                std::string name(namePrefix);
                name += PadLeftWith(DecimalText(report.signaturesFound), 4, '0');
                name += extension;
                inputGuard.Check(name);
                AtomicOutputFile segment(name);
                const auto held = window.Held(previousStart, candidate);
                if (!held.empty())
                    segment.Write(held);
                else
                    segment.CopyFrom(input.Descriptor(), previousStart, candidate - previousStart);
                segment.Commit();
                host.AddLogLine(name);  // the log names only files that exist
                ++report.filesWritten;
                position = candidate + 2;  // the scan goes on two bytes into the signature
            }
            previousStart = candidate;
        }
        skipProgressTo(position);
    }
    return report;
}

RawReport RunRawExtraction(RunHost& host, const EncryptedFileCheck& encrypted) {
    const RunInputs inputs = host.Inputs();
    ForgetCleanedDirectories();
    BusyCursorGuard cursor(host);
    host.AddLogLine(HeadingLine(host));
    RawReport report;
    {
        ExclusiveInputFile input(inputs.database);
        if (encrypted && encrypted(FirstBytes(input)))
            throw std::runtime_error(std::string(kEncryptedFileRefusal));
        report = CarveBySignature(input, kTiffLittleEndianSignature, ".tif",
                                  inputs.outputDirectory + "tiff", host);
    }
    cursor.Restore();
    host.ShowStatus("ok", kButtonFace);
    return report;
}

}  // namespace corvid
