#pragma once
// Every key of the two ini files, with its default and its longest kept value.
// All text is code page 1251.

#include <optional>
#include <string>
#include <vector>

namespace korvel {

// The longest value kept of each key, in characters; a longer value is cut.
inline constexpr std::size_t kDataRootLength = 255;         // tqf.ini DATA/DIR
inline constexpr std::size_t kDsnLength = 31;               // DATABASE/ODBC
inline constexpr std::size_t kUserLength = 63;              // DATABASE/USER
inline constexpr std::size_t kPasswordLength = 63;          // DATABASE/PASSWORD
inline constexpr std::size_t kStationEntryLength = 63;      // SYSTEM/NSTA and STAn/NAME
inline constexpr std::size_t kTimeWindowTextLength = 31;    // SYSTEM/TIME and SYSTEM/TIMEQTY
inline constexpr std::size_t kFilePickerDirLength = 15999;  // a station's DIR, for the file picker
inline constexpr std::size_t kFolderChooserDirLength = 1599;  // ... for the folder chooser
inline constexpr std::size_t kScanDirLength = 255;            // ... for the directory scan
// A station's name as the conversion commands take it from the list.
inline constexpr std::size_t kCommandStationLength = 31;

// "tqf.ini" DATA/DIR with a trailing separator: the output root. Empty when
// the file or the key is missing or the value is empty: then there is no
// output root, and nothing may be converted (the file-system root is never
// taken for one).
std::string ReadDataRoot();

struct ConnectionKeys {
  std::string dsn;       // DATABASE/ODBC, default "TQF", at most 31
  std::string user;      // DATABASE/USER, default "TQF", at most 63
  // DATABASE/PASSWORD, default "KXM": UTF-8 and whole, as the driver is to
  // get it (the others are code page 1251).
  std::string password;
};
ConnectionKeys ReadConnectionKeys();
// Whether "tqf.ini" [DATABASE] holds `key` (ODBC, USER, PASSWORD), so that
// its value, not the default, is the one read.
bool TqfIniHasDatabaseKey(const std::string& key);

// "korvel2tqf.ini" SYSTEM/SCANDIR.
int ReadScanSubdirectories();

// "korvel2tqf.ini" SYSTEM/LOCKWAIT: how long a conversion waits, in seconds,
// for a station that another converter is writing; default 0, never below.
double ReadLockWaitSeconds();

// "korvel2tqf.ini" SYSTEM/LOCK: 0 converts without station locks, for output
// folders on file systems that have none; default 1.
bool ReadStationLocks();

// "korvel2tqf.ini" SYSTEM/CONTINUE: non-zero lets output files of earlier runs
// be continued (off by default).
int ReadContinueOutput();

// "korvel2tqf.ini" SYSTEM/DURABLE: non-zero puts each output file's bytes on
// the disk itself before its catalogue row is committed (off by default).
bool ReadDurableOutput();

// "korvel2tqf.ini" [SEED] NET= and LOC= (empty when missing), and the SEED
// channel code that [SEED.<station>] gives a channel (empty: none given).
// Code page 1251, as written.
std::string ReadSeedNetwork();
std::string ReadSeedLocation();
std::string ReadSeedChannel(const std::string& station, const std::string& channel);

// The names of STA0 .. STA(n-1) with n = SYSTEM/NSTA; empty names skipped.
std::vector<std::string> ReadStationNames();

// "korvel2tqf.ini" lists the station (STAn/NAME) or has a section of its own
// with its DIR.
bool ProgramIniNamesStation(const std::string& station);

inline constexpr const char* kDefaultTimeWindowStart = "00:00:00 01/01/2007";
inline constexpr const char* kDefaultTimeWindowLength = "00:30:00";

std::string ReadTimeWindowStart();   // SYSTEM/TIME
std::string ReadTimeWindowLength();  // SYSTEM/TIMEQTY
// Either value may be left out: its line keeps what it held.
void WriteTimeWindow(const std::optional<std::string>& start,
                     const std::optional<std::string>& length);

// How a station's raw data directory is read: the longest value kept and the
// default of SYSTEM/DIR differ between the file picker, the folder chooser and
// the directory scan.
enum class DataDirUse { FilePicker, FolderChooser, DirectoryScan };

// The station's own DIR, else SYSTEM/DIR, with a trailing separator.
std::string ReadStationDataDir(const std::string& station, DataDirUse use);

// Which key gave the station's raw data directory: its own DIR, SYSTEM/DIR,
// or neither (the directory scan's default).
enum class DataDirOrigin { kStation, kSystem, kDefault };
DataDirOrigin ReadStationDataDirOrigin(const std::string& station);

}  // namespace korvel
