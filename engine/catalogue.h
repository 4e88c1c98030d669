#pragma once
// What the output writer needs of the file catalogue. The database layer
// implements it over ODBC; the engine never sees a driver.

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace korvel {

// A catalogue failure, carrying the driver's text (UTF-8). It travels up to the
// running command, which shows it.
class CatalogueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // The connection itself failed: what the server did with the statements
  // sent (a commit included) is not known from here.
  virtual bool ConnectionBroken() const { return false; }
};

inline constexpr const char* kOwnCreator = "korvel2TQF";
inline constexpr const char* kDeletableCreator = "DRANOVEX";
inline constexpr std::uint64_t kSpaceReserve = 10485760;  // 10 MiB
// In a station's output folder: locked by the converter writing there. The
// disk-space guard never takes a file of this name, whatever row names it.
inline constexpr const char* kStationLockFile = ".korvel2tqf.lock";

// One catalogued file, whoever wrote it, as the coverage report reads it.
struct CoverageFile {
  std::string station;  // code page 1251
  std::string channel;  // code page 1251
  double start = 0.0;   // seconds since 1970, UTC
  double duration = 0.0;
  double sampling_rate = 0.0;
};

// One of our own rows, as a later run may find it to continue its file.
struct CataloguedFile {
  std::string cpath;  // code page 1251, as stored without trailing blanks
  double tbegin = 0.0;
  double tqty = 0.0;
  double sps = 0.0;
  std::optional<double> calib;  // nothing for NULL
  std::optional<double> calper;
};

// One change of our own rows, as a raw file's files owe them. Texts are code
// page 1251; cpath is relative to the output root with "/".
struct RowChange {
  enum class Kind {
    kRegister,  // the file's row, replacing every older row of the path
    kUpdate,    // our own row of the path brought up to date (made when there is none)
    kForget,    // our own row of the path deleted
  } kind = Kind::kRegister;
  std::string cpath;
  std::string station;
  std::string channel;
  double tbegin = 0.0;
  double tqty = 0.0;
  double sps = 0.0;
  double calib = 0.0;  // kRegister only: an update keeps the row's calibration
  double calper = 0.0;
  int gain = 1;
  int datatype = 3;
};

class Catalogue {
 public:
  virtual ~Catalogue() = default;

  // A file (its path below the output root, code page 1251, "/") that the
  // writer is filling or owes a row.
  using InUse = std::function<bool(const std::string& relative_path)>;

  // Makes room below the output root by deleting the station's oldest files of
  // the other acquisition program; true when extra bytes plus the reserve are
  // free. Only a regular file with one link that lies below the output root
  // once links are resolved, on its file system, that none of our own rows
  // names, that is not `in_use` and is no station's lock file may go.
  // Deletions are committed on their own: the writer's rows are never in
  // the way, as they are sent only once their files are written.
  virtual bool DiskSpaceGuard(const std::string& output_root, std::uint64_t extra_bytes,
                              const std::string& station, const InUse& in_use) = 0;

  // The changes, in their order, in one transaction: all of them or none.
  // A refusal raises CatalogueError with everything rolled back (or, when
  // the connection broke, with the outcome unknown: ConnectionBroken). The
  // same changes may be applied again as a whole.
  virtual void ApplyRows(const std::vector<RowChange>& changes) = 0;

  // Our own row (CREATER "korvel2TQF") of the station and channel with the
  // greatest TBEGIN, when it has a TBEGIN, TQTY and SPS; texts in code page
  // 1251. One lookup through the index on (STA, CH, TBEGIN), however many
  // rows the channel has.
  virtual std::optional<CataloguedFile> LatestOwnFile(const std::string& station,
                                                      const std::string& channel) = 0;

  // Our own rows of the station and channel that may hold times in [from,
  // to): each that begins there, and the latest that begins before it (our
  // own files of a channel do not overlap). Rows without TBEGIN or TQTY are
  // left out. Two lookups through the index on (STA, CH, TBEGIN).
  virtual std::vector<CataloguedFile> OwnFilesNear(const std::string& station,
                                                   const std::string& channel, double from,
                                                   double to) = 0;
};

}  // namespace korvel
