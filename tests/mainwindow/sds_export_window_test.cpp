// "Экспорт в miniSEED (SDS)...": the selected stations over the window's time,
// into the folder the operator chooses, with the summary after it.
#ifdef KORVEL_WITH_SEED
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>

#include <filesystem>
#include <numeric>

#include "config/config_files.h"
#include "controls/date_time_edit.h"
#include "controls/mask_edit.h"
#include "controls/multi_select_list_box.h"
#include "controls/qt_path.h"
#include "platform/profile.h"
#include "tests/mainwindow/main_dialog_fixture.h"

namespace korvel {
namespace {

class SdsExportWindowTest : public test::MainDialogFixture {};

TEST_P(SdsExportWindowTest, TheSelectedStationsGoIntoTheChosenFolder) {
  // Ten seconds of KIR Z, converted and catalogued.
  writer.SetOutputRoot(out + "/");
  std::vector<float> block(1000);
  std::iota(block.begin(), block.end(), 0.0f);
  writer.AppendBlock("KIR", "Z", 100.0, 1000.0, 1.0, 1172707200.0, 1000, block.data());
  writer.FinishRawFile();

  auto d = Open();
  d->StartEdit()->ShowDateTime(2007, 3, 1, 0, 0, 0);
  d->LengthEdit()->setText(QStringLiteral("01:00:00"));
  for (int i = 0; i < d->StationList()->count(); ++i)
    d->StationList()->item(i)->setSelected(d->StationList()->item(i)->text() == "KIR");
  d->folder = sandbox.path() / "sds";
  QAction* entry = nullptr;
  for (QAction* action : d->actions())
    if (action->text() == QStringLiteral("&Экспорт в miniSEED (SDS)...")) entry = action;
  ASSERT_NE(entry, nullptr);

  entry->trigger();  // korvel2tqf.ini has no [SEED] NET= yet: said before any folder is asked
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_NE(notifier.messages[0].text.find("добавьте в раздел [SEED] строку NET="),
            std::string::npos);
  EXPECT_EQ(d->choices, 0);
  EXPECT_FALSE(std::filesystem::exists(d->folder / "2007"));

  ASSERT_TRUE(WriteProfileString("SEED", "NET", "XX", ProgramIniPath()));
  entry->trigger();
  ASSERT_EQ(notifier.messages.size(), 2u);
  EXPECT_EQ(notifier.messages[1].icon, MessageIcon::Information);
  EXPECT_NE(notifier.messages[1].text.find("Записано файлов: 1\nБез изменений: 0\nОставлено: 0\n"
                                           "Отсчётов: 1000"),
            std::string::npos)
      << notifier.messages[1].text;
  EXPECT_TRUE(std::filesystem::exists(d->folder / "2007/XX/KIR/HHZ.D/XX.KIR..HHZ.D.2007.060"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(d->StatusLine()->text(), "");
}

// The folder chooser opens in the output root, then where the last export
// went; never in the raw folder of the last conversion.
TEST_P(SdsExportWindowTest, TheChooserOpensInTheOutputRootThenTheLastFolder) {
  ASSERT_TRUE(WriteProfileString("SEED", "NET", "XX", ProgramIniPath()));
  const auto raw = sandbox.path() / "raw";
  const auto chosen = sandbox.path() / "sds";
  std::filesystem::create_directories(chosen);
  auto d = Open();
  d->StationList()->item(0)->setSelected(true);  // KIR, whose raw folder is `raw`
  const struct {
    std::filesystem::path answer;  // empty: cancelled
    std::filesystem::path opened_in;
  } steps[] = {{"", out}, {chosen, out}, {"", chosen}, {raw, chosen}, {"", raw}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.answer);
    d->folder = step.answer;
    d->ExportSelectionToSds();
    EXPECT_EQ(d->asked_folder.toStdString(), QtPath(step.opened_in).toStdString());
    EXPECT_EQ(d->asked_title.toStdString(), "Выбор каталога для экспорта в miniSEED (SDS)");
  }
}

INSTANTIATE_TEST_SUITE_P(Drivers, SdsExportWindowTest, ::testing::ValuesIn(test::TestDsns()),
                         [](const auto& info) { return info.param; });
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SdsExportWindowTest);

}  // namespace
}  // namespace korvel
#endif  // KORVEL_WITH_SEED
