#pragma once
// The command line's own lines on standard error, each under the program's
// name: "korvel2tqf-cli: error: ..." for what went wrong and its remedy,
// "korvel2tqf-cli: next: ..." for the step that follows one that went well
// (and "warning", "note").
// Messages the window shows in a box keep the box's caption instead.

#include <string>

namespace korvel::cli {

inline constexpr const char* kProgramName = "korvel2tqf-cli";

void SayError(const std::string& line);    // UTF-8
void SayWarning(const std::string& line);  // UTF-8
void SayNote(const std::string& line);     // UTF-8
void SayNext(const std::string& line);     // UTF-8

}  // namespace korvel::cli
