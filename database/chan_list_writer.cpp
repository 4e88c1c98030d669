#include "database/chan_list_writer.h"

#include "database/file_list.h"
#include "database/statement.h"
#include "platform/text1251.h"

namespace korvel {

bool AddMissingChannel(CDatabase& database, const std::string& station, const std::string& channel,
                       double sps) {
  const std::string sta = Cp1251ToUtf8(station);
  const std::string chan = Cp1251ToUtf8(channel);
  CStatement& present =
      database.Prepared("SELECT COUNT(*) FROM SITECHAN WHERE STA = ? AND CHAN = ?");
  present.Bind(1, sta);
  present.Bind(2, chan);
  present.Execute();
  const long rows = present.Fetch() ? present.Get<std::int32_t>(1).value_or(0) : 0;
  present.CloseCursor();
  if (rows > 0) return false;

  CStatement& insert =
      database.Prepared("INSERT INTO SITECHAN (STA, CHAN, SPS, LDDATE) VALUES (?, ?, ?, ?)");
  insert.Bind(1, sta);
  insert.Bind(2, chan);
  insert.Bind(3, sps);
  insert.Bind(4, ToTimestamp(LocalTimeNow()));
  insert.Execute();
  return true;
}

}  // namespace korvel
