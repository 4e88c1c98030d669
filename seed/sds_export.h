#pragma once
// Our catalogued TQF files as an SDS tree of miniSEED day files
// (ROOT/YEAR/NET/STA/CHAN.D/NET.STA.LOC.CHAN.D.YEAR.DOY, days split at
// midnight UTC), for the seismological tools that read such trees.
//
// Each day file holds what it held and what the export brings, merged by
// time, in the records one export of everything would make (written, added
// to or left as it is: seed/sds_day_writer.h), so that exporting a window
// again gives the same bytes and a wider window only adds. Each folder's
// ".korvel2tqf-sds" lists the day files this program wrote there by a hash
// of their bytes (seed/sds_manifest.h); any other file of the name is
// another program's and is left alone.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/coverage.h"
#include "seed/sds_remark.h"

namespace korvel {

// One catalogue row, as FILELIST holds it (code page 1251).
struct SdsRow {
  std::string channel, creator, cpath;
  std::optional<double> tbegin, tqty, sps;
};

struct SdsRequest {
  std::filesystem::path root;         // the SDS tree
  std::vector<std::string> stations;  // code page 1251
  // STATION:CHANNEL pairs to export; empty: every channel with a SEED code.
  std::vector<std::pair<std::string, std::string>> channels;
  std::optional<TimeSpan> window;  // nothing: all times
  double lock_wait = 0.0;          // seconds to wait for a station's lock
  bool lock = true;                // station locks on (SYSTEM/LOCK)
  // Asked before each day file is written, with its name below the root
  // ("/") and how many day files came before it; false stops the export
  // there. A day file is replaced in one step, so a stop leaves each one as
  // it was or as this export makes it, never half-written. Unset: never stops.
  std::function<bool(const std::string& day_file, std::size_t done)> go_on;
};

enum class SdsOutcome { kWritten, kUnchanged, kLeft };

struct SdsReport {
  // Each day file touched, below the root with "/", and what was done.
  std::vector<std::pair<std::string, SdsOutcome>> day_files;
  std::vector<SdsRemark> problems;  // refusals, overlaps, files left
  std::vector<SdsRemark> warnings;  // channels skipped
  std::uint64_t samples = 0;        // exported
  bool no_network = false;          // [SEED] NET= missing or not a SEED code
  bool stopped = false;             // go_on said no: the day files listed are all it wrote
  int Count(SdsOutcome outcome) const;
};

// The stations' own rows (read by `rows`, one call per station while its
// lock is held) as day files below the request's root; [SEED] of
// korvel2tqf.ini names the codes, tqf.ini DATA/DIR the TQF archive.
SdsReport ExportToSds(const SdsRequest& request,
                      const std::function<std::vector<SdsRow>(const std::string& station)>& rows);

}  // namespace korvel
