#include "config/config_files.h"

#include "platform/config_folder.h"

namespace korvel {

std::filesystem::path TqfIniPath() {
  if (auto dir = EnvironmentPath("TQF_CONFIG_DIR"); !dir.empty()) return dir / "tqf.ini";
  if (auto shared = SharedConfigFolder(); !shared.empty()) return shared / "tqf.ini";
  return "tqf.ini";
}

std::filesystem::path ProgramIniPath() { return "korvel2tqf.ini"; }

}  // namespace korvel
