// One converter per station at a time, between processes: a second one waits
// or leaves the station, and a killed holder blocks nobody.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

class StationLockTest : public ConversionTest {
 protected:
  void SetUp() override {
    ConversionTest::SetUp();
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
            "KORVEL->TQF: В каталогах файла настройки нет файлов для выбраных станций!!!\n");
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
  const auto first =
      CaughtPartWay(Convert("KIR", "0"), [&](pid_t) { other = Cli(Convert("KUDA", "0")); });
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

INSTANTIATE_TEST_SUITE_P(Drivers, StationLockTest, ::testing::ValuesIn(TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(StationLockTest);

}  // namespace
}  // namespace korvel::test
