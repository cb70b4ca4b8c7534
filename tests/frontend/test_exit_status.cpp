// What a headless run prints last and the exit status a run ends with, for
// each way a run can end; the same statuses serve a batch run with the window.

#include <gtest/gtest.h>

#include <optional>

#include "frontend/exit_status.h"
#include "frontend/headless_program.h"

namespace corvid {
namespace {

RunReport Completed() {
  RunReport report;
  report.completed = true;
  report.recordsVisited = 4;
  report.recordsRead = 4;
  report.filesWritten = 3;
  report.emptyBlobs = 1;
  return report;
}

TEST(ExitStatus, EachWayARunEndsHasItsStatus) {
  RunReport failed = Completed();
  failed.completed = false;
  failed.failure = "Cannot create file";
  RunReport damaged = Completed();
  damaged.damaged = true;
  damaged.recordsRead = 3;
  damaged.recordsUnreadable = 2;
  // Damage noted although the run ended early is still a failure.
  RunReport failedOverDamage = damaged;
  failedOverDamage.completed = false;

  EXPECT_EQ(ExtractionExitStatus(std::nullopt), 1);  // the run never returned (no connection)
  EXPECT_EQ(ExtractionExitStatus(Completed()), 0);
  EXPECT_EQ(ExtractionExitStatus(failed), 1);
  EXPECT_EQ(ExtractionExitStatus(damaged), 3);
  EXPECT_EQ(ExtractionExitStatus(failedOverDamage), 1);
}

TEST(ExitStatus, TheSummaryCountsUnreadableRecordsOnlyAfterDamage) {
  const std::string plain =
      "records visited: 4, files written: 3, skipped as unknown: 0, empty blobs: 1, rejected by "
      "the filter: 0, "
      "paths written more than once: 0";
  EXPECT_EQ(RunSummary(Completed()), plain);
  RunReport damaged = Completed();
  damaged.damaged = true;
  damaged.recordsUnreadable = 2;
  EXPECT_EQ(RunSummary(damaged), plain + ", records unreadable: 2");
}

}  // namespace
}  // namespace corvid
