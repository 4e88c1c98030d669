#pragma once
// What a new user meets first, said on one line of standard error: the cause
// and the step that mends it. The window's own messages stay as they are;
// these lines follow them on the command line.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "app/cli/cli_commands.h"
#include "database/connection.h"

namespace korvel::cli {

// The catalogue could not be opened: when no data source of the name is
// known to the driver manager, how to make one under that name; when the
// server refused the login, where the user name and password came from.
void HintConnectionFailed(const ConnectionOptions& connection, OpenFailure failure);
// korvel2tqf.ini is not in the current folder.
void HintMissingProgramIni();
// tqf.ini names no output root: the file that was read.
void HintNoOutputRoot();
// tqf.ini names an output root (code page 1251) that is no folder (missing,
// or a file).
void HintMissingOutputRoot(const std::string& output_root);
// No channel is selected for the stations (code page 1251): why, station by
// station (no SITECHAN rows, none of the default ticks, an unknown station).
void HintEmptySelection(const std::vector<std::string>& stations);

// A command line with a word that names no command, or an option that the
// program (or its command) does not have: says which, with the nearest name
// when one is near; true when it did.
bool HintUnknownWord(const CLI::App& app, const std::vector<std::string>& arguments);

}  // namespace korvel::cli
