#pragma once
// What a new user meets first, said on one line of standard error: the cause
// and the step that mends it. The window's own messages stay as they are;
// these lines follow them on the command line.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "app/cli/cli_commands.h"

namespace korvel::cli {

// The catalogue could not be opened: when no data source of the name is
// known to the driver manager, say how to make one.
void HintMissingDataSource(const ConnectionOptions& connection);
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

// A command line whose command word names none: says so, with the nearest
// command when one is near; true when it did.
bool HintUnknownCommand(const CLI::App& app, const std::vector<std::string>& arguments);

}  // namespace korvel::cli
