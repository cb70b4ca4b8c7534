// The extraction run with --unwrap --manifest against the default run, both
// in this process on the same generated database of packaged JPEGs (the
// values bench_extraction uses). Unwrapping reads each value's structure and
// the manifest hashes every written byte with SHA-256; the ratio shows what
// that costs next to the copy.
//
//   bench_extraction_unwrap [--records N] [--mib M] [--dir D] [--repeat R]
//
// Defaults: 20000 records, 1024 MiB, a directory under /dev/shm, 3 repeats
// (the best time of each mode counts). Everything generated is deleted.
// Besides the wall times it prints the CPU time of the thread that runs the
// extraction (the digests are taken on a thread of their own): on a machine
// whose cores are busy with other work that tells more than the wall time.

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/run_ports.h"
#include "engine/extraction_run.h"
#include "engine/sha256.h"
#include "jet/mdb_writer.h"
#include "tools/oledocs/ole_wrappers.h"
#include "tools/oledocs/sample_documents.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class QuietHost : public corvid::RunHost {
 public:
  explicit QuietHost(corvid::RunInputs inputs) : inputs_(std::move(inputs)) {}
  corvid::RunInputs Inputs() const override { return inputs_; }
  void AddLogLine(std::string_view) override {}
  void ShowStatus(std::string_view, corvid::Colour) override {}
  void SetBusyCursor(bool) override {}
  void ProcessMessages() override {}
  std::string ProductName() const override { return "Corvid"; }
  std::string FileVersion() const override { return "bench"; }

 private:
  corvid::RunInputs inputs_;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// User and system CPU time of the calling thread.
double ThreadCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One run into a fresh directory; returns its time. `cpu` gets the CPU time
// of this thread during the run.
double TimedRun(const corvid::RunInputs& inputs, corvid::RunReport& report, double& cpu) {
  fs::remove_all(inputs.outputDirectory);
  fs::create_directories(inputs.outputDirectory);
  QuietHost host(inputs);
  corvid::TVxDaoDatabase db;
  corvid::TVxDaoTable table;
  table.F_Set_Database(&db);
  table.F_Set_TableType(2);
  table.F_Set_LockType(3);
  table.F_Set_ReadOnly(true);
  corvid::DaoDatabaseConnection connection(db);
  corvid::DaoRecordTable records(table);
  const double cpuStart = ThreadCpuSeconds();
  const auto start = Clock::now();
  report = corvid::RunExtraction(host, connection, records);
  const double wall = Seconds(Clock::now() - start);
  cpu = ThreadCpuSeconds() - cpuStart;
  return wall;
}

}  // namespace

int main(int argc, char** argv) {
  long records = 20000;
  long mib = 1024;
  int repeat = 3;
  fs::path dir = "/dev/shm/corvid-bench-unwrap-" + std::to_string(getpid());
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--records")
      records = std::atol(argv[i + 1]);
    else if (key == "--mib")
      mib = std::atol(argv[i + 1]);
    else if (key == "--dir")
      dir = argv[i + 1];
    else if (key == "--repeat")
      repeat = std::atoi(argv[i + 1]);
  }
  fs::create_directories(dir);
  const std::string database = (dir / "bench.mdb").string();

  const auto generateStart = Clock::now();
  const auto jpeg =
      corvid::oledocs::MakeSampleDocument(corvid::oledocs::DocumentFormat::JpegJfif, {64, 48});
  const std::size_t average =
      static_cast<std::size_t>(mib) * 1024 * 1024 / static_cast<std::size_t>(records);
  std::mt19937 random(12345);
  {
    corvid::jet::MdbWriter writer(database);
    auto& table = writer.AddTable(
        {"Photos",
         {{"id", corvid::jet::ColumnType::Long}, {"img", corvid::jet::ColumnType::OleObject}}});
    std::vector<std::byte> payload;
    for (long id = 1; id <= records; ++id) {
      const std::size_t target = average * (75 + random() % 51) / 100;  // 75% .. 125% of the mean
      payload.assign(jpeg.begin(), jpeg.end());
      while (payload.size() < target) payload.push_back(static_cast<std::byte>(random()));
      const auto value =
          corvid::oledocs::WrapPackage("photo.jpg", "C:\\photos\\photo.jpg", payload);
      table.AddRow({std::int64_t{id}, corvid::jet::ByteView{value}});
    }
    writer.Finish();
  }
  std::printf("database: %s, %.1f MiB, %ld records (made in %.1f s)\n", database.c_str(),
              static_cast<double>(fs::file_size(database)) / (1 << 20), records,
              Seconds(Clock::now() - generateStart));

  corvid::RunInputs plain;
  plain.database = database;
  plain.table = "Photos";
  plain.blobField = "img";
  plain.nameField1 = "id";
  plain.filterValue = "*";
  plain.outputDirectory = (dir / "out").string() + "/";
  corvid::RunInputs unwrapOnly = plain;
  unwrapOnly.unwrap = true;
  corvid::RunInputs unwrapping = unwrapOnly;
  unwrapping.manifestPath = (dir / "manifest.csv").string();

  corvid::RunReport report;
  double cpu = 0;
  TimedRun(plain, report, cpu);  // warms the page cache
  double bestPlain = 1e30, bestUnwrap = 1e30, bestUnwrapOnly = 1e30;
  double cpuPlain = 1e30, cpuUnwrap = 1e30;
  std::int64_t bytes = 0;
  for (int r = 0; r < repeat; ++r) {
    bestPlain = std::min(bestPlain, TimedRun(plain, report, cpu));
    cpuPlain = std::min(cpuPlain, cpu);
    if (!report.completed) {
      std::fprintf(stderr, "default run ended early: %s\n", report.failure.c_str());
      return 1;
    }
    bestUnwrap = std::min(bestUnwrap, TimedRun(unwrapping, report, cpu));
    cpuUnwrap = std::min(cpuUnwrap, cpu);
    if (!report.completed) {
      std::fprintf(stderr, "unwrapping run ended early: %s\n", report.failure.c_str());
      return 1;
    }
    bytes = report.bytesWritten;
    bestUnwrapOnly = std::min(bestUnwrapOnly, TimedRun(unwrapOnly, report, cpu));
  }

  // SHA-256 alone over as many bytes, for scale.
  std::vector<std::byte> block(1 << 20, std::byte{0x5A});
  const auto hashStart = Clock::now();
  corvid::Sha256 hash;
  for (std::int64_t done = 0; done < bytes; done += static_cast<std::int64_t>(block.size()))
    hash.Update(block);
  (void)hash.HexDigest();
  const double hashSeconds = Seconds(Clock::now() - hashStart);

  std::printf("outputs: %lld files, %.1f MiB\n", static_cast<long long>(report.filesWritten),
              static_cast<double>(bytes) / (1 << 20));
  std::printf("default run:                    %.3f s\n", bestPlain);
  std::printf("--unwrap run (no manifest):     %.3f s\n", bestUnwrapOnly);
  std::printf("--unwrap --manifest run:        %.3f s\n", bestUnwrap);
  std::printf("ratio unwrap+manifest / default: %.2f   (bar: <= 1.5)\n", bestUnwrap / bestPlain);
  std::printf("SHA-256 alone over the outputs: %.3f s\n", hashSeconds);
  std::printf("CPU of the run's thread: default %.3f s, --unwrap --manifest %.3f s, ratio %.2f\n",
              cpuPlain, cpuUnwrap, cpuUnwrap / cpuPlain);
  fs::remove_all(dir);
  return 0;
}
