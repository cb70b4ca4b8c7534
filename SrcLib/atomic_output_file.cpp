#include "SrcLib/atomic_output_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <random>
#include <system_error>
#include <unordered_set>
#include <utility>
#include <vector>

namespace corvid {
namespace {

constexpr std::string_view kTemporaryPrefix = ".corvid-tmp.";

std::string ReasonText(int errorNumber) { return std::system_category().message(errorNumber); }

std::string DecimalText(long long value) {
  std::array<char, 24> digits{};
  auto [end, ec] = std::to_chars(digits.data(), digits.data() + digits.size(), value);
  (void)ec;
  return std::string(digits.data(), end);
}

std::atomic<bool> namedTemporaries{false};

// The process umask, read without changing it where the kernel reports it.
mode_t CurrentUmask() {
  if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
    char line[256];
    while (std::fgets(line, sizeof line, status) != nullptr) {
      unsigned int value = 0;
      if (std::sscanf(line, "Umask: %o", &value) == 1) {
        std::fclose(status);
        return static_cast<mode_t>(value);
      }
    }
    std::fclose(status);
  }
  const mode_t previous = ::umask(022);
  ::umask(previous);
  return previous;
}

// Splits a path into the directory to create the temporary in and the prefix
// that names files beside the final one.
std::pair<std::string, std::string> DirectoryOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return {".", ""};
  if (slash == 0) return {"/", "/"};
  return {path.substr(0, slash), path.substr(0, slash + 1)};
}

// Stale temporaries are looked for once per directory and run.
std::mutex cleanedMutex;
std::unordered_set<std::string> cleanedDirectories;

std::string lastCleaned;  // most outputs go where the one before went

void CleanDirectoryOnce(const std::string& directory) {
  {
    std::lock_guard lock(cleanedMutex);
    if (directory == lastCleaned) return;
    lastCleaned = directory;
    if (!cleanedDirectories.insert(directory).second) return;
  }
  RemoveStaleTemporaries(directory);
}

std::string RandomSuffix() {
  static std::atomic<unsigned> counter{0};
  static thread_local std::minstd_rand generator{std::random_device{}()};
  char text[32];
  std::snprintf(text, sizeof text, "%08x%04x", static_cast<unsigned>(generator()),
                counter.fetch_add(1) & 0xFFFFu);
  return text;
}

std::string TemporaryStem(const std::string& directoryPrefix) {
  return directoryPrefix + std::string(kTemporaryPrefix) + DecimalText(::getpid()) + ".";
}

bool WriteAll(int fd, const std::byte* data, std::size_t size, int& errorNumber) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, std::min<std::size_t>(size, std::size_t{1} << 30));
    if (n < 0) {
      if (errno == EINTR) continue;
      errorNumber = errno;
      return false;
    }
    if (n == 0) {
      errorNumber = ENOSPC;
      return false;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

std::string FileErrorText(std::string_view verb, std::string_view path, int errorNumber) {
  std::string text = "Cannot ";
  text += verb;
  text += " file \"";
  text += path;
  text += "\". ";
  text += ReasonText(errorNumber);
  return text;
}

AtomicOutputFile::AtomicOutputFile(std::string path, const ExistingFileCheck& check)
    : path_(std::move(path)) {
  auto [directory, prefix] = DirectoryOf(path_);
  directory_ = prefix;

  // The final name must not be a directory; that would only show at the
  // rename, after all the bytes were written.
  // Nor may the name be one the directory cannot hold (too long, say).
  struct stat existing {};
  if (::stat(path_.c_str(), &existing) == 0) {
    if (S_ISDIR(existing.st_mode)) throw FileError(FileErrorText("create", path_, EISDIR));
    if (check) check(path_, existing);
  } else if (errno != ENOENT) {
    throw FileError(FileErrorText("create", path_, errno));
  }
  if (path_.empty() || path_.back() == '/')
    throw FileError(FileErrorText("create", path_, path_.empty() ? ENOENT : EISDIR));

  CleanDirectoryOnce(directory);

  if (!namedTemporaries.load(std::memory_order_relaxed)) {
    fd_ = ::open(directory.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd_ >= 0) return;
    const int tmpfileError = errno;
    if (tmpfileError != EOPNOTSUPP && tmpfileError != EISDIR && tmpfileError != EINVAL)
      throw FileError(FileErrorText("create", path_, tmpfileError));
  }

  // The file system has no unnamed files: a named temporary then.
  std::string name = TemporaryStem(directory_) + "XXXXXX";
  fd_ = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd_ < 0) throw FileError(FileErrorText("create", path_, errno));
  temporaryName_ = std::move(name);
  if (::fchmod(fd_, 0666 & ~CurrentUmask()) != 0) {
    const int error = errno;
    Discard();
    throw FileError(FileErrorText("create", path_, error));
  }
}

AtomicOutputFile::~AtomicOutputFile() {
  if (!committed_) Discard();
}

void AtomicOutputFile::Discard() noexcept {
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
  if (!temporaryName_.empty()) {
    ::unlink(temporaryName_.c_str());
    temporaryName_.clear();
  }
}

void AtomicOutputFile::Write(std::span<const std::byte> bytes) {
  if (fd_ < 0) throw FileError(FileErrorText("write", path_, EBADF));
  int error = 0;
  if (!WriteAll(fd_, bytes.data(), bytes.size(), error))
    throw FileError(FileErrorText("write", path_, error));
  written_ += static_cast<std::int64_t>(bytes.size());
}

void AtomicOutputFile::CopyFrom(int sourceFd, std::int64_t offset, std::int64_t count) {
  if (fd_ < 0) throw FileError(FileErrorText("write", path_, EBADF));
  off_t position = static_cast<off_t>(offset);
  std::int64_t remaining = count;
  while (remaining > 0) {
    const std::size_t chunk =
        static_cast<std::size_t>(std::min<std::int64_t>(remaining, std::int64_t{1} << 30));
    const ssize_t n = ::sendfile(fd_, sourceFd, &position, chunk);
    if (n > 0) {
      remaining -= n;
      written_ += n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) throw FileError("Cannot write file \"" + path_ + "\". The input ended early");
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
      throw FileError(FileErrorText("write", path_, errno));

    // No kernel copy between these two files: through a buffer then.
    std::vector<std::byte> buffer(
        static_cast<std::size_t>(std::min<std::int64_t>(remaining, std::int64_t{1} << 20)));
    while (remaining > 0) {
      const std::size_t want =
          static_cast<std::size_t>(std::min<std::int64_t>(remaining, buffer.size()));
      const ssize_t got = ::pread(sourceFd, buffer.data(), want, position);
      if (got < 0) {
        if (errno == EINTR) continue;
        throw FileError(FileErrorText("write", path_, errno));
      }
      if (got == 0) throw FileError("Cannot write file \"" + path_ + "\". The input ended early");
      Write(std::span<const std::byte>(buffer.data(), static_cast<std::size_t>(got)));
      position += got;
      remaining -= got;
    }
  }
}

void AtomicOutputFile::Commit(bool sync) {
  if (committed_) return;
  if (fd_ < 0) throw FileError(FileErrorText("write", path_, EBADF));

  if (sync && ::fsync(fd_) != 0) {
    const int error = errno;
    Discard();
    throw FileError(FileErrorText("write", path_, error));
  }

  if (temporaryName_.empty()) {
    const std::string procPath = "/proc/self/fd/" + DecimalText(fd_);
    // Most outputs are new names: the complete unnamed file is linked
    // straight under its final name, which either appears whole or not at
    // all. Only when a file of that name exists does it go through a
    // temporary name and an atomic rename over the older file.
    if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0) {
      const int fd = std::exchange(fd_, -1);
      if (::close(fd) != 0 && errno != EINTR) {
        // A late write error: no older file existed, so the name goes.
        const int error = errno;
        ::unlink(path_.c_str());
        throw FileError(FileErrorText("write", path_, error));
      }
      committed_ = true;
      return;
    }
    if (errno != EEXIST) {
      const int error = errno;
      Discard();
      throw FileError(FileErrorText("create", path_, error));
    }
    for (int attempt = 0;; ++attempt) {
      std::string name = TemporaryStem(directory_) + RandomSuffix();
      if (::linkat(AT_FDCWD, procPath.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        temporaryName_ = std::move(name);
        break;
      }
      const int error = errno;
      if (error != EEXIST || attempt > 50) {
        Discard();
        throw FileError(FileErrorText("write", path_, error));
      }
    }
  }

  const int fd = std::exchange(fd_, -1);
  if (::close(fd) != 0 && errno != EINTR) {
    const int error = errno;
    Discard();
    throw FileError(FileErrorText("write", path_, error));
  }
  if (::rename(temporaryName_.c_str(), path_.c_str()) != 0) {
    const int error = errno;
    Discard();
    throw FileError(FileErrorText("create", path_, error));
  }
  temporaryName_.clear();
  committed_ = true;
}

void ForgetCleanedDirectories() {
  std::lock_guard lock(cleanedMutex);
  cleanedDirectories.clear();
  lastCleaned.clear();
}

void UseNamedTemporaries(bool named) { namedTemporaries.store(named, std::memory_order_relaxed); }

int RemoveStaleTemporaries(const std::string& directory) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return 0;
  const pid_t self = ::getpid();
  int removed = 0;
  while (const dirent* entry = ::readdir(dir)) {
    const std::string_view name(entry->d_name);
    if (!name.starts_with(kTemporaryPrefix)) continue;
    const std::string_view rest = name.substr(kTemporaryPrefix.size());
    long long pid = 0;
    auto [end, ec] = std::from_chars(rest.data(), rest.data() + rest.size(), pid);
    if (ec != std::errc{} || end == rest.data() || end == rest.data() + rest.size() || *end != '.')
      continue;
    if (pid <= 0 || pid == self) continue;
    if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;  // still running
    if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

}  // namespace corvid
