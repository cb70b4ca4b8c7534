#include "tools/damage_probe/child_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace corvid::damage_probe {
namespace {

[[noreturn]] void ExecChild(const std::vector<std::string>& argv,
                            const std::vector<std::string>& environment, const ChildLimits& limits,
                            int out, int err) {
  ::setpgid(0, 0);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  const int devNull = ::open("/dev/null", O_RDONLY);
  if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
  const rlimit noCore{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCore);
  const rlimit memory{limits.addressSpace, limits.addressSpace};
  ::setrlimit(RLIMIT_AS, &memory);
  for (const std::string& entry : environment) ::putenv(const_cast<char*>(entry.c_str()));
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  ::execv(args[0], args.data());
  ::_exit(127);
}

}  // namespace

ChildResult RunChild(const std::vector<std::string>& argv,
                     const std::vector<std::string>& environment, const ChildLimits& limits) {
  int out[2];
  int err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) ExecChild(argv, environment, limits, out[1], err[1]);
  ::setpgid(child, child);
  ::close(out[1]);
  ::close(err[1]);

  ChildResult result;
  const auto deadline = start + std::chrono::seconds(limits.seconds);
  bool killed = false;
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  char buffer[65536];
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 && !killed) {
      result.timedOut = true;
      ::kill(-child, SIGKILL);
      killed = true;
    }
    const int ready = ::poll(
        fds, 2, killed ? 1000 : static_cast<int>(std::min<long long>(left.count(), 1000)) + 1);
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open;
        continue;
      }
      if (i == 0) {
        result.stdoutBytes += n;
        result.stdoutTail.append(buffer, static_cast<std::size_t>(n));
        if (static_cast<std::int64_t>(result.stdoutTail.size()) > 2 * limits.keptOutput)
          result.stdoutTail.erase(
              0, result.stdoutTail.size() - static_cast<std::size_t>(limits.keptOutput));
      } else {
        result.stderrBytes += n;
        if (static_cast<std::int64_t>(result.stderrHead.size()) < limits.keptOutput)
          result.stderrHead.append(buffer, static_cast<std::size_t>(std::min<std::int64_t>(
                                               n, limits.keptOutput - result.stderrHead.size())));
        if (result.stderrBytes > limits.stderrKill && !killed) {
          result.floodStopped = true;
          ::kill(-child, SIGKILL);
          killed = true;
        }
      }
    }
    if (killed && ready == 0) break;  // a grandchild may hold the pipes open
  }
  for (auto& fd : fds)
    if (fd.fd >= 0) ::close(fd.fd);

  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status) && !killed) result.signal = WTERMSIG(status);
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

}  // namespace corvid::damage_probe
