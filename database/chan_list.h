#pragma once
// The station channel table SITECHAN, read only.

#include <ctime>
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

  // The rows of one station, in the database's own order.
  std::vector<SiteChannelRow> ListStation(const std::string& station);

 private:
  CDatabase& m_database;
};

// The channels that the window ticks when a station is picked.
bool IsTickedByDefault(const std::string& channel);

}  // namespace korvel
