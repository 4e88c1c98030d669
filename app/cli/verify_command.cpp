#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "app/cli/archive_commands.h"
#include "app/cli/cli_host.h"
#include "app/cli/first_use_hints.h"
#include "app/cli/open_catalogue.h"
#include "config/settings.h"
#include "database/catalogue_rows.h"
#include "database/connection.h"
#include "database/file_list.h"
#include "engine/archive_check.h"
#include "engine/catalogue.h"
#include "engine/conversion_commands.h"
#include "engine/coverage.h"
#include "engine/output_writer.h"
#include "engine/own_file.h"
#include "engine/station_lock.h"
#include "engine/tqf_file.h"
#include "platform/file_lock.h"
#include "platform/native_path.h"
#include "platform/number_text.h"
#include "platform/text1251.h"

namespace korvel::cli {
namespace {

// One problem a line: names from headers and rows keep to their columns.
std::string Utf8(const std::string& text1251) { return DisplayName(text1251); }

std::string SampleCount(double samples) {
  // Whole samples as an integer; a partial last one shows as its fraction.
  return samples == static_cast<double>(static_cast<std::uint64_t>(samples))
             ? std::to_string(static_cast<std::uint64_t>(samples))
             : FixedNumber(samples, 2);
}

class Verification {
 public:
  Verification(std::string root, bool fix, Notifier& notifier)
      : m_root(std::move(root)),
        m_root_folder(NativePath(m_root)),
        m_fix(fix),
        m_catalogue(theDatabase, notifier) {}

  void CheckStation(const std::string& station) {
    // Mending waits for a converter writing the station, as another
    // converter would: its new file has no row yet, its rows lag its files.
    // A station whose lock cannot be had is reported and left unmended.
    FileLock lock;
    m_mend = m_fix;
    const std::string folder = FileNameForm(station);
    if (m_fix && ReadStationLocks()) {
      if (const auto refusal = LockStationFolder(lock, m_root, station, ReadLockWaitSeconds())) {
        std::fprintf(stderr, "%s: %s\n", kCommandCaption,
                     StationLockRefusalText(station, *refusal).c_str());
        m_mend = false;
        m_locked_out = true;
      }
    }
    m_locked = lock.Held();
    std::set<std::string> named;
    for (const FileListRow& row : ReadStationFileRows(theDatabase, station)) {
      const std::optional<std::string> below = PathBelowRoot(m_root, row.cpath);
      if (!below) continue;  // names no file below the output root
      named.insert(*below);
      CheckRow(row, *below);
    }
    // A file in the folder that another station's row names is no orphan:
    // it is catalogued, and registering it would give it a second row.
    for (const OrphanFile& orphan : FindOrphans(m_root, folder, named))
      if (!AnyRowNames(theDatabase, orphan.relative_path)) Orphan(station, orphan);
  }

  int Problems() const { return m_problems; }
  int Fixed() const { return m_fixed; }
  // A station was checked but not mended: another converter held it.
  bool LockedOut() const { return m_locked_out; }

 private:
  void CheckRow(const FileListRow& row, const std::string& below) {
    const bool ours = row.creator == kOwnCreator;
    const std::string names = Utf8(row.station) + "\t" + Utf8(row.channel) + "\t" +
                              Utf8(row.cpath) + "\t" + Utf8(row.creator);
    const RowClaim claim{row.station, row.channel, row.tbegin, row.tqty, row.sps};
    for (const FileProblem& problem : CheckCataloguedFile(NativePath(m_root + below), claim)) {
      ++m_problems;
      std::string line;
      std::string action = "left";
      switch (problem.kind) {
        case FileProblemKind::kMissing:
          line = "missing\t" + names;
          // Only a path where nothing is at all: a folder or an unreadable
          // file at the path is no reason to forget the row.
          if (ours && problem.absent && m_mend) {
            DeleteOwnFileRow(theDatabase, row.stored_cpath);
            action = "deleted";
          }
          break;
        case FileProblemKind::kLength: {
          line = "length\t" + names + "\t" +
                 (problem.row_samples ? std::to_string(*problem.row_samples) : "-") + "\t" +
                 SampleCount(problem.file_samples);
          if (ours && m_mend && problem.row_samples && row.sps)
            action = MendLength(row, below, *problem.row_samples);
          break;
        }
        case FileProblemKind::kHeader:
          line = "header\t" + names + "\t" + problem.field + "\t" + Utf8(problem.row_value) + "\t" +
                 Utf8(problem.file_value);
          break;
      }
      Report(line, action);
    }
  }

  // Fewer samples than the row says: the row takes what is there. More: the
  // file goes back to its row, as the converter that was killed before its
  // row caught up would have left it (the station's lock is held, so no
  // converter is on its way).
  // Without the lock (SYSTEM/LOCK=0) a longer file may be a converter's on
  // its way, and is left. Either way only a file that is provably ours, as
  // it is opened now: a row of ours may name anything that was put there.
  std::string MendLength(const FileListRow& row, const std::string& below,
                         std::uint64_t row_samples) {
    const OwnFileCandidate file(m_root_folder, m_root, below,
                                m_locked ? FileAccess::kReadWrite : FileAccess::kRead);
    if (!file.OursFor(row.station, row.channel)) return "left";
    const std::uint64_t whole = (file.Size() - kTqfHeaderSize) / 4;
    if (whole < row_samples) {
      const double tqty = static_cast<double>(whole) / *row.sps;
      SetOwnFileLength(theDatabase, row.stored_cpath, tqty);
      return "tqty=" + FixedNumber(tqty, 6);
    }
    if (!m_locked || file.Size() == kTqfHeaderSize + 4 * row_samples) return "left";
    if (FileResult cut = file.CutBack(row_samples)) {
      std::fprintf(stderr, "%s\n", FileErrorText(*cut).c_str());
      return "left";
    }
    return "cut to " + std::to_string(row_samples);
  }

  void Orphan(const std::string& station, const OrphanFile& orphan) {
    ++m_problems;
    const std::string line = "orphan\t" + Utf8(orphan.header ? orphan.header->station : station) +
                             "\t" + Utf8(orphan.header ? orphan.header->channel : "") + "\t" +
                             Utf8(orphan.relative_path) + "\t";
    std::string action = "left";
    if (m_mend) action = MendOrphan(station, orphan.relative_path);
    Report(line, action);
  }

  // A whole file of ours is catalogued as it is. What a converter killed as
  // it made a file leaves (an empty file, a header alone, a staging file)
  // holds no sample and goes, but only under the station's lock: without it,
  // it may be a converter's on its way.
  std::string MendOrphan(const std::string& station, const std::string& relative_path) {
    const OwnFileCandidate file(m_root_folder, m_root, relative_path, FileAccess::kRead);
    switch (JudgeOrphan(file, relative_path, station)) {
      case OrphanMend::kRegister: {
        const TqfHeaderFields& f = *file.OwnHeader();
        const auto samples = static_cast<double>((file.Size() - kTqfHeaderSize) / 4);
        // With no calibration: the file does not tell it.
        m_catalogue.UpdateFileRecord(relative_path, f.station, f.channel, f.start,
                                     samples / f.sampling_rate, f.sampling_rate, 1, kDataTypeFloat);
        return "registered";
      }
      case OrphanMend::kRemove:
        if (!m_locked) return "left";
        if (FileResult removed = file.Remove()) {
          std::fprintf(stderr, "%s\n", FileErrorText(*removed).c_str());
          return "left";
        }
        return "removed";
      case OrphanMend::kLeave:
        break;
    }
    return "left";
  }

  void Report(const std::string& line, const std::string& action) {
    if (m_fix && action != "left") ++m_fixed;
    std::printf("%s%s\n", line.c_str(), m_fix ? ("\t" + action).c_str() : "");
  }

  std::string m_root;
  RootFolder m_root_folder;
  bool m_fix;
  bool m_mend = false;    // m_fix, unless another converter holds the station
  bool m_locked = false;  // the station's lock is held
  bool m_locked_out = false;
  CFileList m_catalogue;
  int m_problems = 0;
  int m_fixed = 0;
};

}  // namespace

CliCommand AddVerifyCommand(CLI::App& app) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* verify = app.add_subcommand(
      "verify",
      "check the archive against its catalogue: every FILELIST row of the stations (every\n"
      "creator's) whose file lies below tqf.ini DATA/DIR must name a file that is there,\n"
      "holds 512 + 4 x TQTY x SPS bytes and whose header names the row's station, channel,\n"
      "rate and start second; files below the stations' folders that no row names are\n"
      "orphans. One line per problem (missing, length, header, orphan), then the count;\n"
      "exit 1 when anything does not agree");
  verify
      ->add_option("--station", options->stations,
                   "station (repeatable; default: every station listed in korvel2tqf.ini)")
      ->allow_extra_args(false);
  verify->add_flag("--fix", options->fix,
                   "mend only our own rows (korvel2TQF) and files provably ours (a regular file\n"
                   "with one link below the output root, on its disk, whose header of ours names\n"
                   "the row's station and channel), under the station's lock: delete a row whose\n"
                   "file is missing, set TQTY of a row whose file holds fewer samples, cut a file\n"
                   "that holds more samples back to its row (a killed run leaves such files),\n"
                   "register an orphan with a valid header of ours, remove what a run killed as\n"
                   "it made a file left (an empty or header-only file at one of our names, a\n"
                   ".part staging file beside one); the rest is left");
  return {verify, [options](const ConnectionOptions& connection) {
            return RunVerify(connection, *options);
          }};
}

int RunVerify(const ConnectionOptions& connection, const VerifyOptions& options) {
  const std::vector<std::string> stations = ReportStations(options.stations);
  if (stations.empty()) return kUsage;
  const std::string root = ReadDataRoot();
  if (root.empty()) {
    std::fprintf(stderr, "%s: %s\n", kCommandCaption, kNoOutputRootText);
    HintNoOutputRoot();
    return kOutputFailed;
  }
  CliNotifier notifier;
  return WithCatalogue(connection, notifier, [&]() -> int {
    Verification verification(root, options.fix, notifier);
    for (const std::string& station : stations) verification.CheckStation(station);
    std::printf("problems\t%d\n", verification.Problems());
    if (options.fix) std::printf("fixed\t%d\n", verification.Fixed());
    if (verification.LockedOut()) return kStationLocked;
    return verification.Problems() > 0 ? kNothing : kConverted;
  });
}

}  // namespace korvel::cli
