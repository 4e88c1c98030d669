#include "database/chan_list.h"

#include <set>

#include "database/exact_match.h"
#include "database/statement.h"
#include "platform/text1251.h"

namespace korvel {

void CChanList::ListStation(const std::string& station,
                            const std::function<void(SiteChannelRow&&)>& each) {
  CStatement select(m_database);
  select.Prepare("SELECT STA, CHAN, NGROUP, CHANINDEX, EDEPH, LAT, LON, " +
                 ExactDouble(m_database, "SPS") +
                 ", HANG, VANG, DESCR, CALIBFILE, LDDATE FROM SITECHAN WHERE " +
                 ExactMatch(m_database, "SITECHAN", "STA"));
  BindExact(m_database, select, 1, {Cp1251ToUtf8(station)});
  select.Execute();
  while (select.Fetch()) {
    SiteChannelRow r;
    // A fixed-width column pads the names with blanks.
    r.sta = Unpadded(Utf8ToCp1251(select.Get<std::string>(1).value_or("")));
    r.chan = Unpadded(Utf8ToCp1251(select.Get<std::string>(2).value_or("")));
    r.ngroup = select.Get<std::int32_t>(3).value_or(0);
    r.chanindex = select.Get<std::int32_t>(4).value_or(0);
    r.edeph = select.Get<double>(5).value_or(0.0);
    r.lat = select.Get<double>(6).value_or(0.0);
    r.lon = select.Get<double>(7).value_or(0.0);
    r.sps = select.Get<double>(8).value_or(0.0);
    r.hang = select.Get<double>(9).value_or(0.0);
    r.vang = select.Get<double>(10).value_or(0.0);
    r.descr = Utf8ToCp1251(select.Get<std::string>(11).value_or(""));
    r.calibfile = Utf8ToCp1251(select.Get<std::string>(12).value_or(""));
    r.lddate = select.Get<std::string>(13).value_or("");
    each(std::move(r));
  }
}

std::vector<SiteChannelRow> CChanList::ListStation(const std::string& station) {
  std::vector<SiteChannelRow> rows;
  ListStation(station, [&rows](SiteChannelRow&& row) { rows.push_back(std::move(row)); });
  return rows;
}

std::vector<std::string> CChanList::ListStationNames() {
  CStatement select(m_database);
  select.ExecDirect("SELECT DISTINCT STA FROM SITECHAN");
  std::set<std::string> names;  // fixed-width columns pad: equal once trimmed
  while (select.Fetch())
    names.insert(Unpadded(Utf8ToCp1251(select.Get<std::string>(1).value_or(""))));
  return {names.begin(), names.end()};
}

bool IsTickedByDefault(const std::string& channel) {
  return channel == "Z" || channel == "N-S" || channel == "E-W";
}

}  // namespace korvel
