// One converter per station at a time, between processes: a second one waits
// or leaves the station, and a killed holder blocks nobody.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/file_lock.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

class StationLockTest : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
    if (IsSkipped()) return;
    // Long enough to be caught part-way: 200 chaining raw files of KIR.
    for (int i = 0; i < 120; ++i)
      RawFile("KIR", {"Z", "N-S"}, kMarch1 + i * 60.0, 100.0, 6000, i * 6000)
          .WriteTo(Raw("KIR/f" + std::to_string(1000 + i) + ".raw"));
    RawFile("KUDA", {"Z"}, kMarch1, 50.0, 3000).WriteTo(Raw("KUDA/k.raw"));
  }
  std::vector<std::string> Convert(const std::string& station, const std::string& lock_wait) {
    return {"convert", "--station", station, "--all-times", "--lock-wait", lock_wait};
  }
  // Runs `first` and, once it has written its first file, stops it, calls
  // `during` and lets it go on; the result of `first`.
  CommandResult CaughtPartWay(const std::vector<std::string>& first,
                              const std::function<void(pid_t)>& during) {
    return RunCommand("korvel2tqf-cli", first, [&](pid_t pid) {
      for (int waited = 0; ReadTree(out).empty() && waited < 20000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      kill(pid, SIGSTOP);
      during(pid);
      kill(pid, SIGCONT);
    });
  }
  // What one undisturbed run gives: every file and row.
  std::pair<std::map<std::string, std::string>, std::vector<CatalogueRow>> OneRun() {
    const auto r = Cli(Convert("KIR", "0"));
    EXPECT_EQ(r.exit_status, 0) << r.err;
    auto result = std::make_pair(ReadTree(out), Rows());
    fs::remove_all(out);
    fs::create_directories(out);
    db.ExecuteSQL("DELETE FROM FILELIST");
    return result;
  }
  void ExpectSameAs(
      const std::pair<std::map<std::string, std::string>, std::vector<CatalogueRow>>& one) {
    EXPECT_EQ(ReadTree(out), one.first);
    const auto rows = Rows();
    ASSERT_EQ(rows.size(), one.second.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].cpath, one.second[i].cpath);
      EXPECT_EQ(rows[i].tbegin, one.second[i].tbegin);
      EXPECT_EQ(rows[i].tqty, one.second[i].tqty);
    }
  }
};

TEST_P(StationLockTest, ASecondConverterOfTheStationIsLeftOutOrWaits) {
  const auto one = OneRun();
  // Without waiting, the second converter leaves the station at once.
  CommandResult second;
  auto first =
      CaughtPartWay(Convert("KIR", "0"), [&](pid_t) { second = Cli(Convert("KIR", "0")); });
  EXPECT_EQ(first.exit_status, 0) << first.err;
  EXPECT_EQ(second.exit_status, 6) << second.err;
  EXPECT_EQ(second.err,
            "KORVEL->TQF: Станция KIR уже конвертируется другой программой\n"
            "KORVEL->TQF: Ни один файл не конвертирован: блокировка станции не получена\n");
  ExpectSameAs(one);

  // Waiting, it begins once the first has ended, and the result is that of one run.
  fs::remove_all(out);
  fs::create_directories(out);
  db.ExecuteSQL("DELETE FROM FILELIST");
  first = CaughtPartWay(Convert("KIR", "0"), [&](pid_t holder) {
    second = RunCommand("korvel2tqf-cli", Convert("KIR", "120"), [&](pid_t waiting) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      int status = 0;
      EXPECT_EQ(waitpid(waiting, &status, WNOHANG), 0) << "the second converter did not wait";
      kill(holder, SIGCONT);
    });
  });
  EXPECT_EQ(first.exit_status, 0) << first.err;
  EXPECT_EQ(second.exit_status, 0) << second.err;
  ExpectSameAs(one);
}

TEST_P(StationLockTest, ConvertersOfDifferentStationsRunTogether) {
  CommandResult other;
  const auto convert_kuda = [&](pid_t) { other = Cli(Convert("KUDA", "0")); };
  // SQLite has one writer at a time: a converter stopped inside a statement
  // would keep the other waiting for the whole busy timeout, so there the
  // first one goes on while the second runs.
  const auto first =
      db.IsSqlite()
          ? RunCommand("korvel2tqf-cli", Convert("KIR", "0"),
                       [&](pid_t pid) {
                         for (int waited = 0; ReadTree(out).empty() && waited < 20000; ++waited)
                           std::this_thread::sleep_for(std::chrono::milliseconds(1));
                         convert_kuda(pid);
                       })
          : CaughtPartWay(Convert("KIR", "0"), convert_kuda);
  EXPECT_EQ(first.exit_status, 0) << first.err;
  EXPECT_EQ(other.exit_status, 0) << other.err;
  EXPECT_EQ(other.out, "Успешно завершена конверсия 1 файлов\n");
  EXPECT_TRUE(fs::exists(Out("KUDA/00/01032007-000000-Z.KUDA")));
  ExpectFilesAgreeWithRows();
}

TEST_P(StationLockTest, AKilledHolderBlocksNobody) {
  CaughtPartWay(Convert("KIR", "0"), [](pid_t holder) { kill(holder, SIGKILL); });
  EXPECT_TRUE(fs::exists(Out("KIR/.korvel2tqf.lock")));
  const auto r = Cli(Convert("KIR", "0"));
  EXPECT_EQ(r.exit_status, 0) << r.err;
  EXPECT_EQ(r.out, "Успешно завершена конверсия 120 файлов\n");
}

// Short of space, the guard walks the other program's rows at every flush.
// One names the station's lock file, another a second name of a file kept
// elsewhere: neither goes, so a second converter is still kept out of the
// station while the first one holds it.
TEST_P(StationLockTest, TheSpaceGuardLeavesTheLockOfTheConverterItServes) {
#ifndef _WIN32
  // Less free than the guard's reserve from the start.
  if (geteuid() != 0 || mount("tmpfs", out.c_str(), "tmpfs", 0, "size=9m") != 0)
    GTEST_SKIP()
        << "*** cannot mount a small tmpfs (root only): the guard beside a lock untested ***";
  fs::create_directories(Out("KIR"));
  fs::create_directories(Out("keep"));
  WriteFileBytes(Out("keep/kept.dat"), "kept");
  fs::create_hard_link(Out("keep/kept.dat"), Out("KIR/twice.dat"));
  InsertFileRow(db, "KIR", "Z", "KIR/.korvel2tqf.lock", kMarch1 - 7200, 10, 100, "DRANOVEX");
  InsertFileRow(db, "KIR", "Z", "KIR/twice.dat", kMarch1 - 3600, 10, 100, "DRANOVEX");
  CommandResult second;
  const auto first = RunCommand("korvel2tqf-cli", Convert("KIR", "0"), [&](pid_t pid) {
    // Once its first file is there, the guard has run.
    const auto written = [&] {
      std::error_code ec;
      return fs::is_directory(Out("KIR/00"), ec) && !fs::is_empty(Out("KIR/00"), ec);
    };
    for (int waited = 0; !written() && waited < 20000; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, SIGSTOP);
    second = Cli(Convert("KIR", "0"));
    kill(pid, SIGCONT);
  });
  EXPECT_EQ(first.exit_status, 0) << first.err;
  EXPECT_EQ(second.exit_status, 6) << second.err;
  EXPECT_EQ(second.err.rfind("KORVEL->TQF: Станция KIR уже конвертируется другой программой\n", 0),
            0u)
      << second.err;
  EXPECT_TRUE(fs::is_regular_file(Out("KIR/.korvel2tqf.lock")));
  EXPECT_EQ(ReadFileBytes(Out("KIR/twice.dat")), "kept");
  EXPECT_EQ(fs::hard_link_count(Out("keep/kept.dat")), 2u);
  int foreign_rows = 0;
  for (const CatalogueRow& row : Rows())
    foreign_rows += row.cpath == "KIR/.korvel2tqf.lock" || row.cpath == "KIR/twice.dat";
  EXPECT_EQ(foreign_rows, 2);
  umount2(out.c_str(), MNT_DETACH);
#endif
}

// A lock that cannot be taken protects nothing: the station is left, unless
// locks are turned off. A lock file is made as the umask allows, so that a
// group of operators with umask 002 share it.
TEST_P(StationLockTest, ALockThatCannotBeTakenLeavesTheStationUnlessLocksAreOff) {
  fs::create_directories(Out("KIR/.korvel2tqf.lock"));  // no file can be locked there
  auto r = Cli(Convert("KUDA", "0"));
  EXPECT_EQ(r.exit_status, 0) << r.err;
  r = Cli({"convert", "--station", "KIR", "--station", "KUDA", "--all-times"});
  EXPECT_EQ(r.exit_status, 6) << r.err;
  EXPECT_EQ(r.err.rfind("KORVEL->TQF: Станция KIR пропущена: не удаётся заблокировать файл " +
                            Out("KIR/.korvel2tqf.lock") + " (Is a directory)\n",
                        0),
            0u)
      << r.err;
  EXPECT_FALSE(fs::exists(Out("KIR/00")));
  for (const bool in_the_ini : {false, true}) {
    fs::remove_all(Out("KIR/00"));
    db.ExecuteSQL("DELETE FROM FILELIST");
    if (in_the_ini) WriteProgramIni("LOCK=0\n");
    r = Cli(in_the_ini ? Convert("KIR", "0")
                       : std::vector<std::string>{"convert", "--station", "KIR", "--all-times",
                                                  "--no-lock"});
    EXPECT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.out, "Успешно завершена конверсия 120 файлов\n");
  }
  WriteProgramIni();
  fs::remove_all(Out("KIR/.korvel2tqf.lock"));
  fs::remove(Out("KUDA/.korvel2tqf.lock"));
  const mode_t saved = umask(002);
  r = Cli(Convert("KUDA", "0"));
  umask(saved);
  EXPECT_EQ(fs::status(Out("KUDA/.korvel2tqf.lock")).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::group_write | fs::perms::others_read);
}

// Two converters taking the same stations in opposite orders: each holds a
// station only while converting it, so neither waits on the other for long.
TEST_P(StationLockTest, StationsTakenInOppositeOrdersNeverWaitOnEachOther) {
  CommandResult second;
  const auto started = std::chrono::steady_clock::now();
  const auto first = RunCommand(
      "korvel2tqf-cli",
      {"convert", "--station", "KIR", "--station", "KUDA", "--all-times", "--lock-wait", "60"},
      [&](pid_t) {
        for (int waited = 0; ReadTree(out).empty() && waited < 20000; ++waited)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        second = Cli({"convert", "--station", "KUDA", "--station", "KIR", "--all-times",
                      "--lock-wait", "60"});
      });
  EXPECT_EQ(first.exit_status, 0) << first.err;
  EXPECT_EQ(second.exit_status, 0) << second.err;
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(50));
  ExpectFilesAgreeWithRows();
}

// A stop request ends a wait for a station at once.
TEST_P(StationLockTest, AnInterruptEndsALockWaitAtOnce) {
  fs::create_directories(Out("KIR"));
  FileLock held;  // another converter's, as far as the waiting one can tell
  ASSERT_EQ(held.Acquire(Out("KIR/.korvel2tqf.lock"), 0), FileLock::Result::kLocked);
  const fs::path lock = fs::canonical(Out("KIR/.korvel2tqf.lock"));
  std::chrono::steady_clock::time_point interrupted;
  const auto waiting = RunCommand("korvel2tqf-cli", Convert("KIR", "60"), [&](pid_t pid) {
    // Interrupted once it waits: when it holds the lock file open.
    const auto holds_lock_file = [&] {
      std::error_code ec;
      for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
        if (fs::read_symlink(fd.path(), ec) == lock) return true;
      return false;
    };
    for (int waited = 0; !holds_lock_file() && waited < 30000; ++waited)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    interrupted = std::chrono::steady_clock::now();
    kill(pid, SIGINT);
  });
  EXPECT_LT(std::chrono::steady_clock::now() - interrupted, std::chrono::seconds(5));
  EXPECT_EQ(waiting.exit_status, 130) << waiting.err;
  EXPECT_EQ(waiting.out, "Конверсия прервана, конвертировано 0 файлов\n");
  EXPECT_TRUE(Rows().empty());
}

INSTANTIATE_TEST_SUITE_P(Drivers, StationLockTest, ::testing::ValuesIn(TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(StationLockTest);

}  // namespace
}  // namespace korvel::test
