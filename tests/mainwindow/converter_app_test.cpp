#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include "app/startup_options.h"
#include "app/window/converter_app.h"
#include "database/data_source_names.h"
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
  EXPECT_NE(notifier.messages[0].text.find("\n\nDSN=NO_SUCH_DSN;UID=TQF;PWD=***;\n"),
            std::string::npos);
}

// A data source that is not there: one box that says in Russian what to run,
// for the name it was given, with the driver's text below.
TEST(ConverterApp, AMissingDataSourceNamesTheCommandThatMakesIt) {
  struct Case {
    const char* what;
    const char* tqf_ini;
    const char* command_line;
    const char* hint;  // the box's first line
    const char* run;   // its second
  };
  const Case cases[] = {
      {"the default", "", "",
       "Источник данных ODBC «TQF» не определён. Создайте встроенный каталог и его источник "
       "данных командой",
       "    korvel2tqf-cli init-catalogue"},
      {"ODBC= when started", "", "ODBC=NO_SUCH_DSN",
       "Источник данных ODBC «NO_SUCH_DSN» (задан ODBC= при запуске) не определён. Создайте "
       "встроенный каталог под этим именем командой",
       "    korvel2tqf-cli --dsn NO_SUCH_DSN init-catalogue"},
      {"tqf.ini", "[DATABASE]\nODBC=NOPE\n", "",
       "Источник данных ODBC «NOPE» (задан в {tqf.ini}, раздел DATABASE, ключ ODBC) не определён. "
       "Создайте встроенный каталог под этим именем командой",
       "    korvel2tqf-cli --dsn NOPE init-catalogue"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::ConfigSandbox sandbox;
    if (*c.tqf_ini == '\0' && *c.command_line == '\0' && DataSourceDefined("TQF"))
      continue;  // this machine has one
    sandbox.WriteTqfIni(c.tqf_ini);
    test::RecordingNotifier notifier;
    CConverterApp app(notifier, [](const StartupOptions&) {});
    EXPECT_EQ(app.InitInstance(c.command_line), CConverterApp::kCatalogueUnavailable);
    ASSERT_EQ(notifier.messages.size(), 1u);
    const QStringList lines = QString::fromStdString(notifier.messages[0].text).split('\n');
    ASSERT_GE(lines.size(), 5);
    std::string hint = c.hint;
    if (const auto at = hint.find("{tqf.ini}"); at != std::string::npos)
      hint.replace(at, 9, (sandbox.path() / "tqf.ini").string());
    EXPECT_EQ(lines[0].toStdString(), hint);
    EXPECT_EQ(lines[1].toStdString(), c.run);
    EXPECT_EQ(lines[3], "");  // the driver's text below
    EXPECT_TRUE(lines[4].startsWith("DSN=")) << lines[4].toStdString();
    EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Error);
  }
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
