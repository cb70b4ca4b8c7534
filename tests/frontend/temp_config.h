#pragma once
// A private settings root for one test: XDG_CONFIG_HOME points at a fresh
// temporary directory for the guard's lifetime and is removed afterwards.

#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

namespace corvid::testing {

class TempDirectory {
 public:
  TempDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "corvid-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    path_ = pattern;
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

class TempConfigHome {
 public:
  TempConfigHome() {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old) saved_ = old;
    hadOld_ = old != nullptr;
    ::setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
  }
  ~TempConfigHome() {
    if (hadOld_) {
      ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }
  const std::string& Path() const { return dir_.Path(); }

 private:
  TempDirectory dir_;
  std::string saved_;
  bool hadOld_ = false;
};

}  // namespace corvid::testing
