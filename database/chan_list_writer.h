#pragma once
// Rows added to the station channel table SITECHAN, for a catalogue that
// does not know a station's channels yet. Rows that are there are never
// changed: another program (or the administrator) may have filled them.

#include <string>

#include "database/database.h"

namespace korvel {

// Adds the row (station, channel, samples per second) unless the station
// already has a row of that channel. LDDATE is the local time now; every
// other column is left to the table's default (NULL): the raw file knows
// nothing of a channel's place, depth or orientation. Names are code page
// 1251, stored as UTF-8. Returns whether a row was added.
bool AddMissingChannel(CDatabase& database, const std::string& station, const std::string& channel,
                       double sps);

}  // namespace korvel
