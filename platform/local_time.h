#pragma once
// The calendar time of a moment in the local time zone.

#include <ctime>

namespace korvel {

inline std::tm LocalTimeOf(std::time_t moment) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &moment);
#else
  localtime_r(&moment, &local);
#endif
  return local;
}

// The local time now, whole seconds.
inline std::tm LocalTimeNow() { return LocalTimeOf(std::time(nullptr)); }

}  // namespace korvel
