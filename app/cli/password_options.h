#pragma once
// The database password kept off the record: other users of the machine can
// read a process's command line (/proc/PID/cmdline, ps), so --password is
// wiped from it as soon as it is read, as database clients do; a usage error
// never repeats it; and it can come from a file or the environment instead.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "app/cli/cli_commands.h"

namespace korvel::cli {

// The options --password and --password-file, on `app`, into `options`.
void AddPasswordOptions(CLI::App& app, ConnectionOptions& options, std::string& password_file);

// Overwrites the value of every --password (or a misspelling of it) in the
// process's own argv, which the system shows to others, with 'x'.
void WipePasswordArguments(int argc, char** argv);

// The arguments with every word that may be a password replaced whole by
// "***" (the value after "=" in --password=VALUE), for whatever a usage error
// reports of them.
std::vector<std::string> ArgumentsWithoutPasswords(const std::vector<std::string>& arguments);
// The usage error as CLI11 words it for those arguments (`app` parses them
// again): no letter of a password shows, and no other word is touched.
std::string UsageErrorWithoutPasswords(CLI::App& app, const CLI::ParseError& error,
                                       const std::vector<std::string>& arguments);

// The password when none was given on the command line: --password-file's
// first line, else KORVEL2TQF_PASSWORD; empty means tqf.ini's. False, with
// the reason on standard error, when the file cannot be read.
bool TakePasswordFromElsewhere(ConnectionOptions& options, const std::string& password_file);

}  // namespace korvel::cli
