#pragma once
// Start-up and shut-down: the program's path and version information, the
// choice between the window and the headless program, and the message loop.

namespace corvid {

// The whole program; returns the process exit status.
int RunProgram(int argc, char** argv);

// Whether a window can be tried: DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM set.
bool DisplayConfigured();

}  // namespace corvid
