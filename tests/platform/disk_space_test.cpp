#include <gtest/gtest.h>

#include "platform/disk_space.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

TEST(DiskSpace, ReportsTheFreeBytesOfAnExistingFolderOnly) {
  test::TempDir dir;
  const auto free = AvailableDiskSpace(dir.path());
  ASSERT_TRUE(free.has_value());
  EXPECT_GT(*free, 0u);
  EXPECT_FALSE(AvailableDiskSpace(dir / "missing" / "deeper").has_value());
}

}  // namespace
}  // namespace korvel
