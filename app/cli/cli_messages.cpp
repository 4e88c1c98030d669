#include "app/cli/cli_messages.h"

#include <cstdio>

namespace korvel::cli {
namespace {

void Say(const char* kind, const std::string& line) {
  std::fflush(stdout);  // what was printed before stays before it
  std::fprintf(stderr, "%s: %s: %s\n", kProgramName, kind, line.c_str());
}

}  // namespace

void SayError(const std::string& line) { Say("error", line); }

void SayWarning(const std::string& line) { Say("warning", line); }

void SayNote(const std::string& line) { Say("note", line); }

void SayNext(const std::string& line) { Say("next", line); }

}  // namespace korvel::cli
