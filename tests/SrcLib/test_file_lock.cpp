#include "SrcLib/file_lock.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace corvid {
namespace {

namespace fs = std::filesystem;

class FileLockTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "corvid-lock-XXXXXX").string();
    const int fd = ::mkstemp(pattern.data());
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "0123456789", 10), 10);
    ::close(fd);
    path_ = pattern;
  }
  void TearDown() override {
    for (int fd : {mine_, other_})
      if (fd >= 0) ::close(fd);
    std::error_code ignored;
    fs::remove(path_, ignored);
  }
  int Open(int flags) { return ::open(path_.c_str(), flags | O_CLOEXEC); }

  // An fcntl lock of the kind another program takes: an open-file-description
  // lock conflicts with locks taken through any other open of the file, even
  // in this process, as a lock of another process would.
  void HoldRecordLock(short type, off_t start, off_t length) {
    other_ = Open(O_RDWR);
    ASSERT_GE(other_, 0);
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    ASSERT_EQ(::fcntl(other_, F_OFD_SETLK, &lock), 0);
  }

  std::string path_;
  int mine_ = -1;
  int other_ = -1;
};

TEST_F(FileLockTest, FreeFileIsLockedAndKeepsTheNextExclusiveOpenOut) {
  mine_ = Open(O_RDONLY);
  EXPECT_EQ(LockWholeFile(mine_, true), FileLockResult::Locked);
  const int second = Open(O_RDONLY);
  EXPECT_EQ(LockWholeFile(second, true), FileLockResult::InUse);
  EXPECT_EQ(LockWholeFile(second, false), FileLockResult::InUse);
  ::close(second);
}

TEST_F(FileLockTest, SharedOpensLiveSideBySide) {
  mine_ = Open(O_RDONLY);
  EXPECT_EQ(LockWholeFile(mine_, false), FileLockResult::Locked);
  const int second = Open(O_RDONLY);
  EXPECT_EQ(LockWholeFile(second, false), FileLockResult::Locked);
  const int third = Open(O_RDONLY);
  EXPECT_EQ(LockWholeFile(third, true), FileLockResult::InUse);
  ::close(third);
  ::close(second);
}

// Programs that lock byte ranges with fcntl never see flock locks; a write
// lock of theirs on any part of the file means they are changing it.
TEST_F(FileLockTest, ForeignRecordWriteLockCountsAsInUse) {
  HoldRecordLock(F_WRLCK, 4, 2);
  mine_ = Open(O_RDONLY);
  EXPECT_EQ(LockWholeFile(mine_, true), FileLockResult::InUse);
  EXPECT_EQ(LockWholeFile(mine_, false), FileLockResult::InUse);
  // Refused without keeping the flock lock it took on the way.
  const int third = Open(O_RDONLY);
  EXPECT_EQ(::flock(third, LOCK_EX | LOCK_NB), 0);
  ::close(third);
}

TEST_F(FileLockTest, ForeignRecordReadLockLetsUsRead) {
  HoldRecordLock(F_RDLCK, 0, 0);
  mine_ = Open(O_RDONLY);
  EXPECT_EQ(LockWholeFile(mine_, true), FileLockResult::Locked);
}

}  // namespace
}  // namespace corvid
