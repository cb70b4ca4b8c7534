// One run of a program under watch: a time limit, a memory limit, no core
// file, standard output and standard error collected up to a limit each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace corvid::damage_probe {

struct ChildLimits {
  int seconds = 20;                           // then the process group is killed
  std::int64_t keptOutput = 64 * 1024;        // bytes kept of each stream (the last ones of stdout)
  std::int64_t stderrKill = 4 * 1024 * 1024;  // a flood this large is stopped at once
  std::uint64_t addressSpace = std::uint64_t{2} << 30;  // RLIMIT_AS of the child
};

struct ChildResult {
  bool timedOut = false;
  bool floodStopped = false;  // killed for writing too much to standard error
  int signal = 0;             // the signal that ended it (not ours), 0 if none
  int exitStatus = -1;        // when it exited
  std::int64_t stdoutBytes = 0;
  std::int64_t stderrBytes = 0;
  std::string stdoutTail;  // the last keptOutput bytes
  std::string stderrHead;  // the first keptOutput bytes
  double seconds = 0;
};

// Runs argv[0] with the arguments and extra environment entries
// ("NAME=value") in its own process group.
ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, const ChildLimits& limits);

}  // namespace corvid::damage_probe
