// damage-probe: runs `corvid --headless` over damaged copies of Access files
// and counts what goes wrong. Each copy gets one seeded mutation (see
// mutations.h); each run is watched (time limit, memory limit, standard
// error size) and classified:
//   crash        ended by a signal
//   hang         still running at the time limit
//   stderr flood more than --stderr-limit bytes on standard error
//   db changed   the copy's bytes differ after the run
//   silent loss  exit 0 ("ok") with fewer records visited than the
//                undamaged file gives
// and, when none of these, by its exit status: ok (0, all records), failed
// (1), damage reported (3), or another status. Prints a table of counts and
// the reproducer of every bad run; exits 1 when there was one (unless
// --report-only), 2 when the probe itself cannot work.
//
//   damage-probe --corvid build/frontend/corvid --fixtures tests/fixtures/mdb \
//                --mutations 300 --seed 1
//   damage-probe ... --only nwind.mdb:1234567 --keep   (one reproducer)

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/damage_probe/child_run.h"
#include "tools/damage_probe/mutations.h"
#include "tools/damage_probe/run_classes.h"
#include "tools/damage_probe/seed_databases.h"

namespace fs = std::filesystem;
using namespace corvid::damage_probe;

namespace {

struct Options {
  std::string corvid;
  std::string fixtures;
  std::string work;
  int mutations = 100;
  std::uint64_t seed = 1;
  ChildLimits limits;
  std::int64_t stderrLimit = 4096;
  std::optional<std::pair<std::string, std::uint64_t>> only;
  bool keep = false;
  bool reportOnly = false;
};

[[noreturn]] void Usage(const std::string& problem) {
  std::fprintf(
      stderr,
      "damage-probe: %s\n"
      "usage: damage-probe --corvid PATH [--fixtures DIR] [--work DIR] [--mutations N] [--seed S]\n"
      "                    [--timeout SECONDS] [--stderr-limit BYTES] [--only NAME:SEED] [--keep]\n"
      "                    [--report-only]\n",
      problem.c_str());
  std::exit(2);
}

Options ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--corvid")
      options.corvid = value();
    else if (arg == "--fixtures")
      options.fixtures = value();
    else if (arg == "--work")
      options.work = value();
    else if (arg == "--mutations")
      options.mutations = std::stoi(value());
    else if (arg == "--seed")
      options.seed = std::stoull(value());
    else if (arg == "--timeout")
      options.limits.seconds = std::stoi(value());
    else if (arg == "--stderr-limit")
      options.stderrLimit = std::stoll(value());
    else if (arg == "--keep")
      options.keep = true;
    else if (arg == "--report-only")
      options.reportOnly = true;
    else if (arg == "--only") {
      const std::string text = value();
      const std::size_t colon = text.rfind(':');
      if (colon == std::string::npos) Usage("--only wants NAME:SEED");
      options.only = std::make_pair(text.substr(0, colon), std::stoull(text.substr(colon + 1)));
    } else {
      Usage("unknown argument " + arg);
    }
  }
  if (options.corvid.empty()) Usage("--corvid is required");
  options.corvid = fs::absolute(options.corvid).string();
  return options;
}

std::vector<std::byte> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  std::memcpy(bytes.data(), chars.data(), chars.size());
  return bytes;
}

void WriteBytes(const std::string& path, const std::vector<std::byte>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

struct Probe {
  const Options& options;
  std::string configDir;

  ChildResult RunCorvid(const SeedDatabase& seed, const std::string& database,
                        const std::string& outDir) const {
    fs::remove_all(outDir);
    fs::create_directories(outDir);
    const std::vector<std::string> argv = {options.corvid,
                                           "--headless",
                                           "/t=" + seed.table,
                                           "/fi=" + seed.blobField,
                                           "/fn=" + seed.nameField,
                                           "/fn2=",
                                           "/ff=",
                                           "/fv=*",
                                           "/d=" + outDir + "/",
                                           database};
    return RunChild(argv,
                    {"XDG_CONFIG_HOME=" + configDir, "LC_ALL=C.UTF-8", "QT_QPA_PLATFORM=offscreen"},
                    options.limits);
  }
};

std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  if (line.size() > 160) line = line.substr(0, 160) + "...";
  return line;
}

}  // namespace

int main(int argc, char** argv) {
  const Options options = ParseOptions(argc, argv);
  try {
    std::string work = options.work;
    if (work.empty()) {
      std::string pattern = (fs::temp_directory_path() / "damage-probe-XXXXXX").string();
      if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot make a work directory");
      work = pattern;
    }
    fs::create_directories(work);
    Probe probe{options, (fs::path(work) / "config").string()};
    fs::create_directories(probe.configDir);

    std::vector<SeedDatabase> seeds;
    if (!options.fixtures.empty()) seeds = FixtureSeeds(options.fixtures);
    for (SeedDatabase& seed : WriterSeeds(work)) seeds.push_back(seed);
    if (options.only) {
      std::erase_if(seeds, [&](const SeedDatabase& s) { return s.name != options.only->first; });
      if (seeds.empty()) Usage("no seed database named " + options.only->first);
    }

    // The undamaged runs: what every damaged one is measured against.
    std::map<std::string, std::int64_t> baseline;
    for (const SeedDatabase& seed : seeds) {
      const std::string copy = (fs::path(work) / ("baseline-" + seed.name)).string();
      WriteBytes(copy, ReadBytes(seed.path));
      const ChildResult run = probe.RunCorvid(seed, copy, (fs::path(work) / "out").string());
      const std::int64_t visited = VisitedCount(run.stdoutTail, seed.table);
      if (run.exitStatus != 0 || visited < 0) {
        std::fprintf(
            stderr, "damage-probe: the undamaged %s does not run (exit %d, signal %d): %s\n",
            seed.name.c_str(), run.exitStatus, run.signal, FirstLine(run.stderrHead).c_str());
        return 2;
      }
      baseline[seed.name] = visited;
      std::printf("seed %-18s %-14s %-22s %4lld records, %.2f s\n", seed.name.c_str(),
                  seed.table.c_str(), seed.blobField.c_str(), static_cast<long long>(visited),
                  run.seconds);
      fs::remove(copy);
    }

    std::map<std::string, std::map<std::string, int>> counts;  // seed -> class -> runs
    std::vector<std::string> badRuns;
    const int total = options.only ? 1 : options.mutations;
    for (int i = 0; i < total; ++i) {
      const SeedDatabase& seed = seeds[static_cast<std::size_t>(i) % seeds.size()];
      const std::uint64_t mutationSeed =
          options.only ? options.only->second
                       : options.seed * 1000003ULL + static_cast<std::uint64_t>(i);
      std::vector<std::byte> image = ReadBytes(seed.path);
      const std::string mutation = Mutate(image, mutationSeed);
      const fs::path runDir = fs::path(work) / (seed.name + "-" + std::to_string(mutationSeed));
      fs::create_directories(runDir);
      const std::string copy = (runDir / seed.name).string();
      WriteBytes(copy, image);

      const ChildResult run = probe.RunCorvid(seed, copy, (runDir / "out").string());
      const bool changed = ReadBytes(copy) != image;
      const std::int64_t visited = VisitedCount(run.stdoutTail, seed.table);
      const std::string kind =
          Classify(run, changed, visited, baseline[seed.name], options.stderrLimit);
      ++counts[seed.name][kind];
      const bool bad = IsBad(kind);
      if (bad || options.only) {
        char line[1024];
        std::snprintf(
            line, sizeof line,
            "%-12s --only %s:%llu  (%s) exit %d signal %d, %lld records of %lld, stderr %lld "
            "bytes%s%s",
            kind.c_str(), seed.name.c_str(), static_cast<unsigned long long>(mutationSeed),
            mutation.c_str(), run.exitStatus, run.signal, static_cast<long long>(visited),
            static_cast<long long>(baseline[seed.name]), static_cast<long long>(run.stderrBytes),
            run.stderrHead.empty() ? "" : ": ", FirstLine(run.stderrHead).c_str());
        if (bad)
          badRuns.push_back(line);
        else
          std::printf("%s\n", line);
      }
      if (!(options.keep && (bad || options.only))) fs::remove_all(runDir);
    }

    std::printf("\n%-18s", "seed");
    for (const char* column : kColumns) std::printf(" %7s", column);
    std::printf("\n");
    std::map<std::string, int> sums;
    for (const SeedDatabase& seed : seeds) {
      std::printf("%-18s", seed.name.c_str());
      for (const char* kind : kClasses) {
        std::printf(" %7d", counts[seed.name][kind]);
        sums[kind] += counts[seed.name][kind];
      }
      std::printf("\n");
    }
    std::printf("%-18s", "total");
    for (const char* kind : kClasses) std::printf(" %7d", sums[kind]);
    std::printf("\n");
    if (!badRuns.empty()) {
      std::printf("\nbad runs (%zu):\n", badRuns.size());
      for (const std::string& line : badRuns) std::printf("%s\n", line.c_str());
    }
    if (options.work.empty() && !options.keep) fs::remove_all(work);
    return badRuns.empty() || options.reportOnly ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "damage-probe: %s\n", error.what());
    return 2;
  }
}
