// Raw carving throughput: a 1 GiB input in /dev/shm with a TIFF signature
// every 1 MiB, carved into a directory under /dev/shm, against a plain
// one-byte-per-read() loop of the same scan on a 64 MiB prefix.
//
//   build-dir/bench/engine/bench_raw_carving
//
// Prints MB/s of both, their ratio and the peak resident memory.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "SrcLib/atomic_output_file.h"
#include "SrcLib/file_names.h"
#include "engine/raw_extraction.h"

namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kMiB = std::int64_t{1} << 20;

struct Workspace {
    fs::path root;
    fs::path input;
    fs::path output;
    std::int64_t inputSize = 0;
    std::int64_t prefixSize = 0;
};

Workspace* workspace = nullptr;
// Wall-clock and CPU-time throughput of the first run of each kind.
double fastMegabytesPerSecond = 0, fastCpuMegabytesPerSecond = 0;
double byteReadMegabytesPerSecond = 0, byteReadCpuMegabytesPerSecond = 0;
std::int64_t fastFiles = 0;

class QuietHost : public corvid::RunHost {
public:
    corvid::RunInputs Inputs() const override { return {}; }
    void AddLogLine(std::string_view) override { ++lines; }
    void ShowStatus(std::string_view, corvid::Colour) override { ++statuses; }
    void SetBusyCursor(bool) override {}
    void ProcessMessages() override {}
    std::string ProductName() const override { return "Corvid"; }
    std::string FileVersion() const override { return "bench"; }
    std::int64_t lines = 0;
    std::int64_t statuses = 0;
};

std::int64_t FreeBytes(const char* path) {
    struct statvfs info {};
    if (::statvfs(path, &info) != 0) return 0;
    return static_cast<std::int64_t>(info.f_bavail) * static_cast<std::int64_t>(info.f_frsize);
}

// Pseudo-random filler (about one "I" per 256 bytes, as in real data) with a
// signature at the start of every MiB.
void MakeInput(const fs::path& path, std::int64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + path.string());
    std::vector<std::uint64_t> chunk(static_cast<std::size_t>(kMiB / 8));
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::int64_t written = 0; written < size; written += kMiB) {
        for (auto& word : chunk) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        std::memcpy(chunk.data(), "II*\0", 4);
        // An "I" just before a signature would hide it (the partial match
        // consumes it): end every MiB with a zero byte.
        reinterpret_cast<unsigned char*>(chunk.data())[kMiB - 1] = 0;
        const auto n = static_cast<std::size_t>(std::min(kMiB, size - written));
        if (::write(fd, chunk.data(), n) != static_cast<ssize_t>(n))
            throw std::runtime_error("cannot write " + path.string());
    }
    ::close(fd);
}

void ClearOutput() {
    fs::remove_all(workspace->output);
    fs::create_directory(workspace->output);
}

void BM_CarveBuffered(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        ClearOutput();
        QuietHost host;
        state.ResumeTiming();
        corvid::ExclusiveInputFile input(workspace->input.string());
        const corvid::RawReport report = corvid::CarveBySignature(
            input, corvid::kTiffLittleEndianSignature, ".tif", workspace->output.string() + "/tiff",
            host, static_cast<std::size_t>(state.range(0)) * 1024);
        fastFiles = report.filesWritten;
        benchmark::DoNotOptimize(report);
    }
    state.SetBytesProcessed(state.iterations() * workspace->inputSize);
}

// The same scan reading one byte per read() call; segments are copied the
// same way as in the buffered scan.
std::int64_t CarveByteReads(const std::string& path, std::int64_t size, const std::string& prefix) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (fd < 0) throw std::runtime_error("cannot open " + path);
    const unsigned char signature[4] = {0x49, 0x49, 0x2A, 0x00};
    std::int64_t position = 0;
    auto readByte = [&] {
        unsigned char byte = 0;
        if (::read(fd, &byte, 1) != 1) throw std::runtime_error("short read");
        ++position;
        return byte;
    };
    const std::int64_t limit = size - 3;
    const std::int64_t step = limit / 100;
    std::int64_t counter = 0, previous = 0, files = 0, shown = 0;
    while (position < limit) {
        if (step > 0 && position % step == 0) ++shown;
        unsigned char last = readByte();
        if (last != signature[0]) continue;
        const std::int64_t candidate = position;
        std::size_t index = 0;
        while (last == signature[index] && index < 3) {
            last = readByte();
            ++index;
        }
        if (last == signature[index]) {
            ++counter;
            if (previous > 0) {
                corvid::AtomicOutputFile segment(
                    prefix + corvid::PadLeftWith(std::to_string(counter), 4, '0') + ".tif");
                segment.CopyFrom(fd, previous, candidate - 1 - previous);
                segment.Commit();
                ++files;
                position = candidate + 1;
                ::lseek(fd, position, SEEK_SET);
            }
            previous = candidate - 1;
        }
    }
    ::close(fd);
    benchmark::DoNotOptimize(shown);
    return files;
}

void BM_CarveOneByteReads(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        ClearOutput();
        state.ResumeTiming();
        benchmark::DoNotOptimize(CarveByteReads(workspace->input.string(), workspace->prefixSize,
                                                workspace->output.string() + "/tiff"));
    }
    state.SetBytesProcessed(state.iterations() * workspace->prefixSize);
}

void Throughput(const benchmark::BenchmarkReporter::Run& run, std::int64_t bytes, double& wall,
                double& cpu) {
    if (wall != 0) return;
    const double total = static_cast<double>(bytes) * static_cast<double>(run.iterations) / 1e6;
    wall = run.real_accumulated_time > 0 ? total / run.real_accumulated_time : 0;
    cpu = run.cpu_accumulated_time > 0 ? total / run.cpu_accumulated_time : 0;
}

class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration) continue;
            if (run.benchmark_name().starts_with("BM_CarveBuffered"))
                Throughput(run, workspace->inputSize, fastMegabytesPerSecond,
                           fastCpuMegabytesPerSecond);
            if (run.benchmark_name().starts_with("BM_CarveOneByteReads"))
                Throughput(run, workspace->prefixSize, byteReadMegabytesPerSecond,
                           byteReadCpuMegabytesPerSecond);
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    Workspace space;
    space.inputSize = 1024 * kMiB;
    // Input and segments together need about twice the input size.
    const std::int64_t free = FreeBytes("/dev/shm");
    while (space.inputSize > 64 * kMiB && free < 2 * space.inputSize + 64 * kMiB)
        space.inputSize /= 2;
    if (space.inputSize != 1024 * kMiB)
        std::printf(
            "note: /dev/shm has %lld MiB free; using a %lld MiB input instead of 1024 MiB\n",
            static_cast<long long>(free / kMiB), static_cast<long long>(space.inputSize / kMiB));
    space.prefixSize = std::min<std::int64_t>(64 * kMiB, space.inputSize);

    char pattern[] = "/dev/shm/corvid-bench-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) {
        std::perror("mkdtemp /dev/shm");
        return 1;
    }
    space.root = pattern;
    space.input = space.root / "input.mdb";
    space.output = space.root / "out";
    workspace = &space;

    int status = 0;
    try {
        MakeInput(space.input, space.inputSize);
        benchmark::RegisterBenchmark("BM_CarveBuffered", BM_CarveBuffered)
            ->ArgName("buffer_KiB")
            ->Arg(static_cast<std::int64_t>(corvid::kCarveBufferSize / 1024))
            ->Arg(1024)
            ->Iterations(3)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::RegisterBenchmark("BM_CarveOneByteReads", BM_CarveOneByteReads)
            ->Iterations(1)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
        benchmark::Initialize(&argc, argv);
        Reporter reporter;
        benchmark::RunSpecifiedBenchmarks(&reporter);
        benchmark::Shutdown();

        struct rusage usage {};
        ::getrusage(RUSAGE_SELF, &usage);
        double load[1] = {0};
        ::getloadavg(load, 1);
        std::printf("\n                         wall clock     CPU time\n");
        std::printf(
            "buffered carve:        %8.0f MB/s  %8.0f MB/s   (%lld MiB, %lld files, %zu KiB "
            "buffer)\n",
            fastMegabytesPerSecond, fastCpuMegabytesPerSecond,
            static_cast<long long>(space.inputSize / kMiB), static_cast<long long>(fastFiles),
            corvid::kCarveBufferSize / 1024);
        std::printf("one-byte read() carve: %8.1f MB/s  %8.1f MB/s   (%lld MiB prefix)\n",
                    byteReadMegabytesPerSecond, byteReadCpuMegabytesPerSecond,
                    static_cast<long long>(space.prefixSize / kMiB));
        if (byteReadMegabytesPerSecond > 0 && byteReadCpuMegabytesPerSecond > 0)
            std::printf("ratio:                 %8.0fx      %8.0fx\n",
                        fastMegabytesPerSecond / byteReadMegabytesPerSecond,
                        fastCpuMegabytesPerSecond / byteReadCpuMegabytesPerSecond);
        std::printf("peak resident memory:  %8ld MiB\n", usage.ru_maxrss / 1024);
        std::printf("load average (1 min):  %8.2f on %ld CPUs\n", load[0],
                    ::sysconf(_SC_NPROCESSORS_ONLN));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench_raw_carving: %s\n", error.what());
        status = 1;
    }
    std::error_code ignored;
    fs::remove_all(space.root, ignored);
    return status;
}
