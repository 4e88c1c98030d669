#pragma once
// File arguments with wildcards, as an operator types them: on Linux the
// shell expands `C:\Raw\KUDA\*`-like patterns before the program sees them;
// Windows' command prompt hands them over as typed, so the program expands
// them itself. "*" and "?" can be no part of a Windows file name, so a
// name that holds them is always a pattern there.

#include <string>
#include <vector>

namespace korvel {

// Each UTF-8 argument as it is, except on Windows one whose last component
// holds "*" or "?": the names there that match it (its folder part kept as
// typed, sorted by name, "." and ".." left out), or the argument itself when
// none does, so that the command says it is not there.
std::vector<std::string> ExpandFilePatterns(const std::vector<std::string>& arguments);

}  // namespace korvel
