#pragma once
// What the window tells a new operator when a first-use step is missing: the
// cause, the file or folder it looked at, and the step that mends it, as
// korvel2tqf-cli says it on its error lines, in Russian.

#include <optional>
#include <string>

#include "platform/notifier.h"

namespace korvel {

// korvel2tqf.ini is not in the current folder: which file was looked for,
// what it holds and what to do. Nothing when it is there.
std::optional<std::string> MissingProgramIniText();

// The output root of tqf.ini (code page 1251) is set but no folder: the
// folder, where it was named, the system's reason and what to do. Nothing
// when it is a folder or not set (that has a message of its own).
std::optional<std::string> MissingOutputRootText(const std::string& output_root);

// The same with tqf.ini read now, told in one box under "KORVEL->TQF" with
// the error icon; true when the command must stop before anything is
// written or asked of the operator.
bool RefuseMissingOutputRoot(Notifier& notifier);

}  // namespace korvel
