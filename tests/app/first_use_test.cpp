// What a new user meets first: each missing step gives, after the window's
// own message, one line that names the cause and the step that mends it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/environment.h"

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
       [&] { sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "\n"); },
       {"channels", "--station", "KIR"},
       3,
       "korvel2tqf-cli: error: no ODBC data source \"TQF\" is defined: run 'korvel2tqf-cli "
       "init-catalogue' to make the embedded catalogue and its data source, or name another with "
       "--dsn (or tqf.ini [DATABASE] ODBC=)\n"},
      {"no data source of the name given",
       [] {},
       {"--dsn", "NOWHERE", "channels", "--station", "KIR"},
       3,
       "korvel2tqf-cli: error: no ODBC data source \"NOWHERE\" (given with --dsn) is "
       "defined: run "
       "'korvel2tqf-cli --dsn NOWHERE init-catalogue' to make the embedded catalogue under that "
       "name, or name a data source that is defined\n"},
      {"no data source of the name in tqf.ini",
       [&] { sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "\n[DATABASE]\nODBC=NOWHERE\n"); },
       {"channels", "--station", "KIR"},
       3,
       "korvel2tqf-cli: error: no ODBC data source \"NOWHERE\" (tqf.ini [DATABASE] ODBC=, "
       "read at " +
           tqf_ini +
           ") is defined: run 'korvel2tqf-cli --dsn NOWHERE init-catalogue' to make the embedded "
           "catalogue under that name, or name a data source that is defined\n"},
      {"no korvel2tqf.ini",
       [&] { fs::remove(sandbox.path() / "korvel2tqf.ini"); },
       {"convert", "--station", "KIR", "--all-times"},
       7,  // the default raw folder, Data, is not there either
       "korvel2tqf-cli: error: no korvel2tqf.ini in " + cwd +
           ": it lists the stations (SYSTEM NSTA=, STA0 NAME=) and their raw data folders "
           "([STATION] DIR=); run the command in the folder that holds it\n"},
      {"an empty SITECHAN",
       [&] { db.ExecuteSQL("DELETE FROM SITECHAN"); },
       {"convert", "--station", "KIR", "--all-times"},
       1,
       "korvel2tqf-cli: error: SITECHAN lists no channel of station KIR: add the channels of its "
       "raw "
       "files with 'korvel2tqf-cli add-channels FILE...', or name them with --channel "
       "KIR:CHANNEL\n"},
      {"an unknown station",
       [] {},
       {"convert", "--station", "KIRR", "--all-times"},
       1,
       "korvel2tqf-cli: error: station KIRR is named by no SITECHAN row and no korvel2tqf.ini "
       "entry: "
       "check its spelling\n"},
      {"an output root that is not there",
       [&] { sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "gone\n[DATABASE]\nODBC=" + GetParam()); },
       {"convert", "--station", "KIR", "--all-times"},
       5,
       "korvel2tqf-cli: error: the output root " + out + "gone/ (tqf.ini [DATA] DIR=, read at " +
           tqf_ini + ") is no folder: make the folder or correct DIR=\n"},
      {"no output root",
       [&] { sandbox.WriteTqfIni("[DATABASE]\nODBC=" + GetParam() + "\n"); },
       {"files", "--station", "KIR", Raw("KIR/a.raw")},
       5,
       "korvel2tqf-cli: error: tqf.ini was read at " + tqf_ini +
           ": it has no [DATA] DIR= naming the output root\n"},
      {"a misspelt command",
       [] {},
       {"--dsn", GetParam(), "convrt", "--station", "KIR"},
       2,
       "korvel2tqf-cli: error: 'convrt' is no command; did you mean 'convert'? ('korvel2tqf-cli "
       "--help' "
       "lists them)\n"},
      {"a misspelt option",
       [] {},
       {"--dsm", GetParam(), "channels", "--station", "KIR"},
       2,
       "korvel2tqf-cli: error: '--dsm' is no option; did you mean '--dsn'? ('korvel2tqf-cli "
       "--help' lists them)\n"},
      {"a misspelt option of a command",
       [] {},
       {"convert", "--statoin", "KIR"},
       2,
       "korvel2tqf-cli: error: '--statoin' is no option of 'convert'; did you mean '--station'? "
       "('korvel2tqf-cli convert --help' lists them)\n"},
      {"channels of an empty SITECHAN",
       [&] { db.ExecuteSQL("DELETE FROM SITECHAN"); },
       {"channels", "--station", "KIR"},
       1,
       "korvel2tqf-cli: error: SITECHAN is empty: list the channels of your raw files with "
       "'korvel2tqf-cli add-channels FILE...'\n"},
      {"channels of a station SITECHAN does not list",
       [] {},
       {"channels", "--station", "KIRR"},
       1,
       "korvel2tqf-cli: error: SITECHAN lists no channel of station KIRR (it lists KIR, KUDA): "
       "check the name, or add the station's channels with 'korvel2tqf-cli add-channels "
       "FILE...'\n"},
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

// A conversion that finds nothing to convert says why, station by station,
// naming the folder it looked in and the key that named it.
TEST_P(ConversionTest, EachCauseOfNothingFoundNamesTheFolderLookedIn) {
  const std::string kir = Raw("KIR/");
  const std::string no_files =
      "KORVEL->TQF: В каталогах файла настройки нет файлов для выбраных "
      "станций!!!\nkorvel2tqf-cli: error: station KIR: ";
  const auto only_kir = [&](const std::string& kir_dir, const std::string& system = "") {
    sandbox.WriteProgramIni("[SYSTEM]\nNSTA=1\n" + system +
                            "[STA0]\nNAME=KIR\n[KIR]\nDIR=" + Raw(kir_dir) + "\n");
  };
  const std::string unnamed =
      "korvel2tqf-cli: warning: korvel2tqf.ini names no station KUDA (no [STAn] NAME=KUDA, no "
      "[KUDA] DIR=): its raw files were looked for in ";
  const struct {
    const char* what;
    std::function<void()> set_up;
    std::vector<std::string> args;
    int exit_status;
    std::string err;
  } cases[] = {
      {"an empty folder",
       [] {},
       {"convert", "--station", "KIR", "--all-times"},
       1,
       no_files + "the raw folder " + kir + " (korvel2tqf.ini [KIR] DIR=) holds no files\n"},
      {"a folder of another station's files",
       [&] { RawFile("KUDA", {"Z"}, kMarch1, 50.0, 10).WriteTo(Raw("KIR/kuda.raw")); },
       {"convert", "--station", "KIR", "--all-times"},
       1,
       no_files + "none of the 1 files in the raw folder " + kir +
           " (korvel2tqf.ini [KIR] DIR=) is a raw file of KIR\n"},
      {"a misspelt folder",
       [&] { only_kir("KIRR"); },
       {"convert", "--station", "KIR", "--all-times"},
       7,  // a raw folder that cannot be listed is raw data left
       "Korvel->TQF: raw folder " + Raw("KIRR/") +
           " cannot be read (No such file or directory); its files are left\nKORVEL->TQF: Ни "
           "один файл не конвертирован целиком: часть выбранных данных оставлена\n"
           "korvel2tqf-cli: error: station KIR: the raw folder " +
           Raw("KIRR/") +
           " (korvel2tqf.ini [KIR] DIR=) is not there: name the folder of its raw files with "
           "[KIR] DIR= in korvel2tqf.ini\n"},
      {"a station korvel2tqf.ini does not name, found in SYSTEM DIR",
       [&] {
         only_kir("KIR", "DIR=" + Raw("KUDA") + "\n");
         RawFile("KUDA", {"Z"}, kMarch1, 50.0, 10).WriteTo(Raw("KUDA/a.raw"));
       },
       {"convert", "--station", "KUDA", "--all-times"},
       0,
       unnamed + Raw("KUDA/") +
           " (korvel2tqf.ini [SYSTEM] DIR=); name the station there, with DIR= the folder of "
           "its raw files\n"},
      {"a station korvel2tqf.ini does not name, looked for in the default folder",
       [&] { only_kir("KIR"); },
       {"convert", "--station", "KUDA", "--all-times"},
       7,
       "Korvel->TQF: raw folder Data/ cannot be read (No such file or directory); its files are "
       "left\nKORVEL->TQF: Ни один файл не конвертирован целиком: часть выбранных данных "
       "оставлена\n" +
           unnamed +
           "Data/ (the default: korvel2tqf.ini has no [KUDA] DIR= or [SYSTEM] DIR=); name the "
           "station there, with DIR= the folder of its raw files\nkorvel2tqf-cli: error: station "
           "KUDA: the raw folder Data/ (the default: korvel2tqf.ini has no [KUDA] DIR= or "
           "[SYSTEM] DIR=) is not there: name the folder of its raw files with [KUDA] DIR= in "
           "korvel2tqf.ini\n"},
      {"a time window with no files",
       [&] {
         RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
         RawFile("KIR", {"Z"}, kMarch1 + 7200.0, 100.0, 100).WriteTo(Raw("KIR/b.raw"));
       },
       {"convert", "--station", "KIR", "--start", "00:00:00 02/03/2007", "--length", "01:30:00"},
       1,
       no_files + "none of the 2 raw files of KIR in the raw folder " + kir +
           " (korvel2tqf.ini [KIR] DIR=) overlaps the time window 00:00:00 02/03/2007 + "
           "01:30:00: give another with --start and --length, or take every time with "
           "--all-times\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(sandbox.path() / "raw");
    SetUp();
    c.set_up();
    const auto r = Cli(c.args);
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    EXPECT_EQ(r.err, c.err);
  }
}

// A time that is not exactly "hh:mm:ss dd/mm/yyyy" or a length that is not
// exactly "hh:mm:ss" is refused before anything is read, wherever it comes
// from and whichever command takes it.
TEST_P(ConversionTest, TimesThatAreNotTimesAreRefused) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  const std::string length_form =
      "hh:mm:ss (hours 00 to 99, minutes and seconds 00 to 59; 00:00:00 takes every time)";
  const std::string start_form = "\"hh:mm:ss dd/mm/yyyy\" (a date that exists, from 1970 on)";
  const auto length_option = [&](const std::string& text) {
    return "Ошибка: Введено ошибочное время '" + text +
           "'\nkorvel2tqf-cli: error: --length wants " + length_form + ", not '" + text + "'\n";
  };
  const auto start_option = [&](const std::string& text) {
    return "Ошибка: Введено ошибочное время '" + text + "'\nkorvel2tqf-cli: error: --start wants " +
           start_form + ", not '" + text + "'\n";
  };
  const std::vector<std::string> convert = {"convert", "--station", "KIR"};
  const auto with = [](std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
  };
  const struct {
    std::string saved;  // SYSTEM's time keys in korvel2tqf.ini
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {"", with(convert, {"--length", "abc"}), length_option("abc")},
      {"", with(convert, {"--length", "99:99:99"}), length_option("99:99:99")},
      {"", with(convert, {"--length", "-01:00:00"}), length_option("-01:00:00")},
      {"", with(convert, {"--length", "1h"}), length_option("1h")},
      {"", with(convert, {"--length", "1 hour"}), length_option("1 hour")},
      {"", with(convert, {"--length", "5"}), length_option("5")},
      {"", with(convert, {"--length", "1:00:00"}), length_option("1:00:00")},
      {"", with(convert, {"--length", "00:60:00"}), length_option("00:60:00")},
      {"", with(convert, {"--start", "00:00:00 01/03/2007x"}),
       start_option("00:00:00 01/03/2007x")},
      {"", with(convert, {"--start", "00:00:00 31/02/2007"}), start_option("00:00:00 31/02/2007")},
      {"", with(convert, {"--start", "00:00:00 29/02/2007"}), start_option("00:00:00 29/02/2007")},
      {"", with(convert, {"--start", "0:00:00 01/03/2007"}), start_option("0:00:00 01/03/2007")},
      {"", with(convert, {"--start", "00:00:00 1/3/2007"}), start_option("00:00:00 1/3/2007")},
      {"", with(convert, {"--start", "25:00:00 01/03/2007"}), start_option("25:00:00 01/03/2007")},
      {"", {"coverage", "--station", "KIR", "--length", "1h"}, length_option("1h")},
      {"",
       {"coverage", "--station", "KIR", "--start", "00:00:00 31/02/2007"},
       start_option("00:00:00 31/02/2007")},
      {"",
       {"export-sds", (sandbox.path() / "sds").string(), "--station", "KIR", "--length", "abc"},
       length_option("abc")},
      {"TIME=00:00:00 01/03/2007\nTIMEQTY=abc\n", convert,
       "Ошибка: Введено ошибочное время 'abc'\nkorvel2tqf-cli: error: korvel2tqf.ini [SYSTEM] "
       "TIMEQTY=abc is not " +
           length_form + ": correct it there, or give --length (or --all-times)\n"},
      {"TIME=00:00:00 01/03/2007\nTIMEQTY=5\n",
       {"coverage", "--station", "KIR"},
       "Ошибка: Введено ошибочное время '5'\nkorvel2tqf-cli: error: korvel2tqf.ini [SYSTEM] "
       "TIMEQTY=5 is not " +
           length_form + ": correct it there, or give --length (or --all-times)\n"},
      {"TIME=00:00:00 31/02/2007\nTIMEQTY=01:00:00\n", convert,
       "Ошибка: Введено ошибочное время '00:00:00 31/02/2007'\nkorvel2tqf-cli: error: "
       "korvel2tqf.ini [SYSTEM] TIME=00:00:00 31/02/2007 is not " +
           start_form + ": correct it there, or give --start (or --all-times)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    SetUp();
    if (!c.saved.empty())
      sandbox.WriteProgramIni("[SYSTEM]\nNSTA=1\n" + c.saved +
                              "[STA0]\nNAME=KIR\n[KIR]\nDIR=" + Raw("KIR") + "\n");
    const auto r = Cli(c.args);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Rows().empty());
  }
}

// A file that gives nothing is named on standard error with the reason, one
// line a file, by info and by files; the exit statuses stay.
TEST_P(ConversionTest, EveryRefusedRawFileSaysWhy) {
  const auto file = [&](const std::string& name) { return Raw(name); };
  const struct {
    const char* name;
    std::function<void(const std::string&)> make;
    std::vector<std::string> command;  // the file follows
    std::string reason;
    int status = 1;  // a file that cannot be read is raw data left, told by the conversion
  } cases[] = {
      {"notes.txt",
       [](const std::string& p) { WriteFileBytes(p, "a text, not a recording\n"); },
       {"info"},
       "shorter than the 120-byte header"},
      {"long.txt",
       [](const std::string& p) { WriteFileBytes(p, std::string(400, 'x')); },
       {"info"},
       "no start date: month or day out of range"},
      {"empty.raw",
       [](const std::string& p) { WriteFileBytes(p, ""); },
       {"info"},
       "shorter than the 120-byte header"},
      {"missing.raw", [](const std::string&) {}, {"info"}, "no such file"},
      {"folder.raw",
       [](const std::string& p) { fs::create_directory(p); },
       {"info"},
       "is a directory"},
      {"table.raw",
       [&](const std::string& p) {
         RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 10).TruncateTo(120 + 72 + 8).WriteTo(p);
       },
       {"info"},
       "shorter than its own channel table"},
      {"notes.txt",
       [](const std::string& p) { WriteFileBytes(p, "a text, not a recording\n"); },
       {"files", "--station", "KIR"},
       "shorter than the 120-byte header"},
      {"missing.raw",
       [](const std::string&) {},
       {"files", "--station", "KIR"},
       "cannot be read (No such file or directory); it is left",
       7},
      {"kuda.raw",
       [&](const std::string& p) { RawFile("KUDA", {"Z"}, kMarch1, 50.0, 10).WriteTo(p); },
       {"files", "--station", "KIR"},
       "a raw file of station KUDA, not KIR: give --station KUDA"},
      {"bhz.raw",
       [&](const std::string& p) {
         RawFile("KIR", {"BHZ", "BHN"}, kMarch1, 100.0, 10).WriteTo(p);
       },
       {"files", "--station", "KIR"},
       "none of its channels (BHZ, BHN) is selected for station KIR: name one with --channel "
       "KIR:CHANNEL"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.command.front());
    SetUp();
    const std::string path = file(c.name);
    c.make(path);
    std::vector<std::string> args = c.command;
    args.push_back(path);
    const auto r = Cli(args);
    EXPECT_EQ(r.exit_status, c.status);
    EXPECT_EQ(r.out, "");
    const std::string summary =
        c.command.front() == "files" ? "KORVEL->TQF: Ошибка конверсии файла '" + path + "'\n" : "";
    if (c.status == 7)
      EXPECT_EQ(r.err, "Korvel->TQF: raw file " + path + " " + c.reason + "\n" + summary);
    else
      EXPECT_EQ(r.err, summary + path + ": " + c.reason + "\n");
  }
}

// A password is masked as a whole word wherever a usage error repeats the
// command line: no letter of it shows, and no other word is touched.
TEST_P(ConversionTest, AUsageErrorMasksWholePasswordsAndNothingElse) {
  const std::string help = "Run with --help or --help-all for more information.\n";
  const struct {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--password", "e", "channels", "--station", "KIR", "extra"},
       "korvel2tqf-cli: error: The following argument was not expected: extra\n" + help},
      {{"--password=was", "channels", "--station", "KIR", "extra"},
       "korvel2tqf-cli: error: The following argument was not expected: extra\n" + help},
      {{"--password", "extra", "channels", "--station", "KIR", "extra"},
       "korvel2tqf-cli: error: The following argument was not expected: extra\n" + help},
      {{"--pasword", "e", "channels", "--station", "KIR"},
       "korvel2tqf-cli: error: '--pasword' is no option; did you mean '--password'? "
       "('korvel2tqf-cli --help' lists them)\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    const auto r = Cli(c.args);
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.err, c.err);
  }
}

// A server that refuses the login is told where the user name and the
// password came from, and how to give another.
TEST_P(ConversionTest, ARefusedLoginNamesWhereThePasswordCameFrom) {
  if (db.IsSqlite()) GTEST_SKIP() << "SQLite asks for no password";
  const std::string tqf_ini = (sandbox.path() / "tqf.ini").string();
  const fs::path password_file = sandbox.path() / "password";
  const std::string default_user =
      "user \"TQF\" (the default: tqf.ini, read at " + tqf_ini + ", has no [DATABASE] USER=)";
  const struct {
    const char* what;
    std::function<void()> set_up;
    std::vector<std::string> args;
    std::string login;
  } cases[] = {
      {"an option",
       [] {},
       {"--password", "wrong"},
       default_user + " with the password given with --password"},
      {"a file",
       [&] { WriteFileBytes(password_file, "wrong\n"); },
       {"--password-file", password_file.string()},
       default_user + " with the password read from --password-file " + password_file.string()},
      {"the environment",
       [] { SetEnv("KORVEL2TQF_PASSWORD", "wrong"); },
       {},
       default_user + " with the password in KORVEL2TQF_PASSWORD"},
      {"tqf.ini",
       [&] {
         sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "\n[DATABASE]\nODBC=" + GetParam() +
                             "\nPASSWORD=wrong\n");
       },
       {},
       default_user + " with the password of tqf.ini [DATABASE] PASSWORD= (read at " + tqf_ini +
           ")"},
      {"the default",
       [] {},
       {"--user", "TQFDML"},
       "user \"TQFDML\" (given with --user) with the password that is the default (tqf.ini, read "
       "at " +
           tqf_ini + ", has no [DATABASE] PASSWORD=)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SetUp();
    c.set_up();
    std::vector<std::string> args = c.args;
    for (const char* word : {"channels", "--station", "KIR"}) args.push_back(word);
    const auto r = Cli(args);
    UnsetEnv("KORVEL2TQF_PASSWORD");
    EXPECT_EQ(r.exit_status, 3);
    const std::string line = "korvel2tqf-cli: error: the data source \"" + GetParam() +
                             "\" refused the login of " + c.login +
                             ": give the right one with --password-file FILE or "
                             "KORVEL2TQF_PASSWORD, or PASSWORD= under [DATABASE] in tqf.ini\n";
    EXPECT_NE(r.err.find(line), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("wrong"), std::string::npos) << r.err;
  }
}

// Whatever fails, the program speaks under its own name: a catalogue error,
// a usage error and its own hints alike; only the window's boxes keep their
// captions.
TEST_P(ConversionTest, TheProgramsOwnMessagesCarryOneCaption) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  const struct {
    std::function<void()> break_it;
    std::vector<std::string> args;
    int exit_status;
  } cases[] = {
      {[&] { db.ExecuteSQL("DROP TABLE SITECHAN"); },
       {"convert", "--station", "KIR", "--all-times"},
       4},
      {[&] { db.ExecuteSQL("DROP TABLE SITECHAN"); }, {"add-channels", Raw("KIR/a.raw")}, 4},
      {[&] { db.ExecuteSQL("DROP TABLE SITECHAN"); }, {"channels", "--station", "KIR"}, 4},
      {[] {}, {"channels"}, 2},
      {[] {}, {"convert", "--channel", "KIR"}, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args));
    SetUp();
    c.break_it();
    const auto r = Cli(c.args);
    EXPECT_EQ(r.exit_status, c.exit_status);
    EXPECT_EQ(r.err.rfind("korvel2tqf-cli: error: ", 0), 0u) << r.err;
    EXPECT_EQ(r.err.find("korvel2tqf: "), std::string::npos) << r.err;
  }
}

// add-channels ends by naming what is left before a conversion: the stations
// korvel2tqf.ini does not name yet, then the conversion itself.
TEST_P(ConversionTest, AddChannelsEndsByNamingTheNextStep) {
  const struct {
    const char* station;
    std::string next;
  } cases[] = {
      {"KIR", "korvel2tqf-cli: next: convert there: korvel2tqf-cli convert --station KIR\n"},
      {"NEW",
       "korvel2tqf-cli: next: name NEW in korvel2tqf.ini in the folder you work in ([SYSTEM] "
       "NSTA=, [STAn] NAME=, and each station's DIR= its raw files' folder); then convert there: "
       "korvel2tqf-cli convert --station NEW\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.station);
    SetUp();
    RawFile(c.station, {"Z", "BHZ"}, kMarch1, 100.0, 10).WriteTo(Raw("a.raw"));
    const auto r = Cli({"add-channels", Raw("a.raw")});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    ASSERT_GE(r.err.size(), c.next.size()) << r.err;
    EXPECT_EQ(r.err.substr(r.err.size() - c.next.size()), c.next) << r.err;
  }
}

// init-catalogue ends by naming what is left: the data source's name in
// tqf.ini when it is not the one tqf.ini names, the output root when there is
// none, then the channels.
TEST(FirstUse, InitCatalogueEndsByNamingTheNextStep) {
  const struct {
    std::string tqf_ini;
    std::vector<std::string> args;  // init-catalogue --database FILE follows
    std::string next;               // TQF_INI stands for tqf.ini's path
  } cases[] = {
      {"",
       {},
       "name the folder for the TQF files with [DATA] DIR= in tqf.ini (TQF_INI); then "
       "list the channels of your raw files in SITECHAN: korvel2tqf-cli add-channels "
       "FILE..."},
      {"[DATA]\nDIR=/tmp\n",
       {"--dsn", "OWN"},
       "put ODBC=OWN under [DATABASE] in tqf.ini (TQF_INI) so that every command and the window "
       "use it; then list the channels of your raw files in SITECHAN: korvel2tqf-cli --dsn OWN "
       "add-channels FILE..."},
      {"[DATA]\nDIR=/tmp\n[DATABASE]\nODBC=OWN\n",
       {"--dsn", "OWN"},
       "list the channels of your raw files in SITECHAN: korvel2tqf-cli add-channels FILE..."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.next);
    ConfigSandbox sandbox;
    const ScopedVariable odbc_ini("ODBCINI", (sandbox.path() / "odbc.ini").c_str());
    if (!c.tqf_ini.empty()) sandbox.WriteTqfIni(c.tqf_ini);
    std::vector<std::string> args = c.args;
    args.insert(args.end(),
                {"init-catalogue", "--database", (sandbox.path() / "c.sqlite").string()});
    const auto r = RunCommand("korvel2tqf-cli", args);
    EXPECT_EQ(r.exit_status, 0) << r.err;
    std::string next = "korvel2tqf-cli: next: " + c.next + "\n";
    if (const std::size_t at = next.find("TQF_INI"); at != std::string::npos)
      next.replace(at, 7, (sandbox.path() / "tqf.ini").string());
    EXPECT_EQ(r.err, next);
  }
}

// Without the SQLite ODBC driver, init-catalogue names the package that
// brings it, and registers nothing that could not open.
TEST(FirstUse, InitCatalogueWithoutTheSqliteDriverNamesItsPackage) {
  ConfigSandbox sandbox;
  fs::create_directory(sandbox.path() / "odbcinst");
  WriteFileBytes(sandbox.path() / "odbcinst" / "odbcinst.ini",
                 "[PostgreSQL Unicode]\nDriver=psqlodbcw.so\n");
  const ScopedVariable drivers("ODBCSYSINI", (sandbox.path() / "odbcinst").c_str());
  const ScopedVariable odbc_ini("ODBCINI", (sandbox.path() / "odbc.ini").c_str());
  const auto r = RunCommand(
      "korvel2tqf-cli", {"init-catalogue", "--database", (sandbox.path() / "c.sqlite").string()});
  EXPECT_EQ(r.exit_status, 3);
  EXPECT_EQ(r.err,
            "korvel2tqf-cli: error: the SQLite ODBC driver \"SQLite3\" is not installed "
            "(unixODBC's odbcinst.ini names no such driver): install the package libsqliteodbc "
            "(as root: apt install libsqliteodbc), then run init-catalogue again; nothing was "
            "registered\n");
  EXPECT_FALSE(fs::exists(sandbox.path() / "odbc.ini"));
  EXPECT_FALSE(fs::exists(sandbox.path() / "c.sqlite"));
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
