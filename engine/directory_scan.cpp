#include "engine/directory_scan.h"

#include <algorithm>
#include <filesystem>
#include <vector>

#include "config/settings.h"
#include "engine/convert_raw_file.h"
#include "engine/raw_file.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {
namespace {

struct Entry {
  std::string name;  // code page 1251
  bool directory = false;
};

bool NameBefore(const Entry& a, const Entry& b) {
  const std::string ua = CharUpper1251(a.name);
  const std::string ub = CharUpper1251(b.name);
  return ua != ub ? ua < ub : a.name < b.name;
}

// The directory's entries, sorted by name without regard to case, as NTFS
// lists them: a station's files are then met in time order.
std::vector<Entry> ListDirectory(const std::string& directory1251) {
  std::vector<Entry> entries;
  std::error_code ec;
  std::filesystem::directory_iterator it(NativePath(directory1251), ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    // A link to a directory is not followed: a loop of links must not recurse for ever.
    std::error_code status_ec;
    const bool directory = it->is_directory(status_ec) && !it->is_symlink(status_ec);
    entries.push_back({PathText(it->path().filename()), directory});
  }
  std::sort(entries.begin(), entries.end(), NameBefore);
  return entries;
}

class WaitCursor {
 public:
  explicit WaitCursor(ConversionHost& host) : m_host(host) { m_host.BeginWaitCursor(); }
  ~WaitCursor() { m_host.EndWaitCursor(); }

 private:
  ConversionHost& m_host;
};

}  // namespace

int MatchRawFile(const std::string& station, const std::string& path1251, EpochSeconds start,
                 double length) {
  RawFileReader file;
  if (!file.Open(NativePath(path1251))) return 0;
  RawFileHeader header;
  if (file.ReadRawHeader(header) != kRawHeaderSize) return 0;
  const std::uint64_t size = file.Size();
  file.Close();
  if (!RawHeaderIsUsable(header) || !RawFileHoldsChannelTable(header, size)) return 0;
  if (CharUpper1251(RawStationName(header)) != station) return 0;
  if (start == 0.0 || length == 0.0) return 1;
  const EpochSeconds file_start = RawStartTime(header);
  if (file_start > start + length) return 0;
  if (file_start + RawDuration(header, size) <= start) return 0;
  return 1;
}

int ScanDirectory(const std::string& station, ConversionHost& host, OutputWriter& writer,
                  EpochSeconds start, double length,
                  const std::optional<std::string>& directory1251) {
  WaitCursor wait(host);
  writer.SetOutputRoot(ReadDataRoot());
  const std::string directory =
      directory1251 ? WithTrailingSeparator(*directory1251)
                    : ReadStationDataDir(station, DataDirUse::DirectoryScan);
  int count = 0;
  for (const Entry& entry : ListDirectory(directory)) {
    const std::string full = directory + entry.name;
    if (entry.directory) {
      if (host.ScanSubdirectories()) count += ScanDirectory(station, host, writer, start, length, full);
      continue;
    }
    host.SetStatusText(entry.name);
    if (MatchRawFile(station, full, start, length) == 1 &&
        ConvertRawFile(station, full, host, writer) == 1)
      ++count;
  }
  host.Operator().Beep();
  host.SetStatusText("");
  return count;
}

}  // namespace korvel
