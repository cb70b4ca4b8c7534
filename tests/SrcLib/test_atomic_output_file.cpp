#include "SrcLib/atomic_output_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace corvid {
namespace {

namespace fs = std::filesystem;

class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "corvid-aof-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& name) const { return (path_ / name).string(); }
  std::set<std::string> Entries() const {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.insert(entry.path().filename());
    return names;
  }
  const fs::path& Path() const { return path_; }

 private:
  fs::path path_;
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::span<const std::byte> Bytes(const std::string& text) {
  return std::as_bytes(std::span<const char>(text.data(), text.size()));
}

// Both ways of making the temporary: unnamed (O_TMPFILE) and named (mkstemp).
class AtomicOutputFileTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override { UseNamedTemporaries(GetParam()); }
  void TearDown() override { UseNamedTemporaries(false); }
  TempDir dir_;
};

TEST_P(AtomicOutputFileTest, NothingUnderTheFinalNameUntilCommit) {
  const std::string path = dir_ / "out.bin";
  {
    AtomicOutputFile file(path);
    file.Write(Bytes("hello "));
    file.Write(Bytes("world"));
    EXPECT_FALSE(fs::exists(path));
    file.Commit();
    EXPECT_EQ(file.BytesWritten(), 11);
  }
  EXPECT_EQ(ReadText(path), "hello world");
  EXPECT_EQ(dir_.Entries(), std::set<std::string>{"out.bin"});
}

TEST_P(AtomicOutputFileTest, UncommittedFileLeavesOlderFileAndNoLeftovers) {
  const std::string path = dir_ / "keep.txt";
  WriteText(path, "older");
  {
    AtomicOutputFile file(path);
    file.Write(Bytes("newer but never committed"));
  }
  EXPECT_EQ(ReadText(path), "older");
  EXPECT_EQ(dir_.Entries(), std::set<std::string>{"keep.txt"});

  try {
    AtomicOutputFile file(path);
    file.Write(Bytes("partial"));
    throw std::runtime_error("failure half-way");
  } catch (const std::runtime_error&) {
  }
  EXPECT_EQ(ReadText(path), "older");
  EXPECT_EQ(dir_.Entries(), std::set<std::string>{"keep.txt"});
}

TEST_P(AtomicOutputFileTest, CommitReplacesOlderFile) {
  const std::string path = dir_ / "f";
  WriteText(path, "a much longer older content");
  for (const bool sync : {false, true}) {
    const std::string text = sync ? "synced" : "new";
    AtomicOutputFile file(path);
    file.Write(Bytes(text));
    file.Commit(sync);
    EXPECT_EQ(ReadText(path), text);
  }
  EXPECT_EQ(dir_.Entries(), std::set<std::string>{"f"});
}

TEST_P(AtomicOutputFileTest, PermissionsAreDefaultMinusUmask) {
  const mode_t previous = ::umask(027);
  {
    AtomicOutputFile file(dir_ / "m");
    file.Commit();
  }
  ::umask(previous);
  struct stat status {};
  ASSERT_EQ(::stat((dir_ / "m").c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 0777, 0640u);
}

// A write that fails half-way (here: the file-size limit) is reported, and
// neither a partial file nor a lost older file results.
TEST_P(AtomicOutputFileTest, FailedWriteKeepsOlderFile) {
  const std::string path = dir_ / "big";
  WriteText(path, "older");
  const std::string payload(64 * 1024, 'x');

  struct rlimit saved {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto* previousHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);

  std::string message;
  try {
    AtomicOutputFile file(path);
    file.Write(Bytes(payload));
    file.Commit();
  } catch (const FileError& error) {
    message = error.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, previousHandler);

  EXPECT_EQ(message, "Cannot write file \"" + path + "\". File too large");
  EXPECT_EQ(ReadText(path), "older");
  EXPECT_EQ(dir_.Entries(), std::set<std::string>{"big"});
}

TEST_P(AtomicOutputFileTest, CopyFromTakesARangeOfAnotherFile) {
  const std::string source = dir_ / "source";
  WriteText(source, "0123456789");
  const int fd = ::open(source.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  {
    AtomicOutputFile file(dir_ / "slice");
    file.Write(Bytes("<"));
    file.CopyFrom(fd, 3, 4);
    file.Write(Bytes(">"));
    file.Commit();
  }
  EXPECT_EQ(ReadText(dir_ / "slice"), "<3456>");

  // A source shorter than the range is a failure, not a short file.
  EXPECT_THROW(
      {
        AtomicOutputFile file(dir_ / "short");
        file.CopyFrom(fd, 8, 10);
        file.Commit();
      },
      FileError);
  EXPECT_FALSE(fs::exists(dir_ / "short"));
  ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(BothTemporaryKinds, AtomicOutputFileTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Named" : "Unnamed"; });

TEST(AtomicOutputFileErrors, CreationFailuresCarryPathAndReason) {
  TempDir dir;
  WriteText(dir / "plain", "x");
  const struct {
    std::string path;
    std::string reason;
  } cases[] = {
      {dir / "missing/out.bin", "No such file or directory"},
      {dir / "plain/out.bin", "Not a directory"},
      {dir.Path().string(), "Is a directory"},
      {dir / "sub/", "Is a directory"},
      {dir / std::string(300, 'n'), "File name too long"},
  };
  for (const auto& c : cases) {
    try {
      AtomicOutputFile file(c.path);
      ADD_FAILURE() << "created " << c.path;
    } catch (const FileError& error) {
      EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + c.path + "\". " + c.reason);
    }
  }
}

// The check is shown what stands under the name, and only then; when it
// refuses, nothing is written and the older file stays as it was.
TEST(AtomicOutputFileErrors, TheExistingFileCheckSeesTheOlderFileAndMayRefuseIt) {
  TempDir dir;
  WriteText(dir / "old.bin", "older");
  struct stat older {};
  ASSERT_EQ(::stat((dir / "old.bin").c_str(), &older), 0);
  std::vector<std::string> shown;
  const AtomicOutputFile::ExistingFileCheck refuseOlder = [&](const std::string& path,
                                                              const struct stat& existing) {
    shown.push_back(path);
    if (existing.st_ino == older.st_ino) throw FileError("refused " + path);
  };

  {
    AtomicOutputFile fresh(dir / "new.bin", refuseOlder);
    fresh.Write(std::as_bytes(std::span<const char>("new", 3)));
    fresh.Commit();
  }
  EXPECT_TRUE(shown.empty());
  EXPECT_EQ(ReadText(dir / "new.bin"), "new");

  try {
    AtomicOutputFile over(dir / "old.bin", refuseOlder);
    ADD_FAILURE() << "the older file was not refused";
  } catch (const FileError& error) {
    EXPECT_EQ(std::string(error.what()), "refused " + dir / "old.bin");
  }
  EXPECT_EQ(shown, std::vector<std::string>{dir / "old.bin"});
  EXPECT_EQ(ReadText(dir / "old.bin"), "older");
  EXPECT_EQ(dir.Entries(), (std::set<std::string>{"new.bin", "old.bin"}));
}

TEST(AtomicOutputFileErrors, RelativePathWritesIntoCurrentDirectory) {
  TempDir dir;
  const fs::path previous = fs::current_path();
  fs::current_path(dir.Path());
  {
    AtomicOutputFile file("relative.txt");
    file.Write(Bytes("r"));
    file.Commit();
  }
  fs::current_path(previous);
  EXPECT_EQ(ReadText(dir / "relative.txt"), "r");
}

pid_t DeadProcessId() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

TEST(StaleTemporaries, OnlyThoseOfEndedProcessesAreRemoved) {
  TempDir dir;
  const std::string dead = ".corvid-tmp." + std::to_string(DeadProcessId()) + ".abc123";
  const std::string mine = ".corvid-tmp." + std::to_string(::getpid()) + ".abc123";
  const std::string parent = ".corvid-tmp." + std::to_string(::getppid()) + ".abc123";
  for (const auto& name :
       {dead, mine, parent, std::string(".corvid-tmp.nonsense"), std::string("photo.jpg")})
    WriteText(dir / name, "x");

  EXPECT_EQ(RemoveStaleTemporaries(dir.Path().string()), 1);
  EXPECT_EQ(dir.Entries(),
            (std::set<std::string>{mine, parent, ".corvid-tmp.nonsense", "photo.jpg"}));
}

// A long-lived process (the window) looks again at every new run.
TEST(StaleTemporaries, EachRunLooksAgain) {
  TempDir dir;
  {
    AtomicOutputFile first(dir / "a");
    first.Commit();
  }
  const std::string stale = ".corvid-tmp." + std::to_string(DeadProcessId()) + ".zzzzzz";
  WriteText(dir / stale, "left by a killed run");

  {
    AtomicOutputFile sameRun(dir / "b");
    sameRun.Commit();
  }
  EXPECT_TRUE(dir.Entries().contains(stale));

  ForgetCleanedDirectories();
  {
    AtomicOutputFile nextRun(dir / "c");
    nextRun.Commit();
  }
  EXPECT_EQ(dir.Entries(), (std::set<std::string>{"a", "b", "c"}));
}

// A process killed while writing leaves at most a named temporary, never a
// file under the final name; the next process writing there removes it.
TEST(StaleTemporaries, KilledWriterLeavesNothingBehindTheNextRun) {
  for (const bool named : {false, true}) {
    TempDir dir;
    WriteText(dir / "final.bin", "older");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      UseNamedTemporaries(named);
      AtomicOutputFile file(dir / "final.bin");
      file.Write(Bytes(std::string(1000, 'p')));
      ::kill(::getpid(), SIGKILL);
      ::_exit(3);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(ReadText(dir / "final.bin"), "older");
    EXPECT_EQ(dir.Entries().size(), named ? 2u : 1u);

    AtomicOutputFile next(dir / "other.bin");
    next.Commit();
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"final.bin", "other.bin"})) << named;
  }
}

}  // namespace
}  // namespace corvid
