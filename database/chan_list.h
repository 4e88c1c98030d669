#pragma once
// The station channel table SITECHAN, read only.

#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "database/database.h"

namespace korvel {

struct SiteChannelRow {
  std::string sta;   // code page 1251
  std::string chan;  // code page 1251
  long ngroup = 0;
  long chanindex = 0;
  double edeph = 0.0;
  double lat = 0.0;
  double lon = 0.0;
  double sps = 0.0;  // a null rate reads as 0
  double hang = 0.0;
  double vang = 0.0;
  std::string descr;
  std::string calibfile;
  std::string lddate;  // as the driver gives it
};

class CChanList {
 public:
  explicit CChanList(CDatabase& database) : m_database(database) {}

  // Hands the rows of one station to `each` as they are read, in the
  // database's own order. An error part-way is raised after the rows read
  // before it have been handed over, so that they can stay on show.
  void ListStation(const std::string& station, const std::function<void(SiteChannelRow&&)>& each);
  // All rows at once, or the error alone: for callers that need the whole list.
  std::vector<SiteChannelRow> ListStation(const std::string& station);
  // The stations that have rows, each once, sorted (code page 1251).
  std::vector<std::string> ListStationNames();

 private:
  CDatabase& m_database;
};

// The channels that the window ticks when a station is picked.
bool IsTickedByDefault(const std::string& channel);

}  // namespace korvel
