// What a new user meets first: each missing step gives, after the window's
// own message, one line that names the cause and the step that mends it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

TEST_P(ConversionTest, EachMissingStepIsNamedWithItsRemedy) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  const std::string cwd = fs::current_path().string();
  const std::string tqf_ini = (sandbox.path() / "tqf.ini").string();
  const struct {
    const char* what;
    std::function<void()> break_it;
    std::vector<std::string> args;
    int exit_status;
    std::string line;
  } cases[] = {
      {"no data source",
       [] {},
       {"--dsn", "NOWHERE", "channels", "--station", "KIR"},
       3,
       "korvel2tqf-cli: no ODBC data source \"NOWHERE\" is defined: run 'korvel2tqf-cli "
       "init-catalogue' to make the embedded catalogue and its data source, or name another with "
       "--dsn (or tqf.ini [DATABASE] ODBC=)\n"},
      {"no korvel2tqf.ini",
       [&] { fs::remove(sandbox.path() / "korvel2tqf.ini"); },
       {"convert", "--station", "KIR", "--all-times"},
       7,  // the default raw folder, Data, is not there either
       "korvel2tqf-cli: no korvel2tqf.ini in " + cwd +
           ": it lists the stations (SYSTEM NSTA=, STA0 NAME=) and their raw data folders "
           "([STATION] DIR=); run the command in the folder that holds it\n"},
      {"an empty SITECHAN",
       [&] { db.ExecuteSQL("DELETE FROM SITECHAN"); },
       {"convert", "--station", "KIR", "--all-times"},
       1,
       "korvel2tqf-cli: SITECHAN lists no channel of station KIR: add the channels of its raw "
       "files with 'korvel2tqf-cli add-channels FILE...', or name them with --channel "
       "KIR:CHANNEL\n"},
      {"an unknown station",
       [] {},
       {"convert", "--station", "KIRR", "--all-times"},
       1,
       "korvel2tqf-cli: station KIRR is named by no SITECHAN row and no korvel2tqf.ini entry: "
       "check its spelling\n"},
      {"an output root that is not there",
       [&] { sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "gone\n[DATABASE]\nODBC=" + GetParam()); },
       {"convert", "--station", "KIR", "--all-times"},
       5,
       "korvel2tqf-cli: the output root " + out + "gone/ (tqf.ini [DATA] DIR=, read at " + tqf_ini +
           ") is no folder: make the folder or correct DIR=\n"},
      {"no output root",
       [&] { sandbox.WriteTqfIni("[DATABASE]\nODBC=" + GetParam() + "\n"); },
       {"files", "--station", "KIR", Raw("KIR/a.raw")},
       5,
       "korvel2tqf-cli: tqf.ini was read at " + tqf_ini +
           ": it has no [DATA] DIR= naming the output root\n"},
      {"a misspelt command",
       [] {},
       {"--dsn", GetParam(), "convrt", "--station", "KIR"},
       2,
       "korvel2tqf-cli: 'convrt' is no command; did you mean 'convert'? ('korvel2tqf-cli --help' "
       "lists them)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.break_it();
    const auto r = Cli(c.args);
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    EXPECT_NE(r.err.find(c.line), std::string::npos) << r.err;
  }
}

// Station names given in lower case are taken as the window takes them.
TEST_P(ConversionTest, StationsGivenInLowerCaseAreUpperCased) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  auto r = Cli({"convert", "--station", "kir", "--all-times"});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 1 файлов\n") << r.err;
  r = Cli({"channels", "--station", "kir"});
  EXPECT_EQ(r.out, "Z\t100.000\tx\nN-S\t100.000\tx\nE-W\t100.000\tx\nSH Z\t100.000\t\n");
  r = Cli({"verify", "--station", "kir"});
  EXPECT_EQ(r.out, "problems\t0\n");
}

}  // namespace
}  // namespace korvel::test
