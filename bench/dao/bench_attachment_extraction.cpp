// The whole extraction run over an attachment field of a writer-made Access
// 2007 file, against zlib inflating the same stored values alone in the
// same program. By default 104 compressed attachments of 2 MiB and one of
// 24 MiB, four to a record: 232 MiB decoded.
//
//   bench_attachment_extraction [--mib M] [--dir D] [--repeat R] [--keep 1]
//   bench_attachment_extraction --run-child <database> <output directory/>
//
// --mib sets the total of the small attachments; the directory defaults to
// one under /dev/shm. The run and the writing of the file happen in child
// processes, so the peak resident memory printed is the run's alone; it is
// held against the largest attachment + 64 MiB. The best of R runs counts.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dao/dao_database.h"
#include "dao/run_ports.h"
#include "dao/table/dao_table.h"
#include "engine/extraction_run.h"
#include "jet/mdb_writer.h"
#include "jet/reader/complex_column.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

namespace w = corvid::jet;
namespace jet = corvid::jet::reader;

constexpr std::size_t kMiB = std::size_t{1} << 20;
constexpr std::size_t kSmall = 2 * kMiB;
constexpr std::size_t kLargest = 24 * kMiB;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

class QuietHost : public corvid::RunHost {
 public:
  QuietHost(std::string database, std::string outputDirectory) {
    inputs_.database = std::move(database);
    inputs_.table = "Scans";
    inputs_.blobField = "Files";
    inputs_.nameField1 = "id";
    inputs_.filterValue = "*";
    inputs_.outputDirectory = std::move(outputDirectory);
  }
  corvid::RunInputs Inputs() const override { return inputs_; }
  void AddLogLine(std::string_view) override {}
  void ShowStatus(std::string_view text, corvid::Colour) override { status = std::string(text); }
  void SetBusyCursor(bool) override {}
  void ProcessMessages() override {}
  std::string ProductName() const override { return "Corvid"; }
  std::string FileVersion() const override { return "bench"; }
  std::string status;

 private:
  corvid::RunInputs inputs_;
};

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
  if (!report.completed || report.damaged) {
    std::fprintf(stderr, "the run did not complete cleanly: %s %s\n", report.failure.c_str(),
                 host.status.c_str());
    return 2;
  }
  std::printf("%lld\n", static_cast<long long>(report.attachmentsWritten));
  return 0;
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

void WriteDatabase(const std::string& path, std::size_t smallCount) {
  w::WriterOptions options;
  options.format = w::JetFormat::Ace2007;
  w::MdbWriter writer(path, options);
  auto& table = writer.AddTable(
      {"Scans", {{"id", w::ColumnType::Long}, {"Files", w::ColumnType::Attachment}}});
  std::vector<std::byte> data;
  for (std::size_t i = 0; i <= smallCount; ++i) {
    const auto key = static_cast<std::int64_t>(i / 4 + 1);  // four files a record
    if (i % 4 == 0) table.AddRow({key, key});
    data.resize(i == smallCount ? kLargest : kSmall);
    Fill(data, static_cast<unsigned>(i));
    table.AddAttachment("Files", static_cast<std::int32_t>(key),
                        {"scan " + std::to_string(i) + ".txt", data, true, 6});
  }
  writer.Finish();
}

struct ChildResult {
  double seconds = 0;
  long maxRssKiB = 0;
  int status = -1;
};

template <class Child>
ChildResult InChild(Child child) {
  const auto start = Clock::now();
  const pid_t pid = fork();
  if (pid == 0) _exit(child());
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  return {Seconds(Clock::now() - start), usage.ru_maxrss,
          WIFEXITED(status) ? WEXITSTATUS(status) : -1};
}

ChildResult RunProcess(const std::vector<std::string>& argv) {
  return InChild([&] {
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    return 127;
  });
}

// zlib inflating every stored value alone: the values are read first, one
// at a time, outside the timing; only zlib's work is timed.
double ZlibAlone(const std::string& path, std::uint64_t& decoded, std::uint64_t& stored) {
  jet::Database db = jet::Database::Open(path);
  jet::Table table = db.OpenTable("Scans");
  jet::ComplexColumn column = jet::ComplexColumn::Open(db, table, "Files");
  jet::RowCursor rows = table.Rows();
  jet::Row row;
  std::vector<std::byte> buffer(kMiB);
  double seconds = 0;
  decoded = stored = 0;
  while (rows.Next(row))
    for (const jet::Attachment& a :
         column.Attachments(std::get<jet::ComplexKey>(row.values[1]).key)) {
      const std::vector<std::byte> value = column.FlatTable().LongValueBytes(a.fileData);
      stored += value.size();
      const auto start = Clock::now();
      z_stream z{};
      inflateInit(&z);
      z.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(value.data() + 8));
      z.avail_in = static_cast<uInt>(value.size() - 8);
      int rc = Z_OK;
      while (rc == Z_OK) {
        z.next_out = reinterpret_cast<Bytef*>(buffer.data());
        z.avail_out = static_cast<uInt>(buffer.size());
        rc = inflate(&z, Z_NO_FLUSH);
        decoded += buffer.size() - z.avail_out;
      }
      inflateEnd(&z);
      seconds += Seconds(Clock::now() - start);
      if (rc != Z_STREAM_END) {
        std::fprintf(stderr, "a stored value does not inflate\n");
        std::exit(1);
      }
    }
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::strcmp(argv[1], "--run-child") == 0) return RunChild(argv[2], argv[3]);

  std::size_t smallMiB = 208;
  int repeat = 3;
  bool keep = false;
  fs::path dir = "/dev/shm/corvid-bench-attachments-" + std::to_string(getpid());
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string key = argv[i];
    if (key == "--mib")
      smallMiB = std::strtoull(argv[i + 1], nullptr, 10);
    else if (key == "--dir")
      dir = argv[i + 1];
    else if (key == "--repeat")
      repeat = std::max(1, std::atoi(argv[i + 1]));
    else if (key == "--keep")
      keep = std::atoi(argv[i + 1]) != 0;
  }
  fs::create_directories(dir);
  const std::string database = (dir / "attachments.accdb").string();
  const fs::path out = dir / "run-out";
  const std::size_t smallCount = std::max<std::size_t>(1, smallMiB * kMiB / kSmall);

  const ChildResult written = InChild([&] {
    try {
      WriteDatabase(database, smallCount);
      return 0;
    } catch (const std::exception& e) {
      std::fprintf(stderr, "writing the database failed: %s\n", e.what());
      return 1;
    }
  });
  if (written.status != 0) return 1;
  std::printf("database: %s, %.1f MiB, %zu attachments\n", database.c_str(),
              static_cast<double>(fs::file_size(database)) / static_cast<double>(kMiB),
              smallCount + 1);

  const std::string self = fs::read_symlink("/proc/self/exe").string();
  double bestRun = 1e30, bestZlib = 1e30;
  long peakKiB = 0;
  std::uint64_t decoded = 0, stored = 0, outputBytes = 0;
  std::size_t outputs = 0;
  for (int r = 0; r < repeat; ++r) {
    fs::remove_all(out);
    fs::create_directories(out);
    const ChildResult run = RunProcess({self, "--run-child", database, out.string() + "/"});
    if (run.status != 0) {
      std::fprintf(stderr, "the extraction run failed (status %d)\n", run.status);
      if (!keep) fs::remove_all(dir);
      return 1;
    }
    bestRun = std::min(bestRun, run.seconds);
    peakKiB = std::max(peakKiB, run.maxRssKiB);
    outputs = 0;
    outputBytes = 0;
    for (const auto& entry : fs::directory_iterator(out)) {
      ++outputs;
      outputBytes += entry.file_size();
    }
    fs::remove_all(out);
    bestZlib = std::min(bestZlib, ZlibAlone(database, decoded, stored));
  }

  const double peakMiB = static_cast<double>(peakKiB) / 1024.0;
  const double boundMiB = static_cast<double>(kLargest + 64 * kMiB) / static_cast<double>(kMiB);
  std::printf("run wrote %zu files, %.1f MiB; zlib decoded %.1f MiB (stored: %.1f MiB)\n", outputs,
              static_cast<double>(outputBytes) / static_cast<double>(kMiB),
              static_cast<double>(decoded) / static_cast<double>(kMiB),
              static_cast<double>(stored) / static_cast<double>(kMiB));
  std::printf("extraction run (wall):        %.3f s\n", bestRun);
  std::printf("zlib inflating alone:         %.3f s\n", bestZlib);
  std::printf("ratio run / zlib:             %.2f\n", bestRun / bestZlib);
  std::printf(
      "peak RSS of the run:          %.1f MiB (largest attachment + 64 MiB = %.1f MiB): %s\n",
      peakMiB, boundMiB, peakMiB < boundMiB ? "below" : "ABOVE");
  if (keep)
    std::printf("kept %s\n", database.c_str());
  else
    fs::remove_all(dir);
  return outputBytes == decoded && peakMiB < boundMiB ? 0 : 1;
}
