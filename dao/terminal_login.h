#pragma once
// The credentials prompt for runs without a window: asks on the controlling
// terminal for the user name (Enter keeps the pre-filled one), then the
// password and the database password with echo switched off. With no
// terminal to ask on, or at end of input, the prompt counts as cancelled.

#include <optional>
#include <string>
#include <string_view>

#include "dao/login_prompt.h"

namespace corvid {

class TerminalLogin : public CredentialsPrompt {
 public:
  // Asks on /dev/tty, opened afresh for every prompt.
  TerminalLogin() = default;
  // Asks on the given descriptors (which must refer to a terminal for
  // AskCredentials to ask; otherwise it is cancelled). Not owned.
  TerminalLogin(int inputFd, int outputFd) : inputFd_(inputFd), outputFd_(outputFd) {}

  std::optional<LoginAnswer> AskCredentials(const LoginRequest& request) override;
  // Written to the terminal (or standard error without one), CR dropped.
  void ShowInformation(std::string_view message) override;

 private:
  int inputFd_ = -1;
  int outputFd_ = -1;
};

}  // namespace corvid
