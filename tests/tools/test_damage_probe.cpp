// The damage probe's own parts: the watch over one run (a signal, the time
// limit, a flood on standard error, exit statuses), how a run is judged,
// and the seeded damage done to a writer-made file.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tools/damage_probe/child_run.h"
#include "tools/damage_probe/mutations.h"
#include "tools/damage_probe/run_classes.h"
#include "tools/damage_probe/seed_databases.h"

namespace corvid::damage_probe {
namespace {

namespace fs = std::filesystem;

ChildResult Shell(const std::string& script, int seconds = 20) {
  ChildLimits limits;
  limits.seconds = seconds;
  limits.keptOutput = 1024;
  limits.stderrKill = 256 * 1024;
  return RunChild({"/bin/sh", "-c", script}, {"PROBE_TEST=1"}, limits);
}

TEST(DamageProbeWatch, EachWayARunEndsIsJudgedAsSuch) {
  struct Case {
    std::string script;
    std::string judged;  // with a baseline of 5 records
  };
  const std::vector<Case> cases = {
      {"echo '10:00:00 - T (5)'", "ok"},
      {"echo '10:00:00 - T (4)'", "silent loss"},
      {"echo 'no closing line'", "silent loss"},
      {"echo '10:00:00 - T (4)'; exit 3", "damage reported"},
      {"exit 1", "failed"},
      {"exit 7", "other exit"},
      {"kill -SEGV $$", "crash"},
      {"head -c 5000 /dev/zero >&2", "stderr flood"},
      {"[ \"$PROBE_TEST\" = 1 ] && echo '10:00:00 - T (5)'",
       "ok"},  // the environment reaches the run
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const ChildResult run = Shell(c.script);
    EXPECT_EQ(Classify(run, false, VisitedCount(run.stdoutTail, "T"), 5, 4096), c.judged);
  }
  // A changed database outweighs the exit status.
  EXPECT_EQ(Classify(Shell("echo '10:00:00 - T (5)'"), true, 5, 5, 4096), "db changed");
}

TEST(DamageProbeWatch, AHangAndAnEndlessFloodAreStopped) {
  const ChildResult hang = Shell("sleep 60", 1);
  EXPECT_TRUE(hang.timedOut);
  EXPECT_EQ(hang.signal, 0);  // our own kill is no crash
  EXPECT_EQ(Classify(hang, false, -1, 5, 4096), "hang");

  const ChildResult flood = Shell("yes 'mdb warning' >&2");
  EXPECT_TRUE(flood.floodStopped);
  EXPECT_FALSE(flood.timedOut);
  EXPECT_GT(flood.stderrBytes, 256 * 1024);
  EXPECT_EQ(flood.stderrHead.size(), 1024u);  // only the first bytes are kept
  EXPECT_EQ(Classify(flood, false, -1, 5, 4096), "stderr flood");
}

TEST(DamageProbeJudging, TheClosingLineGivesTheRecordsVisited) {
  EXPECT_EQ(VisitedCount("10:00:00 - Blobs (9)\n", "Blobs"), 9);
  EXPECT_EQ(VisitedCount("/out/a - Blobs (2).jpg\n10:00:00 - Blobs (0)", "Blobs"), 0);
  EXPECT_EQ(VisitedCount("/out/a - Blobs (2).jpg\n", "Blobs"), -1);
  EXPECT_EQ(VisitedCount("10:00:00 - Other (9)\n", "Blobs"), -1);
  EXPECT_EQ(VisitedCount("10:00:00 - Blobs (x)\n", "Blobs"), -1);
  EXPECT_EQ(VisitedCount("", "Blobs"), -1);
}

std::vector<std::byte> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<char> chars((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::byte> bytes(chars.size());
  for (std::size_t i = 0; i < chars.size(); ++i) bytes[i] = static_cast<std::byte>(chars[i]);
  return bytes;
}

TEST(DamageProbeMutations, SeededDamageIsRepeatableVariedAndSparesTheHeader) {
  const fs::path dir =
      fs::temp_directory_path() / ("damage-probe-test-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::vector<SeedDatabase> seeds = WriterSeeds(dir.string());
  ASSERT_EQ(seeds.size(), 2u);
  for (const SeedDatabase& seed : seeds) {
    SCOPED_TRACE(seed.name);
    const std::vector<std::byte> original = ReadBytes(seed.path);
    const std::size_t pageSize = PageSizeOf(original);
    EXPECT_EQ(pageSize, seed.name.find("jet3") != std::string::npos ? 2048u : 4096u);
    ASSERT_EQ(original.size() % pageSize, 0u);
    std::set<std::string> kinds;
    for (std::uint64_t s = 0; s < 300; ++s) {
      std::vector<std::byte> image = original;
      const std::string description = Mutate(image, s);
      std::vector<std::byte> again = original;
      EXPECT_EQ(Mutate(again, s), description);
      EXPECT_EQ(again, image) << description;
      EXPECT_NE(image, original) << description;
      ASSERT_GE(image.size(), pageSize) << description;
      EXPECT_TRUE(std::equal(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(pageSize),
                             original.begin()))
          << "the header page changed: " << description;
      kinds.insert(description.substr(0, description.find(" page")));
    }
    // Every kind of damage, and the byte changes found catalog and
    // definition pages to change.
    EXPECT_EQ(kinds, (std::set<std::string>{"flip", "zero", "copy", "cut at", "cut inside",
                                            "catalog", "table definition"}));
  }
  fs::remove_all(dir);
}

}  // namespace
}  // namespace corvid::damage_probe
