#include "engine/station_lock.h"

#include <cstring>

#include "engine/operator_texts.h"
#include "platform/text1251.h"

namespace korvel {

std::string StationLockRefusalText(const std::string& station, const StationLockRefusal& refusal) {
  if (refusal.reason != StationLockRefusal::Reason::kUnavailable)
    return FormatWithin(kErrorTextLength, kStationLockedText, Cp1251ToUtf8(station));
  // The lock file's path whole, however long: it is what the operator must look at.
  std::string text = kStationLockFailedText;
  std::size_t at = 0;
  for (const std::string& value : {Cp1251ToUtf8(station), refusal.lock_file,
                                   std::string(std::strerror(refusal.system_error))}) {
    at = text.find("%s", at);
    text.replace(at, 2, value);
    at += value.size();
  }
  return text;
}

StationHold::StationHold(const std::string& station, ConversionHost& host, OutputWriter& writer)
    : m_writer(writer), m_station(station) {
  // Held already (every raw file of a scan asks): korvel2tqf.ini is not read again.
  if (writer.HoldsStationLock(station) || !host.UsesStationLocks()) {
    m_held = true;
    return;
  }
  const std::optional<StationLockRefusal> refusal =
      writer.LockStation(station, host.LockWaitSeconds(), [&] { return host.StopRequested(); });
  m_held = m_taken = !refusal;
  if (m_held || refusal->reason == StationLockRefusal::Reason::kStopped) return;
  host.Operator().Message(StationLockRefusalText(station, *refusal), kCommandCaption,
                          MessageIcon::Error);
}

StationHold::~StationHold() {
  if (m_taken) m_writer.UnlockStation(m_station);
}

}  // namespace korvel
