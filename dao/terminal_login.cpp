#include "dao/terminal_login.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace corvid {
namespace {

// The terminal whose echo is off, for the signal handler to restore it.
volatile std::sig_atomic_t gEchoOffFd = -1;
termios gSavedTermios{};

extern "C" void RestoreEchoAndReraise(int signalNumber) {
  if (gEchoOffFd >= 0) tcsetattr(gEchoOffFd, TCSANOW, &gSavedTermios);
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

// Switches echo off for its lifetime; Ctrl-C or a termination signal while it
// is off restores the terminal before the program ends.
class EchoOffGuard {
 public:
  explicit EchoOffGuard(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK);
    quiet.c_lflag |= ECHONL;
    gSavedTermios = saved_;
    gEchoOffFd = fd_;
    struct sigaction action {};
    action.sa_handler = RestoreEchoAndReraise;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt_);
    sigaction(SIGTERM, &action, &oldTerm_);
    sigaction(SIGHUP, &action, &oldHup_);
    active_ = tcsetattr(fd_, TCSANOW, &quiet) == 0;
  }
  ~EchoOffGuard() {
    if (active_) tcsetattr(fd_, TCSANOW, &saved_);
    if (gEchoOffFd == fd_) {
      gEchoOffFd = -1;
      sigaction(SIGINT, &oldInt_, nullptr);
      sigaction(SIGTERM, &oldTerm_, nullptr);
      sigaction(SIGHUP, &oldHup_, nullptr);
    }
  }
  EchoOffGuard(const EchoOffGuard&) = delete;
  EchoOffGuard& operator=(const EchoOffGuard&) = delete;

 private:
  int fd_;
  termios saved_{};
  struct sigaction oldInt_ {};
  struct sigaction oldTerm_ {};
  struct sigaction oldHup_ {};
  bool active_ = false;
};

class FdGuard {
 public:
  explicit FdGuard(int fd) : fd_(fd) {}
  ~FdGuard() {
    if (fd_ >= 0) close(fd_);
  }
  FdGuard(const FdGuard&) = delete;
  FdGuard& operator=(const FdGuard&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

void WriteAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = write(fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return;
    }
    text.remove_prefix(static_cast<std::size_t>(n));
  }
}

// One line without its line end; nullopt at end of input or on an error.
std::optional<std::string> ReadLine(int fd) {
  std::string line;
  for (;;) {
    char c;
    const ssize_t n = read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    if (c == '\n') break;
    line += c;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

std::string WithoutCarriageReturns(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

}  // namespace

std::optional<LoginAnswer> TerminalLogin::AskCredentials(const LoginRequest& request) {
  int in = inputFd_;
  int out = outputFd_;
  FdGuard tty(inputFd_ < 0 ? open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC) : -1);
  if (inputFd_ < 0) {
    if (tty.get() < 0) return std::nullopt;
    in = out = tty.get();
  }
  if (!isatty(in)) return std::nullopt;

  WriteAll(out, "Database Login\nDatabase: " + request.databaseName + "\n");
  std::string userPrompt = "User Name";
  if (!request.userName.empty()) userPrompt += " [" + request.userName + "]";
  userPrompt += ": ";
  WriteAll(out, userPrompt);
  auto user = ReadLine(in);
  if (!user) return std::nullopt;

  LoginAnswer answer;
  answer.userName = user->empty() ? request.userName : *user;
  {
    EchoOffGuard quiet(in);
    WriteAll(out, "Password: ");
    auto password = ReadLine(in);
    if (!password) return std::nullopt;
    answer.password = std::move(*password);
    WriteAll(out, "Database Password: ");
    auto databasePassword = ReadLine(in);
    if (!databasePassword) return std::nullopt;
    answer.databasePassword = std::move(*databasePassword);
  }
  return answer;
}

void TerminalLogin::ShowInformation(std::string_view message) {
  const std::string text = WithoutCarriageReturns(message) + "\n";
  if (outputFd_ >= 0) {
    WriteAll(outputFd_, text);
    return;
  }
  FdGuard tty(open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC));
  WriteAll(tty.get() >= 0 ? tty.get() : STDERR_FILENO, text);
}

}  // namespace corvid
