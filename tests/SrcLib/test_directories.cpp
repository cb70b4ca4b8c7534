#include "SrcLib/directories.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <cerrno>
#include <unistd.h>

namespace corvid {
namespace {

namespace fs = std::filesystem;

// A fresh directory to work in, made the current directory for relative
// paths; the previous current directory is restored afterwards.
class MakeDirectoryPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    std::string pattern = (fs::temp_directory_path() / "corvid-dirs-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::current_path(root_);
  }
  void TearDown() override {
    fs::current_path(previous_);
    std::error_code ignored;
    fs::permissions(root_ / "locked", fs::perms::owner_all, ignored);
    fs::remove_all(root_, ignored);
  }
  fs::path previous_;
  fs::path root_;
};

TEST_F(MakeDirectoryPathTest, CreatesRelativePathsBelowTheCurrentDirectory) {
  EXPECT_TRUE(MakeDirectoryPath("out/"));
  EXPECT_TRUE(fs::is_directory(root_ / "out"));
  EXPECT_TRUE(MakeDirectoryPath("a/b/c/"));
  EXPECT_TRUE(fs::is_directory(root_ / "a/b/c"));
  EXPECT_TRUE(MakeDirectoryPath("twice//"));
  EXPECT_TRUE(fs::is_directory(root_ / "twice"));
  EXPECT_TRUE(MakeDirectoryPath("./dot/../dotted"));
  EXPECT_TRUE(fs::is_directory(root_ / "dotted"));
}

TEST_F(MakeDirectoryPathTest, ShortRelativeNameCountsAsExisting) {
  EXPECT_TRUE(MakeDirectoryPath("ab/"));
  EXPECT_FALSE(fs::exists(root_ / "ab"));
  EXPECT_TRUE(MakeDirectoryPath("x"));
  EXPECT_FALSE(fs::exists(root_ / "x"));
}

TEST_F(MakeDirectoryPathTest, CreatesAbsolutePathsAndAcceptsExistingOnes) {
  const std::string deep = (root_ / "p/q/r").string() + "/";
  EXPECT_TRUE(MakeDirectoryPath(deep));
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_TRUE(MakeDirectoryPath(deep));  // already there
  EXPECT_TRUE(MakeDirectoryPath("/"));
  EXPECT_TRUE(MakeDirectoryPath(root_.string()));
}

TEST_F(MakeDirectoryPathTest, FailsWithoutThrowingWhenAFileIsInTheWay) {
  EXPECT_FALSE(MakeDirectoryPath(""));
  std::ofstream(root_ / "file") << "x";
  EXPECT_FALSE(MakeDirectoryPath((root_ / "file").string() + "/"));
  EXPECT_FALSE(MakeDirectoryPath((root_ / "file/sub/deeper").string()));
  EXPECT_FALSE(fs::is_directory(root_ / "file"));
}

TEST_F(MakeDirectoryPathTest, NamesTheDirectoryThatCouldNotBeMadeAndWhy) {
  std::ofstream(root_ / "file") << "x";
  DirectoryFailure failure;
  // The file in the way is named, not the directory asked for.
  EXPECT_FALSE(MakeDirectoryPath((root_ / "file/sub/deeper/").string(), failure));
  EXPECT_EQ(failure.directory, (root_ / "file").string());
  EXPECT_EQ(failure.errorNumber, ENOTDIR);
  EXPECT_EQ(DirectoryFailureText(failure),
            "Cannot create directory \"" + (root_ / "file").string() + "\". Not a directory");
  // A name longer than the file system holds.
  const std::string longName(300, 'n');
  EXPECT_FALSE(MakeDirectoryPath((root_ / "ok" / longName).string(), failure));
  EXPECT_EQ(failure.directory, (root_ / "ok" / longName).string());
  EXPECT_EQ(failure.errorNumber, ENAMETOOLONG);
  EXPECT_TRUE(fs::is_directory(root_ / "ok"));  // the parents that could be made were
  // Success leaves no failure behind.
  EXPECT_TRUE(MakeDirectoryPath((root_ / "fine/").string(), failure));
  EXPECT_EQ(failure.errorNumber, 0);
  EXPECT_TRUE(failure.directory.empty());
}

TEST_F(MakeDirectoryPathTest, FailsWithoutPermission) {
  // Everyone may look into the directory, nobody may write there.
  const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                        fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
  fs::permissions(root_, readOnly | fs::perms::owner_write);
  fs::create_directory(root_ / "locked");
  fs::permissions(root_ / "locked", readOnly);
  const std::string target = (root_ / "locked/new/").string();
  // 0: refused with EACCES naming locked/new; 1: made it; 2: refused for
  // another reason or naming another directory.
  const auto attempt = [&]() -> int {
    DirectoryFailure failure;
    if (MakeDirectoryPath(target, failure)) return 1;
    return failure.errorNumber == EACCES && failure.directory == (root_ / "locked/new").string()
               ? 0
               : 2;
  };
  if (::geteuid() != 0) {
    EXPECT_EQ(attempt(), 0);
  } else {
    // Root may write anywhere: try it as an unprivileged user in a child.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(3);
      ::_exit(attempt());
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "cannot drop privileges";
    EXPECT_EQ(WEXITSTATUS(status), 0)
        << "1: reported success without permission; 2: the wrong reason or directory";
  }
  EXPECT_FALSE(fs::exists(root_ / "locked/new"));
}

}  // namespace
}  // namespace corvid
