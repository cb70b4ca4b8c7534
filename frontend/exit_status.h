#pragma once
// The process exit status after an extraction run, the same for a headless
// run and a batch run with the window.

#include <optional>

#include "engine/run_report.h"

namespace corvid {

inline constexpr int kExitCompleted = 0;
inline constexpr int kExitFailed = 1;      // no connection, or the run ended early
inline constexpr int kExitNoDatabase = 2;  // no existing database named (or --open)
inline constexpr int kExitDamaged = 3;     // completed, but records were missing or damaged

// kExitFailed without a report (the run did not return) or when it did not
// complete; kExitDamaged when it completed over damage; else kExitCompleted.
inline int ExtractionExitStatus(const std::optional<RunReport>& report) {
  if (!report || !report->completed) return kExitFailed;
  return report->damaged ? kExitDamaged : kExitCompleted;
}

}  // namespace corvid
