#pragma once
// Start-up and shut-down: the program's path and version information, the
// choice between the window and the headless program, and the message loop.

namespace corvid {

class TF;
struct OwnArguments;

// The whole program; returns the process exit status.
int RunProgram(int argc, char** argv);

// Window creation with Corvid's own arguments: FormCreate (settings, command
// line, batch hook), then --login-prompt and --open, which drops the batch run.
void StartWindow(TF& window, const OwnArguments& arguments);

// Whether a window can be tried: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set.
bool DisplayConfigured();

}  // namespace corvid
