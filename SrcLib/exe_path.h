#pragma once
// The program's own path and base name, recorded once at start-up.

#include <string>
#include <string_view>

namespace corvid {

// The file name part of a path with its first "." and the 11 characters after
// it removed ("Corvid.exe" -> "Corvid", "a.b.exe" -> "a"); a name without "."
// is kept whole.
std::string BaseNameFromPath(std::string_view path);

// Records ExePath and ExeBaseName. Without an argument the path is the resolved
// path of the running executable (/proc/self/exe); tests may pass their own.
void InitialiseExePath();
void InitialiseExePath(std::string path);

// The recorded values; empty until InitialiseExePath ran.
const std::string& ExePath();
const std::string& ExeBaseName();

}  // namespace corvid
