// "Экспорт в miniSEED (SDS)...": the selected stations' catalogued files over
// the window's time, into an SDS tree the operator chooses. Built where
// libmseed is.
#ifdef KORVEL_WITH_SEED
#include "config/settings.h"
#include "controls/qt_path.h"
#include "database/catalogue_rows.h"
#include "engine/operator_texts.h"
#include "mainwindow/main_dialog.h"
#include "mainwindow/product_folders.h"
#include "mainwindow/sds_remark_texts.h"
#include "platform/native_path.h"
#include "platform/stop_request.h"
#include "seed/sds_export.h"
#include "seed/seed_codes.h"

namespace korvel {
namespace {

constexpr const char* kNoNetworkText =
    "В korvel2tqf.ini не задан код сети: добавьте в раздел [SEED] строку NET= "
    "(две заглавные латинские буквы или цифры)";

}  // namespace

void CMainDialog::ExportSelectionToSds() {
  if (!ReadBackTimeWindow()) return;
  const std::vector<std::string> stations = SelectedStations();
  if (stations.empty()) {
    m_operator.Beep();
    m_operator.Message("Не выбрана станция !!!", kCommandCaption, MessageIcon::Error);
    return;
  }
  // Said before the operator is sent to pick a folder for nothing.
  if (!IsSeedCode(ReadSeedNetwork(), 2, 2)) {
    m_operator.Message(kNoNetworkText, kCommandCaption, MessageIcon::Error);
    return;
  }
  const std::filesystem::path folder =
      ChooseDirectory(ProductStartFolder(m_sds_folder),
                      QStringLiteral("Выбор каталога для экспорта в miniSEED (SDS)"));
  if (folder.empty()) return;
  m_sds_folder = QtPath(folder);
  EpochSeconds start = 0.0;
  double length = 0.0;
  ReadTimeWindow(start, length);
  SdsRequest request;
  request.root = folder;
  request.stations = stations;
  if (length > 0) request.window = TimeSpan{start, start + length};
  request.lock = ReadStationLocks();
  request.lock_wait = ReadLockWaitSeconds();
  // As a conversion: the commands wait, Escape and the close box offer to
  // stop after the day file in hand, and the window keeps painting.
  request.go_on = [this](const std::string& day_file, std::size_t done) {
    ShowExportStep(day_file, done);
    return !StopRequested();
  };
  SdsReport report;
  m_work = kExportWork;
  DisableCommands();
  const bool read = ShowingDatabaseErrors([&] {
    report = ExportToSds(request, [this](const std::string& station) {
      std::vector<SdsRow> rows;
      for (const FileListRow& row : ReadStationFileRows(m_database, station))
        rows.push_back({row.channel, row.creator, row.cpath, row.tbegin, row.tqty, row.sps});
      return rows;
    });
  });
  EnableCommands();
  m_work = kConversionWork;
  if (!read || (report.stopped && (m_close_after || StopRequestSignal() != 0))) {
    CloseIfAsked();
    return;
  }
  std::string text =
      "Экспорт в miniSEED (SDS) в " + DisplayPath(folder) +
      (report.stopped ? "\nПрерван: записанные файлы дня целы, остальные не тронуты" : "") +
      "\nЗаписано файлов: " + std::to_string(report.Count(SdsOutcome::kWritten)) +
      "\nБез изменений: " + std::to_string(report.Count(SdsOutcome::kUnchanged)) +
      "\nОставлено: " + std::to_string(report.Count(SdsOutcome::kLeft)) +
      "\nОтсчётов: " + std::to_string(report.samples);
  std::vector<SdsRemark> remarks = report.warnings;
  remarks.insert(remarks.end(), report.problems.begin(), report.problems.end());
  if (!remarks.empty()) text += "\n\nЗамечания:";
  for (const SdsRemark& remark : remarks) text += "\n" + SdsRemarkForOperator(remark);
  m_operator.Message(text, kCommandCaption,
                     remarks.empty() ? MessageIcon::Information : MessageIcon::Warning);
}

}  // namespace korvel

#endif  // KORVEL_WITH_SEED
