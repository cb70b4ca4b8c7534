#pragma once
// The credentials prompt the connection asks when it connects with LoginPrompt
// set and neither an OnLogin handler nor preset login values supply the
// credentials. Keeping it an interface keeps the connection free of widgets:
// the window plugs in its dialog (frontend/db_login.h), runs without a window
// use the terminal prompt (dao/terminal_login.h).

#include <optional>
#include <string>
#include <string_view>

namespace corvid {

// What the prompt shows before the user types.
struct LoginRequest {
  std::string databaseName;  // the path shown on the database line
  std::string userName;      // pre-filled user name (empty when not saved)
};

// What the user typed; returned only when the prompt was confirmed (OK).
struct LoginAnswer {
  std::string userName;
  std::string password;
  std::string databasePassword;
};

class CredentialsPrompt {
 public:
  virtual ~CredentialsPrompt() = default;

  // Shows a fresh prompt and waits for it. std::nullopt means cancelled
  // (Cancel, Escape, the close box, or no way to ask at all).
  virtual std::optional<LoginAnswer> AskCredentials(const LoginRequest& request) = 0;

  // An information box: the "you may not gain access" note after a cancel,
  // and the failing error's message before each login retry.
  virtual void ShowInformation(std::string_view message) = 0;
};

}  // namespace corvid
