#include "engine/directory_scan.h"

#include <algorithm>
#include <cerrno>
#include <set>
#include <vector>

#include "config/settings.h"
#include "engine/convert_raw_file.h"
#include "engine/raw_file.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;

struct Entry {
  fs::path name;         // native, exactly as listed
  std::string sort_key;  // upper case, code page 1251
  bool directory = false;
};

// A name's place in the listing: without regard to case, as NTFS lists names,
// so that a station's files are met in time order. UTF-8 names sort by their
// letters; bytes that are not UTF-8 count as code page 1251.
std::string SortKey(const fs::path& name) { return CharUpper1251(PathText(name)); }

bool NameBefore(const Entry& a, const Entry& b) {
  return a.sort_key != b.sort_key ? a.sort_key < b.sort_key : a.name.native() < b.name.native();
}

// errno for a failure of the file-system library; on Windows its codes are
// the system's own, and EIO stands for one that has no errno.
int ErrnoOf(const std::error_code& ec) {
  const std::error_condition condition = ec.default_error_condition();
  return condition.category() == std::generic_category() ? condition.value() : EIO;
}

// The entries, or the listing's failure in `ec` (what was listed before it
// is still visited).
std::vector<Entry> ListDirectory(const fs::path& directory, std::error_code& ec) {
  std::vector<Entry> entries;
  fs::directory_iterator it(directory, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    // A link to a directory is a directory, as the listing of the platform
    // the data comes from reports it.
    std::error_code status_ec;
    const bool is_directory = it->is_directory(status_ec);
    const fs::path name = it->path().filename();
    entries.push_back({name, SortKey(name), is_directory});
  }
  std::sort(entries.begin(), entries.end(), NameBefore);
  return entries;
}

bool IsRegularFile(const fs::path& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

// The directories of one scan, by what they really are: a link loop or two
// links to one folder cannot make a directory's files convert twice.
using Visited = std::set<fs::path>;

bool FirstVisit(const fs::path& directory, Visited& visited) {
  std::error_code ec;
  fs::path real = fs::canonical(directory, ec);
  if (ec) real = fs::absolute(directory, ec).lexically_normal();
  return visited.insert(real).second;
}

// Why a folder could not be listed, as far as its status tells.
ScanTally::Folder FolderFailure(const fs::path& directory) {
  // Without its trailing separator: "file/" is not found, "file" is a file.
  const fs::path named = directory.has_filename() ? directory : directory.parent_path();
  std::error_code ec;
  const fs::file_status status = fs::status(named, ec);
  if (!fs::exists(status)) return ScanTally::Folder::kMissing;
  if (!fs::is_directory(status)) return ScanTally::Folder::kNotFolder;
  return ScanTally::Folder::kUnreadable;
}

// `top`: the folder the scan was given, whose failure the tally keeps.
int ScanTree(const std::string& station, ConversionHost& host, OutputWriter& writer,
             EpochSeconds start, double length, const fs::path& directory, Visited& visited,
             ScanTally& tally, bool top) {
  WaitCursor wait(host);
  int count = 0;
  if (FirstVisit(directory, visited)) {
    std::error_code ec;
    const std::vector<Entry> entries = ListDirectory(directory, ec);
    if (ec) {
      writer.ReportRawDataLeft(RawDataLeft::Folder(DisplayPath(directory), ErrnoOf(ec)));
      ++tally.left;
      if (top) tally.folder = FolderFailure(directory);
    }
    const auto files = static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [](const Entry& e) { return !e.directory; }));
    std::size_t position = 0;
    for (const Entry& entry : entries) {
      if (host.StopRequested()) break;
      const fs::path full = directory / entry.name;
      if (entry.directory) {
        if (host.ScanSubdirectories())
          count += ScanTree(station, host, writer, start, length, full, visited, tally, false);
        continue;
      }
      host.ExamineFile(DisplayPath(entry.name), ++position, files);
      ++tally.files;
      // Each header read once: the match, then the conversion from there.
      RawFileReader file;
      ParsedRawFile parsed;
      const RawFileRefusal refusal = ParseRawFile(full, file, parsed);
      if (refusal == RawFileRefusal::kNone) {
        const bool in_window = MatchParsedRawFile(station, parsed, start, length) == 1;
        if (CharUpper1251(RawStationName(parsed.header)) == station) {
          ++tally.station_files;
          if (!in_window) ++tally.outside_window;
        }
        if (in_window && ConvertParsedRawFile(full, file, parsed, host, writer) == 1) ++count;
      } else if (refusal == RawFileRefusal::kReadFailed ||
                 (refusal == RawFileRefusal::kCannotOpen && IsRegularFile(full))) {
        // A file that may be the station's and cannot be read is a gap: told.
        // A FIFO, a device or a dangling link is no raw file and is passed by.
        writer.ReportRawDataLeft(RawDataLeft::File(DisplayPath(full), file.Error()));
        ++tally.left;
      }
    }
  }
  host.Operator().Beep();
  host.SetStatusText("");
  return count;
}

}  // namespace

int MatchRawFile(const std::string& station, const fs::path& path, EpochSeconds start,
                 double length) {
  RawFileReader file;
  ParsedRawFile parsed;
  if (ParseRawFile(path, file, parsed) != RawFileRefusal::kNone) return 0;
  return MatchParsedRawFile(station, parsed, start, length);
}

int MatchParsedRawFile(const std::string& station, const ParsedRawFile& parsed, EpochSeconds start,
                       double length) {
  const RawFileHeader& header = parsed.header;
  const std::uint64_t size = parsed.size;
  if (CharUpper1251(RawStationName(header)) != station) return 0;
  if (start == 0.0 || length == 0.0) return 1;
  const EpochSeconds file_start = RawStartTime(header);
  if (file_start > start + length) return 0;
  if (file_start + RawDuration(header, size) <= start) return 0;
  return 1;
}

int ScanDirectory(const std::string& station, ConversionHost& host, OutputWriter& writer,
                  EpochSeconds start, double length, const std::optional<fs::path>& directory,
                  ScanTally* tally) {
  // The output root is the writer's: the command read tqf.ini once.
  // Configured directories are names of the system (code page 1251); a
  // directory given by the operator is native already.
  const fs::path folder =
      directory ? *directory : NativePath(ReadStationDataDir(station, DataDirUse::DirectoryScan));
  Visited visited;
  ScanTally unused;
  return ScanTree(station, host, writer, start, length, folder, visited,
                  tally != nullptr ? *tally : unused, true);
}

}  // namespace korvel
