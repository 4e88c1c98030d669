#include <cstdlib>

#include "platform/config_folder.h"

namespace korvel {

std::filesystem::path EnvironmentPath(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::filesystem::path(value)
                                            : std::filesystem::path();
}

std::filesystem::path SharedConfigFolder() {
  if (auto xdg = EnvironmentPath("XDG_CONFIG_HOME"); !xdg.empty()) return xdg / "tqf";
  if (auto home = EnvironmentPath("HOME"); !home.empty()) return home / ".config" / "tqf";
  return {};
}

std::filesystem::path UserDataFolder() {
  if (auto xdg = EnvironmentPath("XDG_DATA_HOME"); !xdg.empty()) return xdg;
  const auto home = EnvironmentPath("HOME");
  return (home.empty() ? std::filesystem::path("/") : home) / ".local" / "share";
}

}  // namespace korvel
