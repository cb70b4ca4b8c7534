#include "SrcLib/directories.h"

#include <cerrno>
#include <sys/stat.h>
#include <sys/types.h>
#include <system_error>

namespace corvid {
namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool MakeOne(const std::string& path, DirectoryFailure& failure) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  // Someone else may have created it meanwhile; a file in the way is a failure.
  const int error = errno;
  if (error == EEXIST && IsDirectory(path)) return true;
  failure.directory = path;
  failure.errorNumber = error == EEXIST ? ENOTDIR : error;
  return false;
}

bool MakePath(std::string directory, bool requested, DirectoryFailure& failure) {
  // "out//" names the same directory as "out" here, so every trailing
  // separator goes, but the root stays "/".
  while (directory.size() > 1 && directory.back() == '/') directory.pop_back();
  if (directory == "/") return true;
  // A relative name of one or two characters is taken as existing when it is
  // the directory asked for; as the parent of a longer path ("a" of "a/b/c")
  // it is created like any other.
  if (requested && directory.front() != '/' && directory.size() < 3) return true;
  if (IsDirectory(directory)) return true;
  const std::size_t slash = directory.rfind('/');
  if (slash == std::string::npos)
    return MakeOne(directory, failure);  // parent: the current directory
  std::string parent = directory.substr(0, slash + 1);
  return MakePath(std::move(parent), false, failure) && MakeOne(directory, failure);
}

}  // namespace

bool MakeDirectoryPath(std::string directory) {
  DirectoryFailure ignored;
  return MakeDirectoryPath(std::move(directory), ignored);
}

bool MakeDirectoryPath(std::string directory, DirectoryFailure& failure) {
  failure = DirectoryFailure{};
  if (directory.empty()) {
    failure.errorNumber = ENOENT;
    return false;
  }
  return MakePath(std::move(directory), true, failure);
}

std::string DirectoryFailureText(const DirectoryFailure& failure) {
  return "Cannot create directory \"" + failure.directory + "\". " +
         std::system_category().message(failure.errorNumber);
}

}  // namespace corvid
