#include "app/startup_options.h"

#include <cstring>

#include "platform/text1251.h"

namespace korvel {
namespace {

std::string Cut(std::string_view text, std::size_t field) {
  return std::string(text.substr(0, std::min(text.size(), field)));
}

// The tokens of the working buffer, cut at every space; runs of spaces give
// no empty tokens.
template <typename Visit>
void ForEachToken(std::string_view command_line, Visit visit) {
  const std::string_view buffer =
      command_line.substr(0, std::min(command_line.size(), kCommandLineBuffer));
  std::size_t pos = 0;
  while (pos < buffer.size()) {
    if (buffer[pos] == ' ') {
      ++pos;
      continue;
    }
    const std::size_t end = std::min(buffer.find(' ', pos), buffer.size());
    visit(buffer.substr(pos, end - pos));
    pos = end;
  }
}

}  // namespace

bool ParseCommandLine(std::string_view command_line, StartupOptions& options) {
  options.odbc_dsn.clear();
  options.odbc_user.clear();
  options.odbc_password.clear();
  options.check_database = false;
  bool station_found = false;

  ForEachToken(command_line, [&](std::string_view token) {
    if (token.front() == '/' || token.front() == '-') {
      if (token.substr(1).find("CHKDB") != std::string_view::npos) options.check_database = true;
    } else if (token.find("ODBC=") != std::string_view::npos) {
      options.odbc_dsn = Cut(token.substr(5), kDsnField);
    } else if (token.find("USER=") != std::string_view::npos) {
      options.odbc_user = Cut(token.substr(5), kUserField);
    } else if (token.find("PASSWORD=") != std::string_view::npos) {
      options.odbc_password = std::string(token.substr(9));
    } else if (token.find("CHKDB") != std::string_view::npos) {
      options.check_database = true;
    } else {
      options.initial_station = CharUpper1251(Cut(token, kStationToken));
      station_found = true;
    }
  });
  return station_found;
}

InformationRequest FindInformationRequest(std::string_view command_line) {
  InformationRequest request = InformationRequest::kNone;
  ForEachToken(command_line, [&](std::string_view token) {
    if (request != InformationRequest::kNone) return;
    if (token == "--version") request = InformationRequest::kVersion;
    if (token == "--help") request = InformationRequest::kHelp;
  });
  return request;
}

void WipePasswordTokens(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    for (char* at = std::strstr(argv[i], "PASSWORD="); at != nullptr;
         at = std::strstr(at, "PASSWORD=")) {
      at += 9;
      for (; *at != '\0' && *at != ' '; ++at) *at = 'x';
    }
}

}  // namespace korvel
