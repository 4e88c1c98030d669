#include "engine/station_lock.h"

#include <cstdio>

#include "engine/conversion_commands.h"
#include "platform/text1251.h"

namespace korvel {

bool HoldStation(const std::string& station, ConversionHost& host, OutputWriter& writer) {
  if (writer.LockStation(station, host.LockWaitSeconds())) return true;
  host.Operator().Message(FormatWithin(kErrorTextLength, kStationLockedText, Cp1251ToUtf8(station)),
                          kCommandCaption, MessageIcon::Error);
  return false;
}

}  // namespace korvel
