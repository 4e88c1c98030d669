#pragma once
// The main window's control ids, kept from its resource template; tests and
// the command buttons find controls by them.

namespace korvel {

enum ControlId {
  kIdConvert = 1,
  kIdExit = 2,
  kIdStationList = 1000,
  kIdStartEdit = 1016,
  kIdLengthEdit = 1017,
  kIdStatusLine = 1018,
  kIdConvertFiles = 1020,
  kIdChannelList = 1021,
  kIdSelectAllStations = 1022,
  kIdDeselectAllStations = 1023,
  kIdTickAllChannels = 1024,
  kIdUntickAllChannels = 1025,
  kIdConvertDirectory = 1028,
};

inline constexpr int kAboutCommand = 16;

}  // namespace korvel
