#pragma once
// The archive's reports: what the catalogue covers of a time window
// (coverage), and whether the files below the output root are what their
// rows say (verify). Their subcommands: AddCoverageCommand, AddVerifyCommand.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

#include "app/cli/cli_commands.h"

namespace korvel::cli {

// The stations asked for (UTF-8), else those listed in korvel2tqf.ini; each
// once, in code page 1251. Empty, after the message on standard error, when
// there is none.
std::vector<std::string> ReportStations(const std::vector<std::string>& asked);

struct CoverageOptions {
  std::vector<std::string> stations;  // UTF-8; default: every station of korvel2tqf.ini
  std::string start;                  // "hh:mm:ss dd/mm/yyyy"; empty: korvel2tqf.ini TIME
  std::string length;                 // "hh:mm:ss"; empty: korvel2tqf.ini TIMEQTY
  bool all_times = false;
  std::string svg;  // the picture's file; empty: none
};
// 0 nothing missing or doubled, 1 a gap or overlap (or a station without
// files), 2 usage, 3 no connection, 4 a database error, 5 the picture could
// not be written.
int RunCoverage(const ConnectionOptions& connection, const CoverageOptions& options);

struct VerifyOptions {
  std::vector<std::string> stations;  // UTF-8; default: every station of korvel2tqf.ini
  bool fix = false;
};
// 0 every file and row agree, 1 something does not, 2 usage, 3 no
// connection, 4 a database error, 5 no output root, 6 --fix left a station
// alone because another converter was writing it.
int RunVerify(const ConnectionOptions& connection, const VerifyOptions& options);

}  // namespace korvel::cli
