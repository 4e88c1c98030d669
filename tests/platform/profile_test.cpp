#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#undef GetProfileString
#undef GetProfileInt
#undef WriteProfileString
#else
#include <sys/stat.h>
#endif

#include <filesystem>

#include "platform/profile.h"
#include "platform/text1251.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

TEST(Profile, ReadsValuesWithWindowsRules) {
  TempDir dir;
  const auto ini = dir / "a.ini";
  WriteFileBytes(ini,
                 "; comment\r\n"
                 "[System]\r\n"
                 "  Dir = /data/raw  \r\n"
                 "Quoted=\"  padded \"\r\n"
                 "NSTA=12abc\r\n"
                 "Neg=-7\r\n"
                 "Empty=\r\n"
                 "[other]\r\n"
                 "DIR=wrong\r\n"
                 "[SYSTEM]\r\n"
                 "TIME=second section is never read\r\n");
  EXPECT_EQ(GetProfileString("SYSTEM", "DIR", "x", 256, ini), "/data/raw");
  EXPECT_EQ(GetProfileString("system", "dir", "x", 256, ini), "/data/raw");
  EXPECT_EQ(GetProfileString("SYSTEM", "Quoted", "", 256, ini), "  padded ");
  EXPECT_EQ(GetProfileString("SYSTEM", "TIME", "def", 256, ini), "def");
  EXPECT_EQ(GetProfileString("SYSTEM", "Empty", "def", 256, ini), "");
  // Values and defaults are cut to the buffer minus one.
  EXPECT_EQ(GetProfileString("SYSTEM", "DIR", "", 6, ini), "/data");
  EXPECT_EQ(GetProfileString("NOPE", "DIR", "C:Data", 3, ini), "C:");
  EXPECT_EQ(GetProfileString("NOPE", "DIR", "x  ", 10, ini), "x");
  EXPECT_EQ(GetProfileInt("SYSTEM", "NSTA", 5, ini), 12);
  EXPECT_EQ(GetProfileInt("SYSTEM", "Neg", 5, ini), -7);
  EXPECT_EQ(GetProfileInt("SYSTEM", "Dir", 5, ini), 0);
  EXPECT_EQ(GetProfileInt("SYSTEM", "Empty", 5, ini), 5);
  EXPECT_EQ(GetProfileInt("SYSTEM", "Missing", 5, ini), 5);
  EXPECT_EQ(GetProfileString("SYSTEM", "DIR", "def", 256, dir / "missing.ini"), "def");
  EXPECT_EQ(GetProfileInt("SYSTEM", "DIR", 9, dir / "missing.ini"), 9);
}

TEST(Profile, ReadsUtf8FilesAsCodePage1251AndOthersAsTheyStand) {
  TempDir dir;
  WriteFileBytes(dir / "u.ini", "\xEF\xBB\xBF[КИР]\nDIR=/данные\n");
  EXPECT_EQ(GetProfileString("\xCA\xC8\xD0", "DIR", "", 256, dir / "u.ini"),
            Utf8ToCp1251("/данные"));
  // Sections compare without case in code page 1251 too.
  EXPECT_EQ(GetProfileString("\xEA\xE8\xF0", "DIR", "", 256, dir / "u.ini"),
            Utf8ToCp1251("/данные"));
  WriteFileBytes(dir / "c.ini", "[\xCA\xC8\xD0]\nDIR=\xE4\xE0\n");
  EXPECT_EQ(GetProfileString("\xCA\xC8\xD0", "DIR", "", 256, dir / "c.ini"), "\xE4\xE0");
}

TEST(Profile, WriteReplacesAddsAndKeepsEveryOtherLine) {
  TempDir dir;
  const auto ini = dir / "w.ini";
  WriteFileBytes(ini,
                 "; keep me\r\n"
                 "[SYSTEM]\r\n"
                 "NSTA=2\r\n"
                 "time=old\r\n"
                 "\r\n"
                 "[STA0]\r\n"
                 "NAME=KIR\r\n");
  ASSERT_TRUE(WriteProfileString("SYSTEM", "TIME", "00:00:00 01/03/2007", ini));
  ASSERT_TRUE(WriteProfileString("SYSTEM", "TIMEQTY", "00:30:00", ini));
  ASSERT_TRUE(WriteProfileString("STA1", "NAME", "KUDA", ini));
  EXPECT_EQ(ReadFileBytes(ini),
            "; keep me\r\n"
            "[SYSTEM]\r\n"
            "NSTA=2\r\n"
            "TIME=00:00:00 01/03/2007\r\n"
            "TIMEQTY=00:30:00\r\n"
            "\r\n"
            "[STA0]\r\n"
            "NAME=KIR\r\n"
            "[STA1]\r\n"
            "NAME=KUDA\r\n");
  EXPECT_EQ(GetProfileString("SYSTEM", "TIME", "", 32, ini), "00:00:00 01/03/2007");
}

TEST(Profile, WriteCreatesTheFileAndKeepsItsEncoding) {
  TempDir dir;
  ASSERT_TRUE(WriteProfileString("SYSTEM", "TIME", "00:00:00 01/01/2007", dir / "new.ini"));
  EXPECT_EQ(ReadFileBytes(dir / "new.ini"), "[SYSTEM]\nTIME=00:00:00 01/01/2007\n");

  WriteFileBytes(dir / "u.ini", "[A]\nX=ё\n");
  ASSERT_TRUE(WriteProfileString("A", "Y", "\xCA", dir / "u.ini"));
  EXPECT_EQ(ReadFileBytes(dir / "u.ini"), "[A]\nX=ё\nY=К\n");

  WriteFileBytes(dir / "c.ini", "[A]\nX=\xB8\n");
  ASSERT_TRUE(WriteProfileString("A", "Y", "\xCA", dir / "c.ini"));
  EXPECT_EQ(ReadFileBytes(dir / "c.ini"), "[A]\nX=\xB8\nY=\xCA\n");

  EXPECT_FALSE(WriteProfileString("A", "Y", "1", dir / "no-such-dir" / "x.ini"));
}

TEST(Profile, WriteChangesOnlyTheBytesOfItsLine) {
  TempDir dir;
  // A UTF-8 file with a byte-order mark, a line outside code page 1251 and
  // a last line without its line end.
  const std::string head =
      "\xEF\xBB\xBF[SYSTEM]\r\nNOTE=\xE6\x97\xA5\xE6\x9C\xAC \xD0\x9A\xD0\x98\xD0\xA0\r\n";
  const auto ini = dir / "k.ini";
  WriteFileBytes(ini, head + "TIME=old\r\n\r\n[STA0]\r\nNAME=KIR");
  ASSERT_TRUE(WriteProfileString("SYSTEM", "TIME", "00:00:00 01/03/2007", ini));
  ASSERT_TRUE(WriteProfileString("STA0", "DIR", "/raw", ini));
  EXPECT_EQ(ReadFileBytes(ini),
            head + "TIME=00:00:00 01/03/2007\r\n\r\n[STA0]\r\nNAME=KIR\r\nDIR=/raw\r\n");
  // A last line ending in a lone CR has no line end for a reader that
  // splits at LF: the new line must not be glued to it (found by fuzzing).
  WriteFileBytes(ini, "[SYSTEM]\nA=1\r");
  ASSERT_TRUE(WriteProfileString("SYSTEM", "TIME", "12:00:00 01/03/2007", ini));
  EXPECT_EQ(ReadFileBytes(ini), "[SYSTEM]\nA=1\r\nTIME=12:00:00 01/03/2007\n");
  EXPECT_EQ(GetProfileString("SYSTEM", "TIME", "", 32, ini), "12:00:00 01/03/2007");
  // A code page 1251 file stays one: the other lines' bytes as they were.
  WriteFileBytes(ini, "[\xCA\xC8\xD0]\nDIR=\xE4\xE0\xED\xED\xFB\n[SYSTEM]\nTIME=old\n");
  ASSERT_TRUE(WriteProfileString("SYSTEM", "TIMEQTY", "00:30:00", ini));
  EXPECT_EQ(ReadFileBytes(ini),
            "[\xCA\xC8\xD0]\nDIR=\xE4\xE0\xED\xED\xFB\n[SYSTEM]\nTIME=old\nTIMEQTY=00:30:00\n");
}

#ifdef _WIN32
TEST(Profile, WriteKeepsTheFilesAttributes) {
  TempDir dir;
  const auto ini = dir / "korvel2tqf.ini";
  WriteFileBytes(ini, "[SYSTEM]\nTIME=old\n");
  ASSERT_TRUE(SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(WriteProfileString("SYSTEM", "TIME", "12:00:00 01/01/2007", ini));
  EXPECT_EQ(ReadFileBytes(ini), "[SYSTEM]\nTIME=12:00:00 01/01/2007\n");
  EXPECT_EQ(GetFileAttributesW(ini.c_str()) & FILE_ATTRIBUTE_HIDDEN, DWORD{FILE_ATTRIBUTE_HIDDEN});
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()),
                          std::filesystem::directory_iterator()),
            1);
}
#else
TEST(Profile, WriteGoesThroughASymbolicLinkAndKeepsTheMode) {
  TempDir dir;
  std::filesystem::create_directory(dir / "shared");
  const auto real = dir / "shared" / "korvel2tqf.ini";
  WriteFileBytes(real, "[SYSTEM]\nTIME=old\n");
  ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
  const auto link = dir / "korvel2tqf.ini";
  std::filesystem::create_symlink(std::filesystem::path("shared") / "korvel2tqf.ini", link);
  ASSERT_TRUE(WriteProfileString("SYSTEM", "TIME", "12:00:00 01/01/2007", link));
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_EQ(ReadFileBytes(real), "[SYSTEM]\nTIME=12:00:00 01/01/2007\n");
  struct stat st {};
  ASSERT_EQ(::stat(real.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "shared"),
                          std::filesystem::directory_iterator()),
            1);
  // A link to a file not there yet creates that file.
  const auto dangling = dir / "new.ini";
  std::filesystem::create_symlink(dir / "shared" / "later.ini", dangling);
  ASSERT_TRUE(WriteProfileString("A", "X", "1", dangling));
  EXPECT_TRUE(std::filesystem::is_symlink(dangling));
  EXPECT_EQ(ReadFileBytes(dir / "shared" / "later.ini"), "[A]\nX=1\n");
}
#endif

}  // namespace
}  // namespace korvel
