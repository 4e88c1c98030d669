#include "engine/station_lock.h"

#include <cstdio>

#include "engine/conversion_commands.h"
#include "platform/text1251.h"

namespace korvel {

bool HoldStation(const std::string& station, ConversionHost& host, OutputWriter& writer) {
  // Held already (every raw file of a scan asks): korvel2tqf.ini is not read again.
  if (writer.HoldsStationLock(station) || writer.LockStation(station, host.LockWaitSeconds()))
    return true;
  host.Operator().Message(FormatWithin(kErrorTextLength, kStationLockedText, Cp1251ToUtf8(station)),
                          kCommandCaption, MessageIcon::Error);
  return false;
}

}  // namespace korvel
