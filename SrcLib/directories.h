// Creating a directory together with its missing parents.
#pragma once

#include <string>

namespace corvid {

// Which directory could not be made, and the system's reason (errno).
struct DirectoryFailure {
  std::string directory;
  int errorNumber = 0;
};

// Creates the directory (a path of this machine, "/" separated) and every
// missing parent. Returns true when the directory exists afterwards; false for
// an empty text or when something is in the way (a file, no permission, a
// read-only file system). Relative names shorter than 3 characters are taken
// as existing and are not created. Never throws.
bool MakeDirectoryPath(std::string directory);
// The same, and on failure `failure` names the directory whose creation
// failed (the first missing one that could not be made, or the file in the
// way) and the reason: ENOTDIR for a file in the way, else mkdir's errno.
bool MakeDirectoryPath(std::string directory, DirectoryFailure& failure);

// "Cannot create directory \"<directory>\". <reason>".
std::string DirectoryFailureText(const DirectoryFailure& failure);

}  // namespace corvid
