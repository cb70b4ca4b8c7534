#pragma once
// The standard error report for an exception that leaves an event handler:
// the message, with a full stop appended when its last character sorts after
// ".", in a box captioned with the application title, error icon, one OK
// button. Without a window the same text goes to standard error.

#include <functional>
#include <string>
#include <string_view>

namespace corvid {

inline constexpr std::string_view kApplicationTitle = "Corvid";

// The text the box shows for a message.
std::string ErrorBoxText(std::string_view message);

// How errors are shown; the program installs the box (window) or the
// standard-error printer (headless); tests install a recorder.
using ErrorReporter = std::function<void(std::string_view message)>;
void SetErrorReporter(ErrorReporter reporter);
void ReportError(std::string_view message);

// Runs a handler; an exception that leaves it is reported and swallowed.
// Returns false when one was reported.
bool RunHandler(const std::function<void()>& handler);

// For a terminal: CR LF inside a message becomes LF.
std::string WithoutCarriageReturns(std::string_view text);

}  // namespace corvid
