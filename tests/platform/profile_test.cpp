#include <gtest/gtest.h>

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

}  // namespace
}  // namespace korvel
