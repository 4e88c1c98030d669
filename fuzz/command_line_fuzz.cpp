// Feeds arbitrary bytes to the window program's command-line parser.

#include <cstdint>
#include <string_view>

#include "app/startup_options.h"
#include "platform/text1251.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  korvel::StartupOptions options;
  korvel::ParseCommandLine(std::string_view(reinterpret_cast<const char*>(data), size), options);
  // Every value fits the field it is copied into (a password is kept whole); the station is upper
  // case.
  if (options.odbc_dsn.size() > korvel::kDsnField ||
      options.odbc_user.size() > korvel::kUserField ||
      options.initial_station.size() > korvel::kStationToken)
    __builtin_trap();
  if (korvel::CharUpper1251(options.initial_station) != options.initial_station) __builtin_trap();
  return 0;
}
