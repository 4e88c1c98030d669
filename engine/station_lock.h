#pragma once
// One converter per station at a time: a conversion writes into a station's
// output folder only while it holds the station's lock.

#include <string>

#include "engine/conversion_host.h"
#include "engine/output_writer.h"

namespace korvel {

inline constexpr const char* kStationLockedText = "Станция %s уже конвертируется другой программой";

// Takes the station's lock for the writer, waiting as long as the host says;
// when another converter still holds it, tells the operator ("Станция %s
// уже конвертируется другой программой" under "KORVEL->TQF") and answers
// false: the caller leaves the station alone.
bool HoldStation(const std::string& station, ConversionHost& host, OutputWriter& writer);

// Releases every station's lock when a command ends, however it ends.
class StationLocksHeld {
 public:
  explicit StationLocksHeld(OutputWriter& writer) : m_writer(writer) {}
  StationLocksHeld(const StationLocksHeld&) = delete;
  StationLocksHeld& operator=(const StationLocksHeld&) = delete;
  ~StationLocksHeld() { m_writer.UnlockStations(); }

 private:
  OutputWriter& m_writer;
};

}  // namespace korvel
