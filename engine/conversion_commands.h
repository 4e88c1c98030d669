#pragma once
// The three conversion commands, shared by the window and the command line:
// the selected stations over the time window, hand-picked files, and a
// hand-picked directory. Each ends with one message to the operator.

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/conversion_host.h"
#include "engine/file_error.h"
#include "engine/operator_texts.h"
#include "engine/output_writer.h"
#include "engine/time_arithmetic.h"

namespace korvel {

inline constexpr const char* kNoOutputRootText =
    "Не задан каталог для файлов TQF (tqf.ini, раздел DATA, ключ DIR)";

// "File create error '%s'", "File open error '%s'", "File write error '%s'"
// or "File read error '%s'" with the path.
std::string FileErrorText(const FileError& error);

// Raw data left, for the operator (UTF-8):
//   "raw folder DIR cannot be read (reason); its files are left"
//   "raw file FILE cannot be read (reason); it is left"
//   "raw file FILE was read only to byte N of M (reason); the rest is left"
//   "channel Z appears twice in FILE; the second is left"
std::string RawDataLeftText(const RawDataLeft& left);

// Why a link on the way to a file was not followed (English, as the system's
// reasons are shown on the command line): the link and what is wrong with it.
std::string LinkRefusalText(const WalkFailure& failure);

// The operator is told of a file error as it happens, under "Korvel->TQF"
// with the error icon; with `with_reason`, the system's reason follows on the
// next line (the command line shows it, the window does not). Each kind of
// failure (the operation and the system's reason, or the link refused) is
// told once in a command, with the first file it struck: a full or read-only
// disk fails every flush of every channel alike, and after a failed file each
// new one is tried again. The end of the command tells how many more were
// held back.
class FileErrorMessages : public FileErrorSink {
 public:
  explicit FileErrorMessages(Notifier& notifier, bool with_reason = false)
      : m_notifier(notifier), m_with_reason(with_reason) {}
  void FileFailed(const FileError& error) override;
  // Told under "Korvel->TQF" with the error icon, the reason always with it.
  void RawDataWasLeft(const RawDataLeft& left) override;
  void CommandEnded() override;

 private:
  Notifier& m_notifier;
  bool m_with_reason;
  std::set<std::tuple<FileOperation, int, bool, std::string>> m_told;
  std::uint64_t m_held_back = 0;
};

inline constexpr const char* kRepeatedFileErrorsText = "Ещё ошибок того же рода не показано: %llu";

struct CommandOutcome {
  bool refused = false;          // nothing ticked, no station or no output root
  bool no_output_root = false;   // refused for want of an output root
  int converted = 0;             // raw files whose ticked channels all reached disk
  bool catalogue_error = false;  // an error stopped (part of) the work
  bool output_failed = false;    // an output file could not be created or written
  bool stopped = false;          // the host asked to stop before the end
  bool station_locked = false;   // a station was left: another converter was writing it
  bool raw_data_left = false;    // some selected raw data could not be read or taken
};

// The summary of a command that converted nothing because something failed,
// in place of the description's "no files" texts, which stay for a run that
// truly found nothing; the reason is the first of these that applies.
inline constexpr const char* kNothingConvertedDatabaseText =
    "Ни один файл не конвертирован: ошибка базы данных";
inline constexpr const char* kNothingConvertedWriteText =
    "Ни один файл не конвертирован: ошибка записи файлов TQF";
inline constexpr const char* kNothingConvertedLockText =
    "Ни один файл не конвертирован: блокировка станции не получена";
inline constexpr const char* kNothingConvertedRawDataText =
    "Ни один файл не конвертирован целиком: часть выбранных данных оставлена";

CommandOutcome ConvertSelectedStations(const std::vector<std::string>& selected_stations,
                                       EpochSeconds start, double length, ConversionHost& host,
                                       OutputWriter& writer);

// path_name: what a failure names when it happens before any file is
// tried, the single path or, for several, their folder. Paths are native.
CommandOutcome ConvertChosenFiles(const std::string& current_station,
                                  const std::vector<std::filesystem::path>& paths,
                                  const std::filesystem::path& path_name, ConversionHost& host,
                                  OutputWriter& writer);

CommandOutcome ConvertChosenDirectory(const std::string& current_station,
                                      const std::filesystem::path& folder, ConversionHost& host,
                                      OutputWriter& writer);

// Nothing ticked or no station: the beep and "Не выбрана станция/каналы !!!";
// true when the command must stop. Each command checks it first.
bool RefuseWithoutSelection(const std::string& station, ConversionHost& host);

// No output root in tqf.ini (`output_root` as read from it): the message,
// and true when the command must stop before anything is written. Each
// command checks it next.
bool RefuseWithoutOutputRoot(const std::string& output_root, ConversionHost& host);
// The same with tqf.ini read now, for a window that checks before the
// operator picks anything.
bool RefuseWithoutOutputRoot(ConversionHost& host);

}  // namespace korvel
