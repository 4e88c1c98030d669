#include "engine/station_lock.h"

#include <cstring>

#include "engine/conversion_commands.h"
#include "engine/operator_texts.h"
#include "engine/tqf_file.h"
#include "platform/text1251.h"

namespace korvel {

std::string StationLockRefusalText(const std::string& station, const StationLockRefusal& refusal) {
  if (refusal.reason != StationLockRefusal::Reason::kUnavailable)
    return FormatWithin(kErrorTextLength, kStationLockedText, Cp1251ToUtf8(station));
  // The lock file's path whole, however long: it is what the operator must look at.
  std::string text = kStationLockFailedText;
  std::size_t at = 0;
  const std::string reason = refusal.refused_link ? LinkRefusalText(*refusal.refused_link)
                                                  : std::strerror(refusal.system_error);
  for (const std::string& value : {Cp1251ToUtf8(station), refusal.lock_file, reason}) {
    at = text.find("%s", at);
    text.replace(at, 2, value);
    at += value.size();
  }
  return text;
}

std::optional<StationLockRefusal> LockStationFolder(FileLock& lock, const std::string& output_root,
                                                    const std::string& station,
                                                    double wait_seconds) {
  const std::string lock_path = StationLockPath(output_root, station);
  const WalkedFolder folder = OutputFolder(output_root, FileNameForm(station), /*make=*/false);
  StationLockRefusal refusal{StationLockRefusal::Reason::kUnavailable, Cp1251ToUtf8(lock_path),
                             folder.Failure().system_error};
  if (!folder.IsOpen()) {
    if (!folder.Failure().Refused()) return std::nullopt;
    refusal.refused_link = folder.Failure();
    return refusal;
  }
  const FileLock::Result result = lock.Acquire(folder, kStationLockFile, wait_seconds);
  if (result == FileLock::Result::kLocked) return std::nullopt;
  if (result != FileLock::Result::kUnavailable)
    refusal.reason = StationLockRefusal::Reason::kHeldElsewhere;
  refusal.system_error = lock.Error();
  return refusal;
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
  // A stop request is no failure; a refused link was told as an output failure.
  if (m_held || refusal->reason == StationLockRefusal::Reason::kStopped ||
      refusal->reason == StationLockRefusal::Reason::kOutputRefused)
    return;
  host.Operator().Message(StationLockRefusalText(station, *refusal), kCommandCaption,
                          MessageIcon::Error);
}

StationHold::~StationHold() {
  if (m_taken) m_writer.UnlockStation(m_station);
}

}  // namespace korvel
