#include "app/window/data_source_hint.h"

#include "config/config_files.h"
#include "config/settings.h"
#include "database/data_source_names.h"
#include "platform/native_path.h"
#include "platform/text1251.h"

namespace korvel {

std::optional<std::string> MissingDataSourceText(const std::string& dsn, bool given) {
  const std::string name = Cp1251ToUtf8(dsn);
  if (DataSourceDefined(name)) return std::nullopt;
  const std::string tqf_ini = DisplayPath(TqfIniPath());
  if (!given && !TqfIniHasDatabaseKey("ODBC"))
    return "Источник данных ODBC «" + name +
           "» не определён. Создайте встроенный каталог и его источник данных командой\n"
           "    korvel2tqf-cli init-catalogue\n"
           "или укажите другой источник: ODBC=имя при запуске или ODBC= в разделе [DATABASE] "
           "файла " +
           tqf_ini + ".";
  // init-catalogue takes the name from --dsn alone.
  const std::string origin =
      given ? "задан ODBC= при запуске" : "задан в " + tqf_ini + ", раздел DATABASE, ключ ODBC";
  return "Источник данных ODBC «" + name + "» (" + origin +
         ") не определён. Создайте встроенный каталог под этим именем командой\n"
         "    korvel2tqf-cli --dsn " +
         name + " init-catalogue\nили укажите источник данных, который определён.";
}

}  // namespace korvel
