#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <utility>

#include "platform/file_lock.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using Result = FileLock::Result;

// Another holder's try, without waiting: a child process on POSIX, where
// fcntl locks are the process's; a second open of the file on Windows, where
// LockFileEx locks are the open file's.
Result AnotherHolderTries(const std::filesystem::path& file) {
#ifdef _WIN32
  FileLock other;
  return other.Acquire(file, 0.0);
#else
  const pid_t child = fork();
  if (child == 0) {
    FileLock other;
    _exit(static_cast<int>(other.Acquire(file, 0.0)));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return static_cast<Result>(WEXITSTATUS(status));
#endif
}

TEST(FileLock, AnotherHolderIsRefusedWhileTheLockIsHeld) {
  test::TempDir dir;
  const auto file = dir / ".korvel2tqf.lock";
  FileLock lock;
  ASSERT_EQ(lock.Acquire(file, 0.0), Result::kLocked);
  EXPECT_TRUE(lock.Held());
  EXPECT_EQ(AnotherHolderTries(file), Result::kHeldElsewhere);
  // Moved, the lock stays held; released, it is free.
  FileLock moved = std::move(lock);
  EXPECT_FALSE(lock.Held());
  EXPECT_EQ(AnotherHolderTries(file), Result::kHeldElsewhere);
  moved.Release();
  EXPECT_EQ(AnotherHolderTries(file), Result::kLocked);
  // A lock file that cannot be made is no lock at all.
  EXPECT_EQ(FileLock().Acquire(dir / "missing" / "x.lock", 0.0), Result::kUnavailable);
}

}  // namespace
}  // namespace korvel
