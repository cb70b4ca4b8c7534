#pragma once
// An output file that appears under its final name only when complete.
//
// The bytes go to a temporary file in the target directory (an unnamed
// O_TMPFILE file, or a ".corvid-tmp.<pid>.XXXXXX" name where the file system
// lacks it); Commit() renames it over the final name. Until then, on any
// failure, exception or kill, nothing appears under the final name and an
// older file of that name is left as it was. Temporary names left behind by
// a killed process are removed the first time a run writes into that
// directory (see ForgetCleanedDirectories).

#include <sys/stat.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace corvid {

// A failure to open, create, read or write a file; what() is the user's text.
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "Cannot create file \"<path>\". <reason>" and its siblings.
std::string FileErrorText(std::string_view verb, std::string_view path, int errorNumber);

class AtomicOutputFile {
 public:
  // Shown what stands under the final name, when something does, before any
  // byte is written; throws FileError to refuse the name (a run refuses the
  // database it reads this way, in the one look at the name it takes anyway).
  using ExistingFileCheck = std::function<void(const std::string& path, const struct stat&)>;

  // Creates the temporary file; throws FileError "Cannot create file ...".
  explicit AtomicOutputFile(std::string path, const ExistingFileCheck& check = {});
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
  // Discards the temporary file unless committed.
  ~AtomicOutputFile();

  const std::string& Path() const { return path_; }
  std::int64_t BytesWritten() const { return written_; }

  // Appends bytes; throws FileError "Cannot write file ..." on any failure.
  void Write(std::span<const std::byte> bytes);
  // Appends `count` bytes of the file open as `sourceFd`, from `offset`
  // (kernel copy where possible). Throws FileError; a source that ends
  // early is a read failure.
  void CopyFrom(int sourceFd, std::int64_t offset, std::int64_t count);
  // Puts the complete file under its final name, replacing an older one.
  // The rename is atomic for every other process, and a process that dies
  // before it leaves the older file as it was. With `sync` the bytes reach
  // the disk before the rename, so that even a system crash cannot trade
  // the older file for an empty one; the runs leave that to the file
  // system (a sync per file would make re-running into a directory many
  // times slower).
  void Commit(bool sync = false);

 private:
  void Discard() noexcept;

  std::string path_;
  std::string directory_;
  std::string temporaryName_;  // empty for an unnamed O_TMPFILE file
  int fd_ = -1;
  std::int64_t written_ = 0;
  bool committed_ = false;
};

// Starts a new run: every directory is looked at again for stale temporaries
// the next time a file is written into it.
void ForgetCleanedDirectories();

// Always use named temporaries, as on file systems without O_TMPFILE
// (tests use it to cover that path).
void UseNamedTemporaries(bool named);

// Removes ".corvid-tmp.<pid>.*" files in `directory` whose process no longer
// runs. Returns how many were removed.
int RemoveStaleTemporaries(const std::string& directory);

}  // namespace corvid
