#pragma once
// One converter per station at a time: a conversion writes into a station's
// output folder only while it holds the station's lock, and holds it only
// while that station converts, so that two converters taking stations in
// opposite orders never wait on each other.

#include <optional>
#include <string>

#include "engine/conversion_host.h"
#include "engine/output_writer.h"

namespace korvel {

inline constexpr const char* kStationLockedText = "Станция %s уже конвертируется другой программой";
// The station, the lock file and the system's reason.
inline constexpr const char* kStationLockFailedText =
    "Станция %s пропущена: не удаётся заблокировать файл %s (%s)";

// What the operator is told when a station's lock is not had (nothing to
// tell for a stop request): UTF-8.
std::string StationLockRefusalText(const std::string& station, const StationLockRefusal& refusal);

// The station's lock for a command that reads or mends what is written
// (verify, the SDS export): taken when the station's folder is there, reached
// from the output root as the writer reaches it; never made. Nothing when it
// is held or there is no folder; else why not (a link in the folder's place
// that is not followed: kUnavailable with refused_link).
std::optional<StationLockRefusal> LockStationFolder(FileLock& lock, const std::string& output_root,
                                                    const std::string& station,
                                                    double wait_seconds);

// The station's lock for as long as this lives, taken for the writer and
// waited for as long as the host says; a lock the writer holds already (an
// enclosing hold's) is left to its holder. When the lock cannot be had, the
// operator is told why (under "KORVEL->TQF") and Held() is false: the caller
// leaves the station alone. A stop request ends the wait at once, silently.
// With station locks off (SYSTEM/LOCK=0, --no-lock) nothing is locked.
class StationHold {
 public:
  StationHold(const std::string& station, ConversionHost& host, OutputWriter& writer);
  StationHold(const StationHold&) = delete;
  StationHold& operator=(const StationHold&) = delete;
  ~StationHold();
  bool Held() const { return m_held; }

 private:
  OutputWriter& m_writer;
  std::string m_station;
  bool m_held = false;
  bool m_taken = false;  // taken here, so released here
};

}  // namespace korvel
