#include "config/settings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "config/config_files.h"
#include "platform/native_path.h"
#include "platform/profile.h"

namespace korvel {

std::string ReadDataRoot() {
  std::string dir = GetProfileString("DATA", "DIR", "", kDataRootLength + 1, TqfIniPath());
  return dir.empty() ? dir : WithTrailingSeparator(std::move(dir));
}

ConnectionKeys ReadConnectionKeys() {
  const auto ini = TqfIniPath();
  return {GetProfileString("DATABASE", "ODBC", "TQF", kDsnLength + 1, ini),
          GetProfileString("DATABASE", "USER", "TQF", kUserLength + 1, ini),
          GetProfileStringUtf8("DATABASE", "PASSWORD", "KXM", ini)};
}

bool TqfIniHasDatabaseKey(const std::string& key) {
  constexpr const char* kMissing = "\x01";  // no value holds it
  return GetProfileString("DATABASE", key, kMissing, 2, TqfIniPath()) != kMissing;
}

int ReadScanSubdirectories() { return GetProfileInt("SYSTEM", "SCANDIR", 0, ProgramIniPath()); }

double ReadLockWaitSeconds() {
  return std::max(0, GetProfileInt("SYSTEM", "LOCKWAIT", 0, ProgramIniPath()));
}

bool ReadStationLocks() { return GetProfileInt("SYSTEM", "LOCK", 1, ProgramIniPath()) != 0; }

bool ReadDurableOutput() { return GetProfileInt("SYSTEM", "DURABLE", 0, ProgramIniPath()) != 0; }

// SEED codes are at most five characters; a longer value is read far enough
// to be refused as too long, never cut to a valid one.
constexpr std::size_t kSeedValueLength = 64;

std::string ReadSeedNetwork() {
  return GetProfileString("SEED", "NET", "", kSeedValueLength, ProgramIniPath());
}

std::string ReadSeedLocation() {
  return GetProfileString("SEED", "LOC", "", kSeedValueLength, ProgramIniPath());
}

std::string ReadSeedChannel(const std::string& station, const std::string& channel) {
  return GetProfileString("SEED." + station, channel, "", kSeedValueLength, ProgramIniPath());
}

int ReadContinueOutput() { return GetProfileInt("SYSTEM", "CONTINUE", 0, ProgramIniPath()); }

bool ProgramIniNamesStation(const std::string& station) {
  const std::vector<std::string> listed = ReadStationNames();
  return std::find(listed.begin(), listed.end(), station) != listed.end() ||
         !GetProfileString(station, "DIR", "", kScanDirLength + 1, ProgramIniPath()).empty();
}

std::vector<std::string> ReadStationNames() {
  const auto ini = ProgramIniPath();
  // NSTA is text read as a decimal number, like the window's sscanf of it.
  const int count =
      std::atoi(GetProfileString("SYSTEM", "NSTA", "0", kStationEntryLength + 1, ini).c_str());
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char section[32];
    std::snprintf(section, sizeof section, "STA%d", i);
    std::string name = GetProfileString(section, "NAME", "", kStationEntryLength + 1, ini);
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

std::string ReadTimeWindowStart() {
  return GetProfileString("SYSTEM", "TIME", kDefaultTimeWindowStart, kTimeWindowTextLength + 1,
                          ProgramIniPath());
}

std::string ReadTimeWindowLength() {
  return GetProfileString("SYSTEM", "TIMEQTY", kDefaultTimeWindowLength, kTimeWindowTextLength + 1,
                          ProgramIniPath());
}

void WriteTimeWindow(const std::optional<std::string>& start,
                     const std::optional<std::string>& length) {
  if (start) WriteProfileString("SYSTEM", "TIME", *start, ProgramIniPath());
  if (length) WriteProfileString("SYSTEM", "TIMEQTY", *length, ProgramIniPath());
}

std::string ReadStationDataDir(const std::string& station, DataDirUse use) {
  const auto ini = ProgramIniPath();
  std::size_t buffer = kScanDirLength + 1;
  const char* shared_default = "";
  switch (use) {
    case DataDirUse::FilePicker:
      buffer = kFilePickerDirLength + 1;
      break;
    case DataDirUse::FolderChooser:
      buffer = kFolderChooserDirLength + 1;
      break;
    case DataDirUse::DirectoryScan:
      shared_default = kDefaultDataDirectory;
      break;
  }
  std::string dir = GetProfileString(station, "DIR", "", buffer, ini);
  if (dir.empty()) dir = GetProfileString("SYSTEM", "DIR", shared_default, buffer, ini);
  return WithTrailingSeparator(std::move(dir));
}

DataDirOrigin ReadStationDataDirOrigin(const std::string& station) {
  const auto ini = ProgramIniPath();
  if (!GetProfileString(station, "DIR", "", kScanDirLength + 1, ini).empty())
    return DataDirOrigin::kStation;
  if (!GetProfileString("SYSTEM", "DIR", "", kScanDirLength + 1, ini).empty())
    return DataDirOrigin::kSystem;
  return DataDirOrigin::kDefault;
}

}  // namespace korvel
