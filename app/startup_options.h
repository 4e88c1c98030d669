#pragma once
// The parsed command line of the window program.

#include <string>
#include <string_view>

#include "config/settings.h"

namespace korvel {

struct StartupOptions {
  std::string odbc_dsn;       // at most 31 characters
  std::string odbc_user;      // at most 63
  std::string odbc_password;  // whole: a password is never cut
  bool check_database = false;
  std::string initial_station;  // upper case, at most 19
};

inline constexpr std::size_t kCommandLineBuffer = 1023;
inline constexpr std::size_t kDsnField = kDsnLength;
inline constexpr std::size_t kUserField = kUserLength;
inline constexpr std::size_t kStationToken = 19;

// Tokens split at spaces: ODBC=, USER=, PASSWORD=, CHKDB (also /CHKDB and
// -CHKDB) and a bare station name. Over-long values are cut to their fields.
// Returns whether a station name was found.
bool ParseCommandLine(std::string_view command_line, StartupOptions& options);

// "--version" or "--help" as a token of its own (the first that comes): the
// window program then prints and ends without connecting or opening a window.
// Both begin with "-", a form that ParseCommandLine ignores unless it holds
// CHKDB, so no token that the window acts on is taken away from it.
enum class InformationRequest { kNone, kVersion, kHelp };
InformationRequest FindInformationRequest(std::string_view command_line);

// Overwrites with 'x' what follows "PASSWORD=" in each argument of the
// process's own argv, which the system shows to other users, once it is read.
void WipePasswordTokens(int argc, char** argv);

}  // namespace korvel
