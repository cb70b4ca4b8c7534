#pragma once
// Corvid without a window: the same settings, command line and batch run as
// the window, with log lines on standard output, status texts and errors on
// standard error, and the outcome in the exit status (0 after a completed
// run, 1 after a failure, 2 when no existing database was named, 3 after a
// run that completed but found records missing or damaged).

#include <functional>
#include <memory>
#include <string>

#include "dao/login_prompt.h"
#include "engine/run_report.h"
#include "frontend/command_line.h"
#include "frontend/run_components.h"

namespace corvid {

using ComponentsFactory = std::function<std::unique_ptr<RunComponents>()>;

// The login prompt without a window: asks on the terminal; the connection's
// information messages (the login-cancel notice, retry messages) go to
// standard error.
std::shared_ptr<CredentialsPrompt> HeadlessCredentialsPrompt();

int RunHeadless(const OwnArguments& arguments, const ComponentsFactory& makeComponents);

// The one-line summaries printed at the end of a headless run.
std::string RunSummary(const RunReport& report);
std::string RawSummary(const RawReport& report);

// The line a headless run adds when the database refused its password: DAO's
// own message names neither the file nor how to give a password unattended.
std::string PasswordHint(std::string_view database);

}  // namespace corvid
