#pragma once
// The window's position and parameter texts, kept per user and per program
// file name between starts: ten values under "\Software\Tallowmere\" +
// ExeBaseName, read once when the window is created and written once when it
// is destroyed.

#include <string>

#include "frontend/parameter_form.h"

namespace corvid {

// "\Software\Tallowmere\" + ExeBaseName().
std::string SettingsKeyPath();

// Applies the stored values that exist, in order. A key that cannot be opened
// changes nothing. A value of the wrong type throws RegistryError ("Invalid
// data type for 'WinTop'"); the values before it stay applied.
void LoadSettings(ParameterForm& form);

// Writes all ten values in order. A key that cannot be opened stores nothing;
// a value that cannot be written throws RegistryError ("Failed to set data
// for '...'") and the values after it are not written.
void SaveSettings(const ParameterForm& form);

}  // namespace corvid
