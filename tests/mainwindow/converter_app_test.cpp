#include <gtest/gtest.h>

#include "app/startup_options.h"
#include "app/window/converter_app.h"
#include "tests/support/databases/live_database.h"
#include "tests/support/recording_notifier.h"
#include "tests/support/temp_dir.h"

namespace korvel {
namespace {

TEST(ConverterApp, AFailedConnectionShowsNoWindowAndChecksNoSchema) {
  test::ConfigSandbox sandbox;
  test::RecordingNotifier notifier;
  bool ran = false;
  CConverterApp app(notifier, [&](const StartupOptions&) { ran = true; });
  EXPECT_EQ(app.InitInstance("ODBC=NO_SUCH_DSN CHKDB kir"), 3);
  EXPECT_FALSE(ran);
  EXPECT_FALSE(app.WindowShown());
  EXPECT_FALSE(app.SchemaChecked());
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].text.rfind("DSN=NO_SUCH_DSN;UID=TQF;PWD=***;\n", 0), 0u);
}

TEST(ConverterApp, RunsTheWindowWithTheParsedOptions) {
  const auto dsns = test::TestDsns();
  if (dsns.empty()) GTEST_SKIP() << "*** no data source configured ***";
  test::ConfigSandbox sandbox;
  test::RecordingNotifier notifier;
  std::string station;
  CConverterApp app(notifier, [&](const StartupOptions& o) { station = o.initial_station; });
  EXPECT_EQ(app.InitInstance("kir ODBC=" + dsns.front()), 0);
  EXPECT_TRUE(app.WindowShown());
  EXPECT_FALSE(app.SchemaChecked());
  EXPECT_EQ(station, "KIR");
  CConverterApp checking(notifier, [](const StartupOptions&) {});
  checking.InitInstance("-CHKDB ODBC=" + dsns.front());
  EXPECT_TRUE(checking.SchemaChecked());
}

// The window's PASSWORD= reaches the server as typed (UTF-8, 74 bytes).
TEST(ConverterApp, ThePasswordReachesTheServerAsTyped) {
  int servers = 0;
  for (const std::string& dsn : test::TestDsns()) {
    if (dsn.find("SQLITE") != std::string::npos) continue;  // it asks for no password
    SCOPED_TRACE(dsn);
    ++servers;
    test::ConfigSandbox sandbox;
    test::RecordingNotifier notifier;
    CConverterApp app(notifier, [](const StartupOptions&) {});
    EXPECT_EQ(app.InitInstance("ODBC=" + dsn + " USER=" + test::kWideUser +
                               " PASSWORD=" + test::kWidePassword),
              0);
    EXPECT_TRUE(notifier.messages.empty()) << notifier.messages.front().text;
  }
  if (servers == 0) GTEST_SKIP() << "*** no server data source configured ***";
}

}  // namespace
}  // namespace korvel
