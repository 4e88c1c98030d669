#pragma once
// Where the files shared by the programs of the TQF data system lie.

#include <filesystem>

namespace korvel {

// Windows: the Windows directory, where the profile functions find a bare
// "tqf.ini". POSIX: $XDG_CONFIG_HOME/tqf, else ~/.config/tqf. Empty when
// there is no such place.
std::filesystem::path SharedConfigFolder();

// Where a user's own data lives: Windows %LOCALAPPDATA%; POSIX
// $XDG_DATA_HOME, else ~/.local/share.
std::filesystem::path UserDataFolder();

// An environment variable naming a folder or file; empty when it is not set
// or empty. Read as UTF-16 on Windows, so that any name comes through.
std::filesystem::path EnvironmentPath(const char* name);

}  // namespace korvel
