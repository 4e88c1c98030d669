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

// The usage error as CLI11 words it, every word that may be a password
// written as "***".
std::string WithoutPasswords(const std::string& message, const std::vector<std::string>& arguments);
// The arguments without the words that may be passwords, for whatever else
// a usage error reports.
std::vector<std::string> ArgumentsWithoutPasswords(const std::vector<std::string>& arguments);

// The password when none was given on the command line: --password-file's
// first line, else KORVEL2TQF_PASSWORD; empty means tqf.ini's. False, with
// the reason on standard error, when the file cannot be read.
bool TakePasswordFromElsewhere(ConnectionOptions& options, const std::string& password_file);

}  // namespace korvel::cli
