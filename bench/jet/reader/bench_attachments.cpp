// Attached files decoded through the reader against zlib inflating the same
// stored values alone, in the same run, over a writer-made Access 2007 file
// (by default 104 compressed attachments of 2 MiB and one of 24 MiB: 232 MiB
// decoded; CORVID_BENCH_ATTACHMENT_MIB sets the total of the small ones).
// The file is written by a child process, so the peak memory this process
// reports is the reading's alone. The end of the run prints both times,
// their ratio (CPU time), and the peak memory against the largest attachment + 64 MiB.

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "jet/mdb_writer.h"
#include "jet/reader/complex_column.h"

namespace {

namespace w = corvid::jet;
namespace jet = corvid::jet::reader;

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kSmall = 2 * kMiB;
constexpr std::size_t kLargest = 24 * kMiB;

std::size_t SmallCount() {
  const char* mib = std::getenv("CORVID_BENCH_ATTACHMENT_MIB");
  const std::size_t total = mib && *mib ? std::strtoull(mib, nullptr, 10) : 208;
  return std::max<std::size_t>(1, total * kMiB / kSmall);
}

// Text-like bytes that compress about 3:1, different for every file.
void Fill(std::vector<std::byte>& data, unsigned seed) {
  std::uint32_t x = seed * 2654435761u + 7;
  for (std::size_t i = 0; i < data.size(); ++i) {
    x = x * 1103515245u + 12345u;
    const unsigned r = x >> 16;
    data[i] = static_cast<std::byte>(r % 5 == 0 ? ' ' : 'a' + (r % 23));
  }
}

void WriteDatabase(const std::string& path) {
  w::WriterOptions options;
  options.format = w::JetFormat::Ace2007;
  w::MdbWriter writer(path, options);
  auto& table = writer.AddTable(
      {"Scans", {{"id", w::ColumnType::Long}, {"Files", w::ColumnType::Attachment}}});
  std::vector<std::byte> data;
  const std::size_t count = SmallCount();
  for (std::size_t i = 0; i <= count; ++i) {
    const auto key = static_cast<std::int64_t>(i / 4 + 1);  // four files a record
    if (i % 4 == 0) table.AddRow({key, key});
    data.resize(i == count ? kLargest : kSmall);
    Fill(data, static_cast<unsigned>(i));
    table.AddAttachment("Files", static_cast<std::int32_t>(key),
                        {"scan " + std::to_string(i) + ".txt", data, true, 6});
  }
  writer.Finish();
}

const std::string& Database() {
  static const std::string path = [] {
    const char* dir = std::getenv("TMPDIR");
    const std::string p =
        (std::filesystem::path(dir && *dir ? dir : "/tmp") / "corvid-bench-attachments.accdb")
            .string();
    std::filesystem::remove(p);
    const pid_t child = fork();
    if (child == 0) {
      try {
        WriteDatabase(p);
        _exit(0);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "writing the database failed: %s\n", e.what());
        _exit(1);
      }
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0) {
      std::fprintf(stderr, "could not write %s\n", p.c_str());
      std::exit(1);
    }
    return p;
  }();
  return path;
}

// This thread's CPU time: the machine may be busy with other work, which
// wall-clock times would count.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

std::map<std::string, double> secondsPerRun;
std::uint64_t decodedBytes = 0, storedBytes = 0;
double peakMiB = 0;

// Every attachment of every record, in record order.
template <class Visit>
void ForEachAttachment(jet::Database& db, Visit visit) {
  jet::Table table = db.OpenTable("Scans");
  jet::ComplexColumn column = jet::ComplexColumn::Open(db, table, "Files");
  jet::RowCursor rows = table.Rows();
  jet::Row row;
  while (rows.Next(row))
    for (const jet::Attachment& a :
         column.Attachments(std::get<jet::ComplexKey>(row.values[1]).key))
      visit(column, a);
}

void BM_ReaderDecodesAttachments(benchmark::State& state) {
  const std::string& path = Database();
  std::vector<std::byte> buffer(kMiB);
  double seconds = 0;
  for (auto _ : state) {
    const double start = CpuSeconds();
    std::uint64_t bytes = 0;
    jet::Database db = jet::Database::Open(path);
    ForEachAttachment(db, [&](jet::ComplexColumn& column, const jet::Attachment& a) {
      jet::AttachmentDataReader file = column.OpenFile(a);
      for (std::size_t n = file.Read(buffer); n > 0; n = file.Read(buffer)) {
        benchmark::DoNotOptimize(buffer.data());
        bytes += n;
      }
    });
    seconds += CpuSeconds() - start;
    decodedBytes = bytes;
  }
  secondsPerRun["reader"] = seconds / static_cast<double>(state.iterations());
  // This benchmark runs first: the peak so far is the reading's own.
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
  state.SetBytesProcessed(static_cast<std::int64_t>(decodedBytes) * state.iterations());
}

// The stored values are read first (untimed), one at a time; only zlib's
// work on them is timed.
void BM_ZlibInflatesTheSameValues(benchmark::State& state) {
  const std::string& path = Database();
  std::vector<std::byte> buffer(kMiB);
  double seconds = 0;
  for (auto _ : state) {
    std::uint64_t stored = 0;
    jet::Database db = jet::Database::Open(path);
    ForEachAttachment(db, [&](jet::ComplexColumn& column, const jet::Attachment& a) {
      state.PauseTiming();
      const std::vector<std::byte> value = column.FlatTable().LongValueBytes(a.fileData);
      stored += value.size();
      state.ResumeTiming();
      const double start = CpuSeconds();
      z_stream z{};
      inflateInit(&z);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(value.data() + 8));
      z.avail_in = static_cast<uInt>(value.size() - 8);
      int rc = Z_OK;
      while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer.data());
        z.avail_out = static_cast<uInt>(buffer.size());
        rc = inflate(&z, Z_NO_FLUSH);
        benchmark::DoNotOptimize(buffer.data());
      }
      inflateEnd(&z);
      if (rc != Z_STREAM_END) state.SkipWithError("a stored value does not inflate");
      seconds += CpuSeconds() - start;
    });
    storedBytes = stored;
  }
  secondsPerRun["zlib alone"] = seconds / static_cast<double>(state.iterations());
  state.SetBytesProcessed(static_cast<std::int64_t>(decodedBytes) * state.iterations());
}

BENCHMARK(BM_ReaderDecodesAttachments)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ZlibInflatesTheSameValues)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  Database();  // written before any timing
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  const double reader = secondsPerRun["reader"], zlib = secondsPerRun["zlib alone"];
  const double boundMiB = static_cast<double>(kLargest + 64 * kMiB) / static_cast<double>(kMiB);
  std::printf("\nattachments decoded: %.1f MiB from %.1f MiB stored\n",
              static_cast<double>(decodedBytes) / static_cast<double>(kMiB),
              static_cast<double>(storedBytes) / static_cast<double>(kMiB));
  std::printf(
      "CPU time per run: reader %.3f s, zlib inflating the same values alone %.3f s, reader/zlib: "
      "%.2f\n",
      reader, zlib, zlib > 0 ? reader / zlib : 0.0);
  std::printf("peak memory while reading: %.1f MiB (largest attachment + 64 MiB = %.1f MiB): %s\n",
              peakMiB, boundMiB, peakMiB < boundMiB ? "below" : "ABOVE");
  return 0;
}
