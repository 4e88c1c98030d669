// Wildcards in file arguments: expanded by the program on Windows, where the
// command prompt hands them over as typed; left to the shell on POSIX.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/file_patterns.h"
#include "platform/native_path.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

TEST(FilePatterns, APatternGivesTheNamesThatMatchItSortedOrStaysAsTyped) {
  test::TempDir dir;
  const std::string folder = DisplayPath(dir.path()) + "/";  // UTF-8
  for (const char* name : {"b.raw", "a.raw", "c.txt", "Кир.raw"})
    test::WriteFileBytes(Utf8Path(folder + name), "x");
  const std::vector<std::string> typed = {folder + "*.raw", folder + "?.txt", folder + "*.none",
                                          folder + "a.raw"};
#ifdef _WIN32
  const std::vector<std::string> expected = {folder + "a.raw",   folder + "b.raw",
                                             folder + "Кир.raw", folder + "c.txt",
                                             folder + "*.none",  folder + "a.raw"};
#else
  const std::vector<std::string> expected = typed;  // the shell's work
#endif
  EXPECT_EQ(ExpandFilePatterns(typed), expected);
}

}  // namespace
}  // namespace korvel
