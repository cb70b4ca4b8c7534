#include "SrcLib/exe_path.h"

#include <filesystem>
#include <system_error>

namespace corvid {
namespace {

struct ExeNames {
  std::string path;
  std::string baseName;
};

ExeNames& Names() {
  static ExeNames names;
  return names;
}

}  // namespace

std::string BaseNameFromPath(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  std::string name(slash == std::string_view::npos ? path : path.substr(slash + 1));
  const std::size_t dot = name.find('.');
  if (dot != std::string::npos) name.erase(dot, 12);  // the "." and up to 11 characters after it
  return name;
}

void InitialiseExePath(std::string path) {
  Names().baseName = BaseNameFromPath(path);
  Names().path = std::move(path);
}

void InitialiseExePath() {
  std::error_code error;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  InitialiseExePath(error ? std::string() : self.string());
}

const std::string& ExePath() { return Names().path; }
const std::string& ExeBaseName() { return Names().baseName; }

}  // namespace corvid
