// How the probe judges one run of the program over a damaged copy.
#pragma once

#include <cstdint>
#include <string>

#include "tools/damage_probe/child_run.h"

namespace corvid::damage_probe {

// The classes in the order of the probe's table; the first five are bad.
inline const char* const kClasses[] = {"crash",           "hang",        "stderr flood",
                                       "db changed",      "silent loss", "ok",
                                       "damage reported", "failed",      "other exit"};
// Column heads of the table, in the same order.
inline const char* const kColumns[] = {"crash", "hang",    "flood",  "changed", "lost",
                                       "ok",    "damaged", "failed", "other"};

bool IsBad(const std::string& kind);

// The count in the run's closing line ("12:00:00 - Table (8)") in the
// output; the last one when there are several; -1 without one.
std::int64_t VisitedCount(const std::string& output, const std::string& table);

// crash (a signal not sent by the watch), hang (the time limit), stderr
// flood (more than `stderrLimit` bytes), db changed, silent loss (exit 0
// with fewer records than `baseline`), else ok (0), damage reported (3),
// failed (1) or other exit.
std::string Classify(const ChildResult& run, bool changed, std::int64_t visited,
                     std::int64_t baseline, std::int64_t stderrLimit);

}  // namespace corvid::damage_probe
