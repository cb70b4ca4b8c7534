#include "tools/damage_probe/run_classes.h"

namespace corvid::damage_probe {

bool IsBad(const std::string& kind) {
  return kind == "crash" || kind == "hang" || kind == "stderr flood" || kind == "db changed" ||
         kind == "silent loss";
}

std::int64_t VisitedCount(const std::string& output, const std::string& table) {
  std::int64_t visited = -1;
  const std::string marker = " - " + table + " (";
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(start, end - start);
    const std::size_t at = line.rfind(marker);
    if (at != std::string::npos && line.size() > at + marker.size() && line.back() == ')') {
      const std::string digits =
          line.substr(at + marker.size(), line.size() - at - marker.size() - 1);
      if (!digits.empty() && digits.size() < 19 &&
          digits.find_first_not_of("0123456789") == std::string::npos)
        visited = std::stoll(digits);
    }
    start = end + 1;
  }
  return visited;
}

std::string Classify(const ChildResult& run, bool changed, std::int64_t visited,
                     std::int64_t baseline, std::int64_t stderrLimit) {
  if (run.signal != 0) return "crash";
  if (run.timedOut) return "hang";
  if (run.floodStopped || run.stderrBytes > stderrLimit) return "stderr flood";
  if (changed) return "db changed";
  if (run.exitStatus == 0 && visited < baseline) return "silent loss";
  if (run.exitStatus == 0) return "ok";
  if (run.exitStatus == 3) return "damage reported";
  if (run.exitStatus == 1) return "failed";
  return "other exit";
}

}  // namespace corvid::damage_probe
