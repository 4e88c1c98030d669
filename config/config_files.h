#pragma once
// Where the two ini files are: "tqf.ini", shared with the rest of the TQF data
// system, in $TQF_CONFIG_DIR when it is set, else in the shared folder of the
// platform (Windows: the Windows directory, as the profile functions find a
// bare "tqf.ini"; POSIX: $XDG_CONFIG_HOME/tqf or ~/.config/tqf);
// "korvel2tqf.ini", the program's own, in the current directory.

#include <filesystem>

namespace korvel {

std::filesystem::path TqfIniPath();
std::filesystem::path ProgramIniPath();

}  // namespace korvel
