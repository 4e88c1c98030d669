// The edges where data could be lost, mixed or misreported, end to end
// through korvel2tqf-cli: files read back byte for byte, rows read back.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "database/catalogue_schema.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/environment.h"
#include "tests/support/temp_dir.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

TEST_P(ConversionTest, EveryChannelGetsAFileOfItsOwnWholeAndExact) {
  // Long names that share their first eleven characters, and two names that
  // would meet if a space were written as "_", all in one raw file.
  const std::vector<std::string> channels = {"CHANNEL_LONG_A", "CHANNEL_LONG_B", "SH_Z", "SH Z"};
  RawFile("KIR", channels, kMarch1, 100.0, 25000).WriteTo(Raw("KIR/a.raw"));
  std::vector<std::string> args = {"files", "--station", "KIR"};
  for (const std::string& c : channels) args.insert(args.end(), {"--channel", "KIR:" + c});
  args.push_back(Raw("KIR/a.raw"));
  const auto r = Cli(args);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  const std::vector<std::string> names = {"CHANNEL_LONG_A", "CHANNEL_LONG_B", "SH_Z", "SH%20Z"};
  for (std::size_t c = 0; c < channels.size(); ++c)
    EXPECT_EQ(ReadFileBytes(Out("KIR/00/01032007-000000-" + names[c] + ".KIR")),
              ExpectedTqf("KIR", channels[c], static_cast<int>(c), 100.0, kMarch1, 0, 25000))
        << channels[c];
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 4u);
  for (const CatalogueRow& row : rows) EXPECT_DOUBLE_EQ(row.tqty, 250.0) << row.cpath;
  for (std::size_t c = 0; c < channels.size(); ++c)
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(),
                            [&](const CatalogueRow& row) {
                              return row.ch == channels[c] &&
                                     row.cpath == "KIR/00/01032007-000000-" + names[c] + ".KIR";
                            }),
              1)
        << channels[c];
}

// Names that would meet in a file name if one character stood for another,
// converted in runs of their own and in either order: neither replaces the
// other's file or row.
TEST_P(ConversionTest, NamesThatWouldMeetNeverReplaceEachOtherAcrossRuns) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"KIR", "SH Z"}, {"KIR", "SH_Z"}, {"K/R", "Z"}, {"K_R", "Z"}};
  const std::vector<std::string> paths = {
      "KIR/00/01032007-000000-SH%20Z.KIR", "KIR/00/01032007-000000-SH_Z.KIR",
      "K%2FR/00/01032007-000000-Z.K%2FR", "K_R/00/01032007-000000-Z.K_R"};
  for (const bool reversed : {false, true}) {
    SCOPED_TRACE(reversed ? "reversed" : "in order");
    ResetCatalogue(db);
    fs::remove_all(out);
    fs::create_directories(out);
    for (std::size_t n = 0; n < pairs.size(); ++n) {
      const std::size_t i = reversed ? pairs.size() - 1 - n : n;
      const auto& [station, channel] = pairs[i];
      const std::string raw = Raw("KIR/" + std::to_string(i) + ".raw");
      RawFile(station, {channel}, kMarch1, 100.0, 500, static_cast<std::int64_t>(i) * 1000)
          .WriteTo(raw);
      const auto r =
          Cli({"files", "--station", station, "--channel", station + ":" + channel, raw});
      EXPECT_EQ(r.exit_status, 0) << r.err;
    }
    for (std::size_t i = 0; i < pairs.size(); ++i)
      EXPECT_EQ(ReadFileBytes(Out(paths[i])),
                ExpectedTqf(pairs[i].first, pairs[i].second, 0, 100.0, kMarch1, i * 1000, 500))
          << paths[i];
    ExpectFilesAgreeWithRows();
    const auto r = Cli({"verify", "--station", "KIR", "--station", "K/R", "--station", "K_R"});
    EXPECT_EQ(r.out, "problems\t0\n");
  }
}

// A link planted at an output name is refused and counts as a failure; one
// planted as the staging file is replaced. Neither is ever written through.
TEST_P(ConversionTest, NothingIsWrittenThroughALinkPlantedInTheArchive) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 500).WriteTo(Raw("KIR/a.raw"));
  const std::vector<std::string> args = {"files",     "--station", "KIR",
                                         "--channel", "KIR:Z",     Raw("KIR/a.raw")};
  ASSERT_EQ(Cli(args).exit_status, 0);
  const std::string name = Out("KIR/00/01032007-000000-Z.KIR");
  const std::string file = ReadFileBytes(name);
  const fs::path precious = sandbox.path() / "precious";
  for (const bool at_the_name : {false, true}) {
    WriteFileBytes(precious, "not an output file");
    fs::create_symlink(precious, at_the_name ? name : name + ".part");
    if (at_the_name) fs::remove(name + ".part");
    const auto r = Cli(args);
    EXPECT_EQ(ReadFileBytes(precious), "not an output file");
    if (at_the_name) {
      EXPECT_EQ(r.exit_status, 5);
      EXPECT_EQ(r.err.rfind("Korvel->TQF: File create error '" + name + "'\n", 0), 0u) << r.err;
      EXPECT_TRUE(fs::is_symlink(name));
    } else {
      EXPECT_EQ(r.exit_status, 0) << r.err;
      EXPECT_EQ(ReadFileBytes(name), file);
      EXPECT_FALSE(fs::exists(name + ".part"));
      fs::remove(name);
    }
  }
}

// A full output disk: each kind of failure is told once, then how many more.
TEST_P(ConversionTest, AFullDiskIsToldOnceForEachKindOfFailure) {
#ifndef _WIN32
  if (geteuid() != 0 || mount("tmpfs", out.c_str(), "tmpfs", 0, "size=1m") != 0)
    GTEST_SKIP() << "*** cannot mount a small tmpfs (root only): a full disk untested ***";
  for (int i = 0; i < 3; ++i)
    RawFile("KIR", {"Z", "N-S", "E-W"}, kMarch1 + i * 600.0, 100.0, 60000, i * 60000)
        .WriteTo(Raw("KIR/" + std::to_string(i) + ".raw"));
  const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  EXPECT_EQ(r.exit_status, 5);
  std::vector<std::string> told;
  for (std::size_t at = 0; (at = r.err.find("Korvel->TQF: File ", at)) != std::string::npos; ++at)
    told.push_back(r.err.substr(at, r.err.find('\n', at) - at));
  EXPECT_LE(told.size(), 3u) << r.err;
  EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Korvel->TQF: Ещё ошибок того же рода не показано: "), std::string::npos)
      << r.err;
  ExpectFilesAgreeWithRows();
  umount2(out.c_str(), MNT_DETACH);
#endif
}

TEST_P(ConversionTest, ARecorderClockResetTo1970ConvertsWhole) {
  RawFile("KIR", {"Z"}, 0.0, 100.0, 15000).WriteTo(Raw("KIR/reset.raw"));
  const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 1 файлов\n") << r.err;
  EXPECT_EQ(ReadFileBytes(Out("KIR/00/01011970-000000-Z.KIR")),
            ExpectedTqf("KIR", "Z", 0, 100.0, 0.0, 0, 15000));
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].tbegin, 0.0);
  EXPECT_DOUBLE_EQ(rows[0].tqty, 150.0);
}

TEST_P(ConversionTest, RawFilesAreFoundAndOpenedByTheirOwnNames) {
  // UTF-8 with no place in code page 1251, a Latin-1 byte that is no UTF-8, and Cyrillic.
  const std::vector<std::string> names = {
      "donn\xC3\xA9"
      "es.dat",
      "\xE6\x97\xA5\xE6\x9C\xAC.raw", "caf\xE9.raw", "\xD0\xBA\xD0\xB8\xD1\x80.raw"};
  for (std::size_t i = 0; i < names.size(); ++i)
    RawFile("KIR", {"Z"}, kMarch1 + i * 1000.0, 100.0, 100).WriteTo(Raw("KIR/" + names[i]));
  auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 4 файлов\n") << r.err;
  EXPECT_EQ(Rows().size(), 4u);
  db.ExecuteSQL("DELETE FROM FILELIST");
  r = Cli({"dir", "--station", "KIR", Raw("KIR")});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 4 файлов\n") << r.err;
  r = Cli({"files", "--station", "KIR", Raw("KIR/" + names[2])});
  EXPECT_EQ(r.exit_status, 0) << r.err;
  // A failure names the file readably: the byte that is no UTF-8 as \xE9.
  WriteFileBytes(Raw("KIR/bad\xE9.raw"), "not a raw file");
  r = Cli({"files", "--station", "KIR", Raw("KIR/bad\xE9.raw")});
  EXPECT_EQ(r.err, "KORVEL->TQF: Ошибка конверсии файла '" + Raw("KIR/bad\\xE9.raw") + "'\n" +
                       Raw("KIR/bad\\xE9.raw") + ": shorter than the 120-byte header\n");
}

TEST_P(ConversionTest, LinkedDirectoriesAreScannedOnceEachLoopsIncluded) {
  WriteProgramIni("SCANDIR=1\n");
  fs::create_directories(Raw("KIR/sub"));
  fs::create_directories(Raw("elsewhere"));
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z"}, kMarch1 + 100.0, 100.0, 100).WriteTo(Raw("KIR/sub/b.raw"));
  RawFile("KIR", {"Z"}, kMarch1 + 200.0, 100.0, 100).WriteTo(Raw("elsewhere/c.raw"));
  fs::create_directory_symlink(Raw("KIR"), Raw("KIR/sub/loop"));         // back up the tree
  fs::create_directory_symlink(Raw("elsewhere"), Raw("KIR/link"));       // out of it
  fs::create_directory_symlink(Raw("elsewhere"), Raw("KIR/sub/again"));  // the same folder twice
  const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  EXPECT_EQ(r.out, "Успешно завершена конверсия 3 файлов\n") << r.err;
  EXPECT_EQ(Rows().size(), 3u);
}

TEST_P(ConversionTest, WithoutAnOutputRootNothingIsWrittenAnywhere) {
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  const auto before = std::distance(fs::recursive_directory_iterator(sandbox.path()), {});
  for (const std::string& tqf_ini : {std::string("[DATABASE]\nODBC=") + GetParam() + "\n",
                                     "[DATA]\nDIR=\n[DATABASE]\nODBC=" + GetParam() + "\n"}) {
    sandbox.WriteTqfIni(tqf_ini);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"convert", "--all-times"},
                                                 {"files", "--station", "KIR", Raw("KIR/a.raw")},
                                                 {"dir", "--station", "KIR", Raw("KIR")}}) {
      const auto r = Cli(args);
      EXPECT_EQ(r.exit_status, 5) << args[0];
      EXPECT_EQ(r.err,
                "KORVEL->TQF: Не задан каталог для файлов TQF (tqf.ini, раздел DATA, ключ DIR)\n"
                "korvel2tqf-cli: error: tqf.ini was read at " +
                    (sandbox.path() / "tqf.ini").string() +
                    ": it has no [DATA] DIR= naming the output root\n");
      EXPECT_EQ(r.out, "");
    }
  }
  EXPECT_FALSE(fs::exists("/KIR"));
  EXPECT_EQ(std::distance(fs::recursive_directory_iterator(sandbox.path()), {}), before);
  EXPECT_TRUE(Rows().empty());
}

TEST_P(ConversionTest, OutputThatCannotBeWrittenIsNotCountedAsConverted) {
  WriteFileBytes(out + "plain", "a file, not a folder");
  sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "plain\n[DATABASE]\nODBC=" + GetParam() + "\n");
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 100).WriteTo(Raw("KIR/a.raw"));
  const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
  EXPECT_EQ(r.exit_status, 5);
  EXPECT_EQ(r.err, "korvel2tqf-cli: error: the output root " + out +
                       "plain/ (tqf.ini [DATA] DIR=, read at " +
                       (sandbox.path() / "tqf.ini").string() +
                       ") is no folder: make the folder or correct DIR=\n"
                       "Korvel->TQF: File create error '" +
                       out +
                       "plain/KIR/00/01032007-000000-Z.KIR'\n"
                       "  Not a directory\n"
                       "KORVEL->TQF: Ни один файл не конвертирован: ошибка записи файлов TQF\n");
  EXPECT_TRUE(Rows().empty());
}

// Raw files a to e of one channel, chaining; the third insert or every
// update refused, with coalescing on and off.
TEST_P(ConversionTest, ARefusingCatalogueLeavesEveryFileAsItsRowSays) {
  const struct {
    Refusal refusal;
    bool coalesce;
  } cases[] = {{Refusal::Updates, true},
               {Refusal::Updates, false},
               {Refusal::InsertsAfter, true},
               {Refusal::InsertsAfter, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.refusal == Refusal::Updates ? "updates" : "third insert") +
                 (c.coalesce ? ", coalescing" : ", --no-coalesce"));
    ResetCatalogue(db);
    fs::remove_all(out);
    fs::create_directories(out);
    fs::remove_all(Raw("KIR"));
    fs::create_directories(Raw("KIR"));
    // Two channels, each raw file 25 000 frames; the gap before d starts new files.
    for (int i = 0; i < 5; ++i)
      RawFile("KIR", {"Z", "N-S"}, kMarch1 + i * 250.0 + (i >= 3 ? 1000.0 : 0.0), 100.0, 25000,
              i * 25000)
          .WriteTo(Raw("KIR/" + std::string(1, static_cast<char>('a' + i)) + ".raw"));
    RefuseStatements(c.refusal, 2);
    std::vector<std::string> args = {"convert",   "--station", "KIR",       "--all-times",
                                     "--channel", "KIR:Z",     "--channel", "KIR:N-S"};
    if (!c.coalesce) args.push_back("--no-coalesce");
    const auto r = Cli(args);
    EXPECT_EQ(r.exit_status, 4) << r.err;
    ExpectFilesAgreeWithRows();
  }
}

// A raw file whose one row is refused is taken back whole: every file of it
// back to what the run before left, and none of its rows sent again after the
// refusal, whichever channel's row comes first.
TEST_P(ConversionTest, ARefusedRowTakesBackItsWholeRawFile) {
  RawFile("KIR", {"Z", "N-S", "E-W"}, kMarch1, 100.0, 60000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z", "N-S", "E-W"}, kMarch1 + 600.0, 100.0, 60000, 60000)
      .WriteTo(Raw("KIR/b.raw"));
  auto r = Cli({"files", "--continue", "--station", "KIR", Raw("KIR/a.raw")});
  ASSERT_EQ(r.exit_status, 0) << r.err;
  const auto first_run = ReadTree(out);
  ASSERT_EQ(first_run.size(), 3u);

  RefuseFileListUpdatesOf(db, "Z");  // the first of the raw file's rows
  r = Cli({"files", "--continue", "--station", "KIR", Raw("KIR/b.raw")});
  EXPECT_EQ(r.exit_status, 4) << r.err;
  EXPECT_NE(r.err.find("refused"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.find("Успешно"), std::string::npos) << r.out;
  EXPECT_EQ(ReadTree(out), first_run);
  const std::vector<CatalogueRow> rows = Rows();
  EXPECT_EQ(rows.size(), 3u);
  for (const CatalogueRow& row : rows) EXPECT_EQ(row.tqty, 600.0) << row.ch;
  ExpectFilesAgreeWithRows();
}

// A MariaDB session left lax by its server cuts a text too long for its
// column and stores a time it cannot read as zero, and calls both success:
// the program's sessions are strict whatever the server's modes, so the
// conversion fails and no row claims what it does not hold.
TEST_P(ConversionTest, ALaxServerStillRefusesAValueItWouldCutOrZero) {
  if (db.GetDbmsKind() != DbmsKind::MySql) GTEST_SKIP() << "sql_mode is MySQL's and MariaDB's";
  // The test's own data source: the same server, each session made lax first.
  const std::string ini = (sandbox.path() / "odbc.ini").string();
  std::string sources = ReadFileBytes(std::getenv("ODBCINI"));
  const std::size_t from = sources.find("[" + GetParam() + "]");
  ASSERT_NE(from, std::string::npos);
  const std::size_t keys = sources.find('\n', from);
  const std::size_t end = sources.find("\n[", keys);
  sources += "\n[TQF_LAX]" + sources.substr(keys, end == std::string::npos ? end : end - keys) +
             "\nINITSTMT=SET SESSION sql_mode=''\n";
  WriteFileBytes(ini, sources);
  const ScopedVariable own_ini("ODBCINI", ini.c_str());
  sandbox.WriteTqfIni("[DATA]\nDIR=" + out + "\n[DATABASE]\nODBC=TQF_LAX\n");
  RawFile("KIR", {"Z"}, kMarch1, 100.0, 25000).WriteTo(Raw("KIR/a.raw"));

  const struct {
    const char* column;
    const char* type;
    const char* driver_says;
  } cases[] = {{"CPATH", "VARCHAR(20)", "Data too long for column 'CPATH'"},
               {"TBEGIN", "DATETIME", "Incorrect datetime value"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.column);
    db.ExecuteSQL("DROP TABLE FILELIST");
    CreateCatalogueTables(db);
    db.ExecuteSQL(std::string("ALTER TABLE FILELIST MODIFY ") + c.column + " " + c.type);
    fs::remove_all(out);
    fs::create_directories(out);
    const auto r = Cli({"convert", "--station", "KIR", "--all-times"});
    EXPECT_EQ(r.exit_status, 4) << r.err;
    EXPECT_NE(r.err.find(c.driver_says), std::string::npos) << r.err;
    EXPECT_TRUE(Rows().empty());
    ExpectFilesAgreeWithRows();
  }
}

// A raw file's rows are committed together: when its second new file's row
// is refused, the first one's row goes back too, and its file with it.
TEST_P(ConversionTest, ARefusedRowTakesBackEveryRowOfItsRawFile) {
  RawFile("KIR", {"Z", "N-S"}, kMarch1, 100.0, 25000).WriteTo(Raw("KIR/a.raw"));
  RawFile("KIR", {"Z", "N-S"}, kMarch1 + 1000.0, 100.0, 25000, 25000).WriteTo(Raw("KIR/b.raw"));
  RefuseStatements(Refusal::InsertsAfter, 3);  // b's Z row would be the third
  const auto r = Cli({"convert", "--station", "KIR", "--all-times", "--durable"});
  EXPECT_EQ(r.exit_status, 4) << r.err;
  const std::vector<CatalogueRow> rows = Rows();
  ASSERT_EQ(rows.size(), 2u);
  for (const CatalogueRow& row : rows) {
    EXPECT_EQ(row.tbegin, kMarch1) << row.cpath;
    EXPECT_EQ(row.tqty, 250.0) << row.cpath;
  }
  ExpectFilesAgreeWithRows();
}

TEST_P(ConversionTest, AnInterruptStopsCleanlyWithFilesAndRowsInAgreement) {
  for (int i = 0; i < 300; ++i)
    RawFile("KIR", {"Z", "N-S", "E-W"}, kMarch1 + i * 60.0, 100.0, 6000, i * 6000)
        .WriteTo(Raw("KIR/f" + std::to_string(1000 + i) + ".raw"));
  const auto r =
      RunCommand("korvel2tqf-cli", {"convert", "--station", "KIR", "--all-times"}, [&](pid_t pid) {
        // Part-way: once the first output file is there. Stopped while the signal
        // is sent, so that it lands in the middle of the work whatever the speed.
        const auto first = Out("KIR/00/01032007-000000-Z.KIR");
        for (int waited = 0; !fs::exists(first) && waited < 20000; ++waited)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        kill(pid, SIGSTOP);
        kill(pid, SIGINT);
        kill(pid, SIGCONT);
      });
  EXPECT_EQ(r.exit_status, 130) << r.err;
  EXPECT_TRUE(r.out.starts_with("Конверсия прервана, конвертировано ")) << r.out;
  EXPECT_EQ(r.out.find("конвертировано 300 "), std::string::npos) << r.out;
  ExpectFilesAgreeWithRows();
  EXPECT_FALSE(Rows().empty());
}

// A re-conversion over a complete archive cut short by an interrupt, a kill
// or a refused insert (of a channel the archive did not have) leaves every
// older file and row exactly as they were: each replacing hour waits beside
// its older file until it is finished.
TEST_P(ConversionTest, AReconversionCutShortLeavesTheOlderFilesAndRows) {
  for (int i = 0; i < 120; ++i)
    RawFile("KIR", {"Z", "N-S", "E-W"}, kMarch1 + i * 60.0, 100.0, 6000, i * 6000)
        .WriteTo(Raw("KIR/f" + std::to_string(1000 + i) + ".raw"));
  std::vector<std::string> args = {"convert",   "--station", "KIR",       "--all-times",
                                   "--channel", "KIR:Z",     "--channel", "KIR:N-S"};
  const std::string z = Out("KIR/00/01032007-000000-Z.KIR");
  // Signals the run once the first hour's replacement is under way: when its
  // staged file is there, or its older file has changed.
  const auto signal_part_way = [&](int signal) {
    return [&, signal](pid_t pid) {
      const std::uintmax_t whole = fs::file_size(z);
      std::error_code ec;
      for (int waited = 0; waited < 20000; ++waited) {
        if (fs::exists(z + ".part") || fs::file_size(z, ec) != whole) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      kill(pid, SIGSTOP);
      kill(pid, signal);
      kill(pid, SIGCONT);
    };
  };
  const struct {
    const char* fault;
    int signal;  // 0: the catalogue refuses E-W's first row instead
    int exit_status;
  } cases[] = {{"interrupt", SIGINT, 130}, {"kill", SIGKILL, 128 + SIGKILL}, {"refusal", 0, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.fault);
    ResetCatalogue(db);
    fs::remove_all(Out("KIR"));
    ASSERT_EQ(Cli(args).exit_status, 0);
    const auto files = ReadTree(out);
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), 4u);  // two hours of Z and N-S
    auto again = args;
    again.insert(again.end(), {"--channel", "KIR:E-W"});
    CommandResult r;
    if (c.signal != 0) {
      r = RunCommand("korvel2tqf-cli", again, signal_part_way(c.signal));
    } else {
      RefuseStatements(Refusal::InsertsAfter, 4);
      r = Cli(again);
    }
    EXPECT_EQ(r.exit_status, c.exit_status) << r.err;
    const auto now = ReadTree(out);
    for (const auto& [path, bytes] : files) {
      ASSERT_TRUE(now.contains(path)) << path;
      EXPECT_TRUE(now.at(path) == bytes) << path << " changed";
    }
    std::size_t found = 0;
    for (const CatalogueRow& row : Rows())
      for (const CatalogueRow& older : rows)
        if (row.cpath == older.cpath) {
          ++found;
          EXPECT_EQ(row.tbegin, older.tbegin) << row.cpath;
          EXPECT_EQ(row.tqty, older.tqty) << row.cpath;
        }
    EXPECT_EQ(found, rows.size());
    // A kill may leave a staged file, or one longer than its row, for
    // verify --fix; the others settle everything.
    if (c.signal != SIGKILL) ExpectFilesAgreeWithRows();
  }
}

// A raw file with more channels than the process may keep files open.
TEST_P(ConversionTest, ManyChannelsConvertUnderALowDescriptorLimit) {
  std::vector<std::string> channels;
  std::vector<std::string> args = {"-c",
                                   "ulimit -n 32 && exec \"$0\" \"$@\"",
                                   BinDir() + "/korvel2tqf-cli",
                                   "files",
                                   "--station",
                                   "KIR"};
  for (int c = 0; c < 40; ++c) {
    channels.push_back("C" + std::to_string(c));
    args.insert(args.end(), {"--channel", "KIR:" + channels.back()});
  }
  RawFile("KIR", channels, kMarch1, 100.0, 30000).WriteTo(Raw("KIR/a.raw"));
  args.push_back(Raw("KIR/a.raw"));
  const auto r = RunCommand("/bin/sh", args);
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(Rows().size(), 40u);
  ExpectFilesAgreeWithRows();
}

}  // namespace
}  // namespace korvel::test
