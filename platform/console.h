#pragma once
// What a command-line program needs of its console: whether standard error
// is a terminal, UTF-8 output, and its arguments as UTF-8.

#include <string>
#include <vector>

namespace korvel {

// A terminal (on Windows a console) that shows progress lines and beeps.
bool StandardErrorIsTerminal();

// The program writes UTF-8. On Windows a console's output code page becomes
// UTF-8 (65001) while the program runs and is put back when it ends; output
// to a file or a pipe is UTF-8 anyway. Nothing to do on POSIX.
void UseUtf8Output();

// The arguments as UTF-8 text, the program's name first. On Windows they are
// taken from the wide command line: argv holds them in the ANSI code page,
// where a name outside it is lost. On POSIX argv as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

}  // namespace korvel
