#include "config/config_files.h"

#include <cstdlib>

namespace korvel {
namespace {

std::filesystem::path EnvPath(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0' ? std::filesystem::path(value)
                                            : std::filesystem::path();
}

}  // namespace

std::filesystem::path TqfIniPath() {
  if (auto dir = EnvPath("TQF_CONFIG_DIR"); !dir.empty()) return dir / "tqf.ini";
  if (auto xdg = EnvPath("XDG_CONFIG_HOME"); !xdg.empty()) return xdg / "tqf" / "tqf.ini";
  if (auto home = EnvPath("HOME"); !home.empty()) return home / ".config" / "tqf" / "tqf.ini";
  return "tqf.ini";
}

std::filesystem::path ProgramIniPath() { return "korvel2tqf.ini"; }

}  // namespace korvel
