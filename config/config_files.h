#pragma once
// Where the two ini files are: "tqf.ini", shared with the rest of the TQF data
// system, in $TQF_CONFIG_DIR or else $XDG_CONFIG_HOME/tqf (~/.config/tqf);
// "korvel2tqf.ini", the program's own, in the current directory.

#include <filesystem>

namespace korvel {

std::filesystem::path TqfIniPath();
std::filesystem::path ProgramIniPath();

}  // namespace korvel
