// "Экспорт в miniSEED (SDS)...": the selected stations over the window's time,
// into the folder the operator chooses, with the summary after it.
#ifdef KORVEL_WITH_SEED
#include <gtest/gtest.h>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

#include <filesystem>
#include <numeric>

#include "config/config_files.h"
#include "controls/date_time_edit.h"
#include "controls/mask_edit.h"
#include "controls/multi_select_list_box.h"
#include "controls/qt_path.h"
#include "mainwindow/sds_remark_texts.h"
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

// Escape or the close box during an export asks "Прервать экспорт?" while it
// goes on; "Да" stops it before the next day file: those written are whole,
// the rest untouched, and the next export writes just the rest. "Нет" lets it
// finish.
TEST_P(SdsExportWindowTest, EscapeOrTheCloseBoxStopsTheExportBetweenDayFiles) {
  constexpr int kDays = 6;
  writer.SetOutputRoot(out + "/");
  std::vector<float> block(10, 1.0f);
  for (int day = 0; day < kDays; ++day) {
    writer.AppendBlock("KIR", "Z", 1.0, 1000.0, 1.0, 1172707200.0 + day * 86400.0, 10,
                       block.data());
    writer.FinishRawFile();
  }
  ASSERT_TRUE(WriteProfileString("SEED", "NET", "XX", ProgramIniPath()));
  const auto day_files = [&] {
    int count = 0;
    if (std::filesystem::exists(sandbox.path() / "sds"))
      for (const auto& entry :
           std::filesystem::recursive_directory_iterator(sandbox.path() / "sds"))
        count += entry.path().filename().string().starts_with("XX.KIR..");
    return count;
  };
  const struct {
    const char* name;
    bool close_box;  // else Escape
    const char* answer;
  } cases[] = {{"Escape, Да", false, "Да"},
               {"the close box, Да", true, "Да"},
               {"Escape, Нет", false, "Нет"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(sandbox.path() / "sds");
    notifier.messages.clear();
    auto d = Open();
    d->show();
    d->LengthEdit()->setText(QStringLiteral("00:00:00"));  // all times
    d->StationList()->item(0)->setSelected(true);          // KIR
    d->folder = sandbox.path() / "sds";
    std::size_t written_at_answer = 0;
    QStringList statuses;
    d->on_export_step = [&](std::size_t done) {
      statuses << d->StatusLine()->text();
      EXPECT_FALSE(d->Button(kIdConvert)->isEnabled());
      for (QMessageBox* box : d->findChildren<QMessageBox*>())
        if (box->isVisible() && box->text() == QStringLiteral("Прервать экспорт?")) {
          written_at_answer = done;
          for (QAbstractButton* b : box->buttons())
            if (b->text() == QString::fromUtf8(c.answer)) b->click();
        }
      if (done == 1)
        QCoreApplication::postEvent(
            d->windowHandle(),
            c.close_box ? static_cast<QEvent*>(new QCloseEvent)
                        : new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    };
    d->ExportSelectionToSds();
    ASSERT_GT(written_at_answer, 1u);
    EXPECT_TRUE(statuses.front().endsWith(QStringLiteral(".2007.060  (файл дня 1)  Esc — Стоп")))
        << statuses.front().toStdString();
    if (std::string(c.answer) == "Нет") {
      EXPECT_EQ(day_files(), kDays);
      ASSERT_EQ(notifier.messages.size(), 1u);
      EXPECT_EQ(notifier.messages[0].text.find("Прерван"), std::string::npos);
      continue;
    }
    EXPECT_EQ(day_files(), static_cast<int>(written_at_answer));
    EXPECT_EQ(d->isVisible(), !c.close_box);
    if (c.close_box) {
      EXPECT_TRUE(notifier.messages.empty());  // the operator asked to close
    } else {
      ASSERT_EQ(notifier.messages.size(), 1u);
      EXPECT_NE(
          notifier.messages[0].text.find(
              "\nПрерван: записанные файлы дня целы, остальные не тронуты\nЗаписано файлов: " +
              std::to_string(written_at_answer) + "\n"),
          std::string::npos)
          << notifier.messages[0].text;
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(d->Button(kIdConvert)->isEnabled());
    // The next export takes up what is left, and leaves the rest as it is.
    notifier.messages.clear();
    d = Open();
    d->LengthEdit()->setText(QStringLiteral("00:00:00"));
    d->StationList()->item(0)->setSelected(true);
    d->folder = sandbox.path() / "sds";
    d->ExportSelectionToSds();
    EXPECT_EQ(day_files(), kDays);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_NE(notifier.messages[0].text.find(
                  "Записано файлов: " + std::to_string(kDays - written_at_answer) +
                  "\nБез изменений: " + std::to_string(written_at_answer) + "\n"),
              std::string::npos)
        << notifier.messages[0].text;
  }
}

// What the export has to say comes in Russian, one line each: a channel
// without a code, a code that is none, a TQF file that cannot be read, a day
// file of another program.
TEST_P(SdsExportWindowTest, TheExportsRemarksAreShownInRussian) {
  writer.SetOutputRoot(out + "/");
  std::vector<float> block(1000);
  std::iota(block.begin(), block.end(), 0.0f);
  for (const char* channel : {"Z", "N-S", "E-W", "SH Z"}) {
    writer.AppendBlock("KIR", channel, 100.0, 1000.0, 1.0, 1172707200.0, 1000, block.data());
    writer.FinishRawFile();
  }
  std::filesystem::path e_w;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(out))
    if (entry.path().filename().string().find("E-W") != std::string::npos) e_w = entry.path();
  ASSERT_FALSE(e_w.empty());
  std::filesystem::resize_file(e_w, 10);
  ASSERT_TRUE(WriteProfileString("SEED", "NET", "XX", ProgramIniPath()));
  ASSERT_TRUE(WriteProfileString("SEED.KIR", "N-S", "xx", ProgramIniPath()));
  const auto sds = sandbox.path() / "sds";
  const std::string foreign = "2007/XX/KIR/HHZ.D/XX.KIR..HHZ.D.2007.060";
  std::filesystem::create_directories((sds / foreign).parent_path());
  test::WriteFileBytes(sds / foreign, "not ours");

  auto d = Open();
  d->StartEdit()->ShowDateTime(2007, 3, 1, 0, 0, 0);
  d->LengthEdit()->setText(QStringLiteral("01:00:00"));
  d->StationList()->item(0)->setSelected(true);  // KIR
  d->folder = sds;
  d->ExportSelectionToSds();
  ASSERT_EQ(notifier.messages.size(), 1u);
  EXPECT_EQ(notifier.messages[0].icon, MessageIcon::Warning);
  const std::string& text = notifier.messages[0].text;
  const std::string heading = "\n\nЗамечания:\n";
  ASSERT_NE(text.find(heading), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.find(heading) + heading.size()),
            "KIR SH Z: нет кода канала SEED; добавьте в korvel2tqf.ini в раздел [SEED.KIR] строку "
            "SH Z=КОД; пропущен\n" +
                e_w.string() + ": не читается как файл TQF; не экспортирован\n" +
                "KIR N-S: [SEED.KIR] N-S=xx не код канала SEED (3 заглавные латинские буквы или "
                "цифры); не экспортирован\n" +
                foreign +
                ": записан другой программой или изменён после записи этой; оставлен как есть")
      << text;
}

// Every kind of remark has its Russian line, and its English one.
TEST(SdsRemarks, EveryKindIsWordedInRussian) {
  for (int kind = 0; kind <= static_cast<int>(SdsRemarkKind::kListLineCannotWrite); ++kind) {
    SCOPED_TRACE(kind);
    SdsRemark remark;
    remark.kind = static_cast<SdsRemarkKind>(kind);
    remark.subject = "f";
    remark.station = "KIR";
    remark.channel = "Z";
    remark.value = "v";
    const QString text = QString::fromStdString(SdsRemarkForOperator(remark));
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("[а-яА-Я]"))))
        << text.toStdString();
    EXPECT_FALSE(text.contains(
        QRegularExpression(QStringLiteral("not |cannot|skipped|written|exported|overlap|kept"))))
        << text.toStdString();
    // Both languages put every field in: no pattern name is left behind.
    for (const std::string& worded : {text.toStdString(), SdsRemarkText(remark)})
      EXPECT_EQ(worded.find_first_of("{}"), std::string::npos) << worded;
  }
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
