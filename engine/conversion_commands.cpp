#include "engine/conversion_commands.h"

#include <cstdio>
#include <cstring>

#include "config/settings.h"
#include "engine/catalogue.h"
#include "engine/convert_raw_file.h"
#include "engine/directory_scan.h"
#include "engine/station_lock.h"
#include "engine/station_scan.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

constexpr std::size_t kSummaryLimit = 127;
constexpr std::size_t kDirectorySummaryLimit = 255;

void ShowError(ConversionHost& host, const std::string& text_utf8) {
  host.Operator().Message(ErrorTextForOperator(text_utf8), kErrorCaption, MessageIcon::Error);
}

void ShowSuccess(ConversionHost& host, int count) {
  char text[kSummaryLimit + 1];
  std::snprintf(text, sizeof text, "Успешно завершена конверсия %d файлов", count);
  host.Operator().Message(text, kCommandCaption, MessageIcon::None);
}

// An interrupted command still says what it did convert.
void ShowStopped(ConversionHost& host, int count) {
  char text[kSummaryLimit + 1];
  std::snprintf(text, sizeof text, "Конверсия прервана, конвертировано %d файлов", count);
  host.Operator().Message(text, kCommandCaption, MessageIcon::None);
}

// What the writer's counts tell of the work since a command began.
class WriterCounts {
 public:
  explicit WriterCounts(const OutputWriter& writer)
      : m_failures(writer.OutputFailures()),
        m_locked_out(writer.StationsLockedOut()),
        m_raw_data_left(writer.RawDataLeftCount()) {}
  void Note(CommandOutcome& outcome, const OutputWriter& writer) const {
    outcome.output_failed = outcome.output_failed || writer.OutputFailures() != m_failures;
    outcome.station_locked = outcome.station_locked || writer.StationsLockedOut() != m_locked_out;
    outcome.raw_data_left = outcome.raw_data_left || writer.RawDataLeftCount() != m_raw_data_left;
  }

 private:
  std::uint64_t m_failures;
  std::uint64_t m_locked_out;
  std::uint64_t m_raw_data_left;
};

// Why a command converted nothing, when something failed: the first reason
// in the order of the command line's exit statuses. Nothing when all went
// well and there was simply nothing to convert.
const char* NothingConvertedText(const CommandOutcome& outcome) {
  if (outcome.catalogue_error) return kNothingConvertedDatabaseText;
  if (outcome.output_failed) return kNothingConvertedWriteText;
  if (outcome.station_locked) return kNothingConvertedLockText;
  if (outcome.raw_data_left) return kNothingConvertedRawDataText;
  return nullptr;
}

// The checks every command makes before it touches anything.
// Also sets the writer's output root, as it is now, when the command may go on.
bool Refused(const std::string& station, ConversionHost& host, OutputWriter& writer,
             CommandOutcome& outcome) {
  if (RefuseWithoutSelection(station, host)) {
    outcome.refused = true;
    return true;
  }
  // tqf.ini is read once a command: every raw file of it goes to this root.
  const std::string root = ReadDataRoot();
  if (RefuseWithoutOutputRoot(root, host)) {
    outcome.refused = true;
    outcome.no_output_root = true;
    return true;
  }
  writer.SetOutputRoot(root);
  return false;
}

// The end of a station's work, or of a command's: a file staged to replace
// an older one is finished under its station's lock, unless the work was cut
// short; then it goes, and the older file stays as its row says.
void EndStagedFiles(ConversionHost& host, OutputWriter& writer) {
  const bool cut_short = host.StopRequested();
  for (const std::string& station : writer.StagedStations()) {
    if (cut_short) {
      writer.DropStagedFiles(station);
      continue;
    }
    const StationHold hold(station, host, writer);
    if (hold.Held())
      writer.FinishStagedFiles(station);
    else
      writer.DropStagedFiles(station);
  }
}

}  // namespace

std::string FileErrorText(const FileError& error) {
  const char* what = "write";
  switch (error.operation) {
    case FileOperation::kCreate:
      what = "create";
      break;
    case FileOperation::kOpen:
      what = "open";
      break;
    case FileOperation::kWrite:
      break;
    case FileOperation::kRead:
      what = "read";
      break;
  }
  // "File %s error '%s'": the path whole, however long.
  return std::string("File ") + what + " error '" + error.path + "'";
}

std::string LinkRefusalText(const WalkFailure& failure) {
  const std::string link = DisplayPath(failure.link);
  switch (failure.refusal) {
    case WalkFailure::Refusal::kLinkOwner:
      return link + ": a link owned by " + failure.owner +
             "; only links of the output root's owner (" + failure.root_owner +
             ") or of root are followed";
    case WalkFailure::Refusal::kTargetOwner:
      return link + ": a link to a folder owned by " + failure.owner +
             "; only folders of the output root's owner (" + failure.root_owner + ") are followed";
    case WalkFailure::Refusal::kTargetNotFolder:
      return link + ": a link to no folder; not followed";
    case WalkFailure::Refusal::kNone:
      break;
  }
  return {};
}

void FileErrorMessages::FileFailed(const FileError& error) {
  // A refused link is told once for each link, whatever is behind it.
  const std::string refusal = error.refused_link ? LinkRefusalText(*error.refused_link) : "";
  if (!m_told.emplace(error.operation, error.system_error, error.changed_elsewhere, refusal)
           .second) {
    ++m_held_back;
    return;
  }
  std::string text = FileErrorText(error);
  if (m_with_reason && error.changed_elsewhere)
    text += "\n  the file is not as this program left it: another program changed it";
  else if (m_with_reason && !refusal.empty())
    text += "\n  " + refusal;
  else if (m_with_reason && error.system_error != 0)
    text += "\n  " + std::string(std::strerror(error.system_error));
  m_notifier.Message(text, kFileErrorCaption, MessageIcon::Error);
}

std::string RawDataLeftText(const RawDataLeft& left) {
  const std::string reason =
      left.system_error != 0 ? std::strerror(left.system_error) : "the file ended early";
  switch (left.what) {
    case RawDataLeft::What::kFolder:
      return "raw folder " + left.path + " cannot be read (" + reason + "); its files are left";
    case RawDataLeft::What::kFile:
      break;
    case RawDataLeft::What::kRestOfFile:
      return "raw file " + left.path + " was read only to byte " + std::to_string(left.read) +
             " of " + std::to_string(left.size) + " (" + reason + "); the rest is left";
    case RawDataLeft::What::kSecondChannel:
      return "channel " + left.channel + " appears twice in " + left.path + "; the second is left";
  }
  return "raw file " + left.path + " cannot be read (" + reason + "); it is left";
}

void FileErrorMessages::RawDataWasLeft(const RawDataLeft& left) {
  m_notifier.Message(RawDataLeftText(left), kFileErrorCaption, MessageIcon::Error);
}

void FileErrorMessages::CommandEnded() {
  if (m_held_back > 0) {
    char text[kSummaryLimit + 1];
    std::snprintf(text, sizeof text, kRepeatedFileErrorsText,
                  static_cast<unsigned long long>(m_held_back));
    m_notifier.Message(text, kFileErrorCaption, MessageIcon::Error);
  }
  m_told.clear();
  m_held_back = 0;
}

bool RefuseWithoutSelection(const std::string& station, ConversionHost& host) {
  if (!station.empty() && !host.Selection().empty()) return false;
  host.Operator().Beep();
  host.Operator().Message("Не выбрана станция/каналы !!!", kCommandCaption, MessageIcon::Error);
  return true;
}

bool RefuseWithoutOutputRoot(ConversionHost& host) {
  return RefuseWithoutOutputRoot(ReadDataRoot(), host);
}

bool RefuseWithoutOutputRoot(const std::string& output_root, ConversionHost& host) {
  if (!output_root.empty()) return false;
  host.Operator().Message(kNoOutputRootText, kCommandCaption, MessageIcon::Error);
  return true;
}

CommandOutcome ConvertSelectedStations(const std::vector<std::string>& selected_stations,
                                       EpochSeconds start, double length, ConversionHost& host,
                                       OutputWriter& writer) {
  CommandOutcome outcome;
  if (Refused(selected_stations.empty() ? "" : selected_stations.front(), host, writer, outcome))
    return outcome;
  const WriterCounts before(writer);
  host.DisableCommands();
  std::vector<StationScan> scans;
  for (const std::string& listed : selected_stations) {
    if (host.StopRequested()) break;
    const std::string station = listed.substr(0, kCommandStationLength);
    // A station another converter is writing is left; the others go on.
    // Its lock goes as soon as its scan is done.
    const StationHold hold(station, host, writer);
    if (!hold.Held()) continue;
    StationScan scan = StationScanOf(station, start, length);
    try {
      scan.converted =
          ScanDirectory(station, host, writer, start, length, scan.folder, &scan.tally);
      outcome.converted += scan.converted;
      EndStagedFiles(host, writer);
      // A scan cut short tells nothing of its folder.
      if (!host.StopRequested()) scans.push_back(std::move(scan));
    } catch (const CatalogueError& e) {
      // One station's failure does not stop the others.
      outcome.catalogue_error = true;
      ShowError(host, e.what());
    }
  }
  before.Note(outcome, writer);
  outcome.stopped = host.StopRequested();
  writer.EndCommand();
  if (outcome.stopped)
    ShowStopped(host, outcome.converted);
  else if (outcome.converted > 0)
    ShowSuccess(host, outcome.converted);
  else if (const char* failure = NothingConvertedText(outcome))
    host.Operator().Message(failure, kCommandCaption, MessageIcon::Error);
  else
    host.Operator().Message("В каталогах файла настройки нет файлов для выбраных станций!!!",
                            kCommandCaption, MessageIcon::Error);
  host.EnableCommands();
  if (!outcome.stopped) host.StationsScanned(scans);
  return outcome;
}

CommandOutcome ConvertChosenFiles(const std::string& current_station,
                                  const std::vector<std::filesystem::path>& paths,
                                  const std::filesystem::path& path_name, ConversionHost& host,
                                  OutputWriter& writer) {
  CommandOutcome outcome;
  if (Refused(current_station, host, writer, outcome)) return outcome;
  const WriterCounts before(writer);
  // Each file takes its own station's lock while it converts.
  host.DisableCommands();
  std::filesystem::path reported = path_name;
  int r = 0;
  for (std::size_t i = 0; i < paths.size(); ++i) {
    const std::filesystem::path& path = paths[i];
    if (host.StopRequested()) break;
    host.ExamineFile(DisplayPath(path.filename()), i + 1, paths.size());
    try {
      r = ConvertRawFile(current_station, path, host, writer);
    } catch (const CatalogueError& e) {
      outcome.catalogue_error = true;
      ShowError(host, e.what());
      r = 0;
      break;
    }
    if (r == 0) {
      reported = path;
      break;
    }
    ++outcome.converted;
  }
  if (!outcome.catalogue_error) {
    try {
      EndStagedFiles(host, writer);
    } catch (const CatalogueError& e) {
      outcome.catalogue_error = true;
      ShowError(host, e.what());
      r = 0;
    }
  }
  before.Note(outcome, writer);
  outcome.stopped = host.StopRequested();
  host.EnableCommands();
  writer.EndCommand();
  if (outcome.stopped)
    ShowStopped(host, outcome.converted);
  else if (r != 0)
    ShowSuccess(host, outcome.converted);
  else
    host.Operator().Message(
        FormatWithin(kSummaryLimit, "Ошибка конверсии файла '%s'", DisplayPath(reported)),
        kCommandCaption, MessageIcon::Error);
  return outcome;
}

CommandOutcome ConvertChosenDirectory(const std::string& current_station,
                                      const std::filesystem::path& folder, ConversionHost& host,
                                      OutputWriter& writer) {
  CommandOutcome outcome;
  if (Refused(current_station, host, writer, outcome)) return outcome;
  if (folder.empty()) return outcome;
  const WriterCounts before(writer);
  host.DisableCommands();
  const StationHold hold(current_station.substr(0, kCommandStationLength), host, writer);
  if (!hold.Held()) {
    before.Note(outcome, writer);
    outcome.stopped = host.StopRequested();
    if (outcome.stopped) ShowStopped(host, 0);
    host.EnableCommands();
    return outcome;
  }
  try {
    outcome.converted = ScanDirectory(current_station, host, writer, 0.0, 0.0, folder);
    EndStagedFiles(host, writer);
    before.Note(outcome, writer);
    outcome.stopped = host.StopRequested();
    writer.EndCommand();
    if (outcome.stopped) {
      ShowStopped(host, outcome.converted);
    } else if (outcome.converted > 0) {
      ShowSuccess(host, outcome.converted);
    } else if (const char* failure = NothingConvertedText(outcome)) {
      host.Operator().Message(failure, kCommandCaption, MessageIcon::Error);
    } else {
      // Both values share the buffer; the folder gives way first.
      const std::string station = Cp1251ToUtf8(current_station.substr(0, kCommandStationLength));
      const std::string tail = " \nнет подходящих файлов для станции: " + station;
      const std::size_t tail_length = Utf8CharacterCount(tail);
      const std::string text = FormatWithin(
          kDirectorySummaryLimit > tail_length ? kDirectorySummaryLimit - tail_length : 0,
          "Ошибка конверсии !!!\n В каталоге: %s", DisplayPath(folder));
      host.Operator().Message(text + tail, kCommandCaption, MessageIcon::Error);
    }
  } catch (const CatalogueError& e) {
    outcome.catalogue_error = true;
    before.Note(outcome, writer);
    writer.EndCommand();
    ShowError(host, e.what());
  }
  host.EnableCommands();
  return outcome;
}

}  // namespace korvel
