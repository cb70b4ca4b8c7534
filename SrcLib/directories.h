// Creating a directory together with its missing parents.
#pragma once

#include <string>

namespace corvid {

// Creates the directory (a path of this machine, "/" separated) and every
// missing parent. Returns true when the directory exists afterwards; false for
// an empty text or when something is in the way (a file, no permission).
// Relative names shorter than 3 characters are taken as existing and are not
// created. Never throws.
bool MakeDirectoryPath(std::string directory);

}  // namespace corvid
