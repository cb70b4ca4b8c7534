// The whole extraction run on a generated database of wrapped JPEGs, against
// the floor of reading the database file once and writing the same output
// bytes with one write per file, and against `mdb-export -b raw` of the same
// table. Prints the ratios and the run's peak resident memory.
//
// Times are wall-clock times (the best of the repeats) and, beside them, the
// processor time (user + system) of the same measurement: on a machine that
// others share, the processor time is what stays comparable. The run is a
// process of its own; the time a process takes to start and end (measured
// with a child that does nothing) is shown, and is part of the run's time
// but not of the floor's.
//
//   bench_extraction [--records N] [--mib M] [--dir D] [--repeat R] [--keep 1]
//   bench_extraction --run-child <database> <output directory/>   (one run, for profiling)
//   bench_extraction --noop-child                                 (starts and ends)
//
// Defaults: 20000 records, 1024 MiB, a directory under /dev/shm, 3 repeats
// (the best time of each measurement counts). Everything generated is
// deleted at the end.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "dao/dao_database.h"
#include "dao/table/dao_table.h"
#include "dao/run_ports.h"
#include "engine/extraction_run.h"
#include "jet/mdb_writer.h"
#include "tools/oledocs/ole_wrappers.h"
#include "tools/oledocs/sample_documents.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class QuietHost : public corvid::RunHost {
 public:
  QuietHost(std::string database, std::string outputDirectory) {
    inputs_.database = std::move(database);
    inputs_.table = "Photos";
    inputs_.blobField = "img";
    inputs_.nameField1 = "id";
    inputs_.filterValue = "*";
    inputs_.outputDirectory = std::move(outputDirectory);
  }
  corvid::RunInputs Inputs() const override { return inputs_; }
  void AddLogLine(std::string_view) override { ++lines; }
  void ShowStatus(std::string_view text, corvid::Colour) override { status = std::string(text); }
  void SetBusyCursor(bool) override {}
  void ProcessMessages() override {}
  std::string ProductName() const override { return "Corvid"; }
  std::string FileVersion() const override { return "bench"; }
  long lines = 0;
  std::string status;

 private:
  corvid::RunInputs inputs_;
};

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Child mode: one extraction run, nothing else in the process.
int RunChild(const std::string& database, const std::string& outputDirectory) {
  QuietHost host(database, outputDirectory);
  corvid::TVxDaoDatabase db;
  corvid::TVxDaoTable table;
  table.F_Set_Database(&db);
  table.F_Set_TableType(2);
  table.F_Set_LockType(3);
  table.F_Set_ReadOnly(true);
  corvid::DaoDatabaseConnection connection(db);
  corvid::DaoRecordTable records(table);
  const corvid::RunReport report = corvid::RunExtraction(host, connection, records);
  if (!report.completed) {
    std::fprintf(stderr, "run ended early: %s\n", report.failure.c_str());
    return 2;
  }
  std::printf("%lld\n", static_cast<long long>(report.filesWritten));
  return 0;
}

double CpuSeconds(const rusage& usage) {
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Processor time of this process so far.
double OwnCpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return CpuSeconds(usage);
}

struct ChildResult {
  double seconds = 0;
  double cpuSeconds = 0;  // user + system
  long maxRssKiB = 0;
  int status = -1;
};

// A wall-clock time and the processor time of the same measurement.
struct Timing {
  double seconds = 0;
  double cpuSeconds = 0;
};

void KeepBest(Timing& best, double seconds, double cpuSeconds) {
  best.seconds = std::min(best.seconds, seconds);
  best.cpuSeconds = std::min(best.cpuSeconds, cpuSeconds);
}

ChildResult RunProcess(const std::vector<std::string>& argv, const char* stdoutPath = nullptr) {
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (stdoutPath) {
      const int fd = open(stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(fd, 1);
      close(fd);
    }
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  ChildResult result;
  result.seconds = Seconds(Clock::now() - start);
  result.cpuSeconds = CpuSeconds(usage);
  result.maxRssKiB = usage.ru_maxrss;
  result.status = status;
  return result;
}

void ReadWhole(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  std::vector<char> chunk(1 << 20);
  while (read(fd, chunk.data(), chunk.size()) > 0) {
  }
  close(fd);
}

// The floor: the database read once, the outputs written with one write each.
// `asTheRunDoes`: each output written the way the run writes a new file, an
// unnamed file in the target directory linked under its final name when
// complete.
Timing Floor(const std::string& database, const std::vector<std::uintmax_t>& sizes,
             const fs::path& dir, bool asTheRunDoes) {
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::uintmax_t largest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
  std::vector<char> bytes(largest, 'x');
  const auto start = Clock::now();
  const double startCpu = OwnCpuSeconds();
  ReadWhole(database);
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    const std::string path = (dir / (std::to_string(i + 1) + ".jpg")).string();
    const int fd = asTheRunDoes ? open(dir.c_str(), O_TMPFILE | O_WRONLY, 0644)
                                : open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (write(fd, bytes.data(), sizes[i]) != static_cast<ssize_t>(sizes[i])) std::perror("write");
    if (asTheRunDoes) {
      const std::string proc = "/proc/self/fd/" + std::to_string(fd);
      if (linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0)
        std::perror("linkat");
    }
    close(fd);
  }
  return {Seconds(Clock::now() - start), OwnCpuSeconds() - startCpu};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--run-child") == 0) return RunChild(argv[2], argv[3]);
  if (argc == 2 && std::strcmp(argv[1], "--noop-child") == 0) return 0;

  long records = 20000;
  long mib = 1024;
  int repeat = 3;
  bool keep = false;
  fs::path dir = "/dev/shm/corvid-bench-" + std::to_string(getpid());
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
    else if (key == "--keep")
      keep = std::atoi(argv[i + 1]) != 0;
  }
  fs::create_directories(dir);
  const std::string database = (dir / "bench.mdb").string();
  const fs::path outRun = dir / "run-out";
  const fs::path outFloor = dir / "floor-out";

  // --- generate
  const auto jpeg =
      corvid::oledocs::MakeSampleDocument(corvid::oledocs::DocumentFormat::JpegJfif, {64, 48});
  const std::size_t average =
      static_cast<std::size_t>(mib) * 1024 * 1024 / static_cast<std::size_t>(records);
  std::mt19937 random(12345);
  std::size_t largestBlob = 0;
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
      largestBlob = std::max(largestBlob, value.size());
      table.AddRow({std::int64_t{id}, corvid::jet::ByteView{value}});
    }
    writer.Finish();
  }
  const auto databaseSize = fs::file_size(database);
  std::printf("database: %s, %.1f MiB, %ld records, largest blob %zu bytes\n", database.c_str(),
              static_cast<double>(databaseSize) / (1 << 20), records, largestBlob);

  // --- warm the page cache, and one run to learn the output sizes
  ReadWhole(database);
  const std::string self = fs::read_symlink("/proc/self/exe").string();
  auto runOnce = [&] {
    fs::remove_all(outRun);
    fs::create_directories(outRun);
    return RunProcess({self, "--run-child", database, outRun.string() + "/"}, "/dev/null");
  };
  ChildResult warm = runOnce();
  if (warm.status != 0) {
    std::fprintf(stderr, "extraction run failed (status %d)\n", warm.status);
    fs::remove_all(dir);
    return 1;
  }
  std::vector<std::uintmax_t> sizes;
  std::uintmax_t outputBytes = 0;
  for (const auto& entry : fs::directory_iterator(outRun)) {
    sizes.push_back(entry.file_size());
    outputBytes += entry.file_size();
  }
  std::printf("outputs: %zu files, %.1f MiB\n", sizes.size(),
              static_cast<double>(outputBytes) / (1 << 20));

  Timing bestRun{1e30, 1e30}, bestFloor{1e30, 1e30}, bestAtomic{1e30, 1e30}, bestStart{1e30, 1e30};
  double bestExport = 1e30;
  long peakRss = warm.maxRssKiB;
  for (int r = 0; r < repeat; ++r) {
    const ChildResult run = runOnce();
    KeepBest(bestRun, run.seconds, run.cpuSeconds);
    peakRss = std::max(peakRss, run.maxRssKiB);
    const ChildResult start = RunProcess({self, "--noop-child"});
    KeepBest(bestStart, start.seconds, start.cpuSeconds);
    const Timing floor = Floor(database, sizes, outFloor, false);
    KeepBest(bestFloor, floor.seconds, floor.cpuSeconds);
    fs::remove_all(outFloor);
    const Timing atomic = Floor(database, sizes, outFloor, true);
    KeepBest(bestAtomic, atomic.seconds, atomic.cpuSeconds);
    fs::remove_all(outFloor);
    const ChildResult exported =
        RunProcess({"mdb-export", "-b", "raw", database, "Photos"}, "/dev/null");
    if (exported.status == 0) bestExport = std::min(bestExport, exported.seconds);
  }

  std::printf("                           wall       processor (user + system)\n");
  std::printf("extraction run:            %.3f s    %.3f s\n", bestRun.seconds, bestRun.cpuSeconds);
  std::printf("  of which process start:  %.3f s    %.3f s\n", bestStart.seconds,
              bestStart.cpuSeconds);
  std::printf("floor (read db + writes):  %.3f s    %.3f s\n", bestFloor.seconds,
              bestFloor.cpuSeconds);
  std::printf("ratio run / floor:         %.2f       %.2f   (bar: <= 1.5)\n",
              bestRun.seconds / bestFloor.seconds, bestRun.cpuSeconds / bestFloor.cpuSeconds);
  std::printf(
      "floor, atomic writes:      %.3f s    %.3f s (unnamed file linked in place per output)\n",
      bestAtomic.seconds, bestAtomic.cpuSeconds);
  std::printf("ratio run / atomic floor:  %.2f       %.2f\n", bestRun.seconds / bestAtomic.seconds,
              bestRun.cpuSeconds / bestAtomic.cpuSeconds);
  if (bestExport < 1e30) {
    std::printf("mdb-export -b raw:         %.3f s\n", bestExport);
    std::printf("ratio run / mdb-export:    %.2f\n", bestRun.seconds / bestExport);
  } else {
    std::printf("mdb-export -b raw:         not available\n");
  }
  std::printf("peak RSS of the run:       %.1f MiB (largest blob %.2f MiB)\n", peakRss / 1024.0,
              static_cast<double>(largestBlob) / (1 << 20));
  if (keep)
    std::printf("kept %s\n", database.c_str());
  else
    fs::remove_all(dir);
  return 0;
}
