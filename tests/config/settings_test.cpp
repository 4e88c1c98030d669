#include <gtest/gtest.h>

#include <cstdlib>

#include "config/config_files.h"
#include "config/settings.h"
#include "platform/native_path.h"
#include "platform/text1251.h"
#include "tests/support/environment.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

using test::ConfigSandbox;
using test::SetEnv;
using test::UnsetEnv;

// Paths in the ini files are as the operator writes them; the separator the
// program appends is the platform's own.
const std::string kSep(1, kPathSeparator);

TEST(Settings, DefaultsWhenNeitherFileExists) {
  ConfigSandbox sandbox;
  EXPECT_EQ(ReadDataRoot(), "");  // no output root at all, never the file-system root
  const ConnectionKeys keys = ReadConnectionKeys();
  EXPECT_EQ(keys.dsn, "TQF");
  EXPECT_EQ(keys.user, "TQF");
  EXPECT_EQ(keys.password, "KXM");
  EXPECT_EQ(ReadScanSubdirectories(), 0);
  EXPECT_EQ(ReadContinueOutput(), 0);  // files of earlier runs are never continued unasked
  EXPECT_TRUE(ReadStationNames().empty());
  EXPECT_EQ(ReadTimeWindowStart(), "00:00:00 01/01/2007");
  EXPECT_EQ(ReadTimeWindowLength(), "00:30:00");
#ifdef _WIN32
  EXPECT_EQ(ReadStationDataDir("KIR", DataDirUse::DirectoryScan), "C:Data\\");
#else
  EXPECT_EQ(ReadStationDataDir("KIR", DataDirUse::DirectoryScan), "Data/");
#endif
  EXPECT_EQ(ReadStationDataDir("KIR", DataDirUse::FilePicker), kSep);
  EXPECT_EQ(ReadStationDataDir("KIR", DataDirUse::FolderChooser), kSep);
}

#ifdef _WIN32
TEST(Settings, TqfIniIsFoundByEnvironmentThenInTheWindowsDirectory) {
  const char* old = std::getenv("TQF_CONFIG_DIR");
  const std::string saved = old ? old : "";
  SetEnv("TQF_CONFIG_DIR", "D:\\somewhere");
  EXPECT_EQ(TqfIniPath(), std::filesystem::path("D:\\somewhere\\tqf.ini"));
  UnsetEnv("TQF_CONFIG_DIR");
  // Where the profile functions find a bare "tqf.ini".
  const char* windows = std::getenv("WINDIR");
  ASSERT_NE(windows, nullptr);
  EXPECT_EQ(TqfIniPath().filename(), "tqf.ini");
  EXPECT_TRUE(EqualNoCase1251(TqfIniPath().parent_path().string(), windows))
      << TqfIniPath() << " " << windows;
  if (old) SetEnv("TQF_CONFIG_DIR", saved);
  EXPECT_EQ(ProgramIniPath(), "korvel2tqf.ini");
}
#else
TEST(Settings, TqfIniIsFoundByEnvironmentThenXdg) {
  const char* old = std::getenv("TQF_CONFIG_DIR");
  const std::string saved = old ? old : "";
  SetEnv("TQF_CONFIG_DIR", "/etc/somewhere");
  EXPECT_EQ(TqfIniPath(), "/etc/somewhere/tqf.ini");
  UnsetEnv("TQF_CONFIG_DIR");
  SetEnv("XDG_CONFIG_HOME", "/home/op/.cfg");
  EXPECT_EQ(TqfIniPath(), "/home/op/.cfg/tqf/tqf.ini");
  UnsetEnv("XDG_CONFIG_HOME");
  SetEnv("HOME", "/home/op");
  EXPECT_EQ(TqfIniPath(), "/home/op/.config/tqf/tqf.ini");
  if (old) SetEnv("TQF_CONFIG_DIR", saved);
  EXPECT_EQ(ProgramIniPath(), "korvel2tqf.ini");
}
#endif

TEST(Settings, DataRootAndConnectionKeys) {
  ConfigSandbox sandbox;
  sandbox.WriteTqfIni("[DATA]\nDIR=/srv/tqf\n[DATABASE]\nODBC=SEISM\nUSER=op\nPASSWORD=" +
                      std::string(70, 'p') + "\n");
  EXPECT_EQ(ReadDataRoot(), "/srv/tqf" + kSep);
  EXPECT_EQ(ReadConnectionKeys().dsn, "SEISM");
  EXPECT_EQ(ReadConnectionKeys().user, "op");
  EXPECT_EQ(ReadConnectionKeys().password, std::string(70, 'p'));  // a password is never cut
  // The password as UTF-8, whole: as written in a UTF-8 file, converted from a
  // code page 1251 one.
  sandbox.WriteTqfIni("[DATABASE]\nPASSWORD=pässwörd-пароль\n");
  EXPECT_EQ(ReadConnectionKeys().password, "pässwörd-пароль");
  sandbox.WriteTqfIni("[DATABASE]\nPASSWORD=\xEF\xE0\xF0\xEE\xEB\xFC\n");
  EXPECT_EQ(ReadConnectionKeys().password, "пароль");
  sandbox.WriteTqfIni("[DATA]\nDIR=/srv/tqf/\n[DATABASE]\nODBC=" + std::string(40, 'd') + "\n");
  EXPECT_EQ(ReadDataRoot(), "/srv/tqf/");  // re-read on every call
  EXPECT_EQ(ReadConnectionKeys().dsn, std::string(31, 'd'));
  sandbox.WriteTqfIni("[DATA]\nDIR=" + std::string(300, 'r') + "\n");
  EXPECT_EQ(ReadDataRoot(), std::string(255, 'r') + kSep);
}

TEST(Settings, StationListReadsOnlyTheCountedSections) {
  ConfigSandbox sandbox;
  sandbox.WriteProgramIni(
      "[SYSTEM]\nNSTA=3\nSCANDIR=1\nCONTINUE=1\nTIME=12:00:00 01/03/2007\nDIR=/raw\n"
      "[STA0]\nNAME=KIR\n[STA2]\nNAME=КУДА\n[STA3]\nNAME=NEVER\n[STA1]\nNAME=\n"
      "[KIR]\nDIR=/raw/kir\n");
  EXPECT_EQ(ReadStationNames(), (std::vector<std::string>{"KIR", Utf8ToCp1251("КУДА")}));
  EXPECT_EQ(ReadScanSubdirectories(), 1);
  EXPECT_EQ(ReadContinueOutput(), 1);
  EXPECT_EQ(ReadTimeWindowStart(), "12:00:00 01/03/2007");
  EXPECT_EQ(ReadTimeWindowLength(), "00:30:00");
  EXPECT_EQ(ReadStationDataDir("KIR", DataDirUse::DirectoryScan), "/raw/kir" + kSep);
  EXPECT_EQ(ReadStationDataDir("kir", DataDirUse::FilePicker), "/raw/kir" + kSep);
  EXPECT_EQ(ReadStationDataDir("OTHER", DataDirUse::DirectoryScan), "/raw" + kSep);
  EXPECT_EQ(ReadStationDataDir("OTHER", DataDirUse::FolderChooser), "/raw" + kSep);
}

TEST(Settings, TimeWindowIsWrittenBackKeepingTheRest) {
  ConfigSandbox sandbox;
  sandbox.WriteProgramIni("[SYSTEM]\nNSTA=1\n[STA0]\nNAME=KIR\n");
  WriteTimeWindow("01:02:03 04/05/2006", "00:10:00");
  EXPECT_EQ(ReadTimeWindowStart(), "01:02:03 04/05/2006");
  EXPECT_EQ(ReadTimeWindowLength(), "00:10:00");
  EXPECT_EQ(ReadStationNames(), std::vector<std::string>{"KIR"});
}

}  // namespace
}  // namespace korvel
