// The catalogue's server stops between two raw files of one command.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>

#include "database/database.h"
#include "database/file_list.h"
#include "database/statement.h"
#include "engine/conversion_commands.h"
#include "tests/app/conversion_fixture.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"

namespace korvel::test {
namespace {

namespace fs = std::filesystem;

// The control script that tools/test leaves beside its data sources for the
// server behind `dsn` (it takes "stop" or "start"); none for SQLite.
fs::path ServerControl(const std::string& dsn) {
  const char* dir = std::getenv("KORVEL_TEST_DB_DIR");
  if (dir == nullptr) return {};
  const fs::path script = fs::path(dir) / ("server-" + dsn);
  return fs::exists(script) ? script : fs::path();
}

int ServerControl(const std::string& dsn, const std::string& action) {
  return std::system(
      ("'" + ServerControl(dsn).string() + "' " + action + " >/dev/null 2>&1").c_str());
}

// Starts the server again however the test ends.
struct ServerBack {
  ~ServerBack() {
    if (stopped) ServerControl(dsn, "start");
  }
  std::string dsn;
  bool stopped = false;
};

class TestHost : public ConversionHost {
 public:
  explicit TestHost(std::function<void()> after_first) : m_after_first(std::move(after_first)) {}
  const SelectionList& Selection() const override { return m_selection; }
  bool ScanSubdirectories() const override { return false; }
  void SetStatusText(const std::string&) override {}
  void DisableCommands() override {}
  void EnableCommands() override {}
  Notifier& Operator() override { return notifier; }
  void FileConverted(const std::filesystem::path&, std::uint64_t) override {
    if (++m_converted == 1 && m_after_first) m_after_first();
  }
  RecordingNotifier notifier;

 private:
  SelectionList m_selection{{"KIR", "Z"}};
  std::function<void()> m_after_first;
  int m_converted = 0;
};

TEST_P(ConversionTest, AnOutageStopsTheCommandAndARerunRepairsTheCatalogue) {
  if (ServerControl(GetParam()).empty()) GTEST_SKIP() << "only a server can go away";
  std::vector<std::string> files;
  for (int i = 0; i < 3; ++i) {
    files.push_back(Raw("KIR/f" + std::to_string(i) + ".raw"));
    RawFile("KIR", {"Z"}, kMarch1 + i * 150.0, 100.0, 15000, i * 15000).WriteTo(files.back());
  }
  const auto run = [&](const std::string& root, std::function<void()> after_first) {
    sandbox.WriteTqfIni("[DATA]\nDIR=" + root + "\n");
    fs::create_directories(root);
    CDatabase database;
    EXPECT_EQ(database.OpenEx(TestConnectString(GetParam())), CDatabase::OpenResult::Opened);
    TestHost host(std::move(after_first));
    CFileList catalogue(database, host.notifier);
    FileErrorMessages file_errors(host.notifier);
    OutputWriter writer(catalogue, file_errors);
    const std::vector<std::filesystem::path> paths(files.begin(), files.end());
    const CommandOutcome outcome = ConvertChosenFiles("KIR", paths, paths.front(), host, writer);
    return std::make_pair(outcome, host.notifier.messages);
  };

  // Uninterrupted, for comparison.
  auto [clean, clean_messages] = run(out + "clean/", nullptr);
  EXPECT_EQ(clean.converted, 3);
  EXPECT_FALSE(clean.catalogue_error);
  const auto clean_rows = Rows();
  ASSERT_EQ(clean_rows.size(), 1u);
  EXPECT_DOUBLE_EQ(clean_rows[0].tqty, 450.0);
  db.ExecuteSQL("DELETE FROM FILELIST");
  db.Close();

  // The server goes away once the first file is in.
  ServerBack back{GetParam()};
  auto [broken, messages] =
      run(out + "broken/", [&] { back.stopped = ServerControl(GetParam(), "stop") == 0; });
  ASSERT_TRUE(back.stopped);
  EXPECT_TRUE(broken.catalogue_error);
  EXPECT_EQ(broken.converted, 1);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].caption, "korvel2tqf");
  EXPECT_EQ(messages[0].icon, MessageIcon::Error);
  EXPECT_FALSE(messages[0].text.empty());
  EXPECT_EQ(messages[1].text, "Ошибка конверсии файла '" + files.front() + "'");
  EXPECT_TRUE(fs::exists(out + "broken/KIR/00/01032007-000000-Z.KIR"));  // what was written stays

  ASSERT_EQ(ServerControl(GetParam(), "start"), 0);
  back.stopped = false;
  auto [rerun, rerun_messages] = run(out + "broken/", nullptr);
  EXPECT_EQ(rerun.converted, 3);
  ASSERT_EQ(rerun_messages.size(), 1u);
  EXPECT_EQ(rerun_messages[0].text, "Успешно завершена конверсия 3 файлов");
  const auto rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].cpath, clean_rows[0].cpath);
  EXPECT_EQ(rows[0].tqty, clean_rows[0].tqty);
  EXPECT_EQ(ReadTree(out + "broken/"), ReadTree(out + "clean/"));
}

}  // namespace
}  // namespace korvel::test
