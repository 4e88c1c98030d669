#pragma once
// What an SDS export has to say about a station, a channel or a file it
// left or could not finish: the kind and the names, so that each program
// words it in its own language (the command line in English, by
// SdsRemarkText; the window in Russian), from a table of patterns.

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace korvel {

enum class SdsRemarkKind {
  kNotSeedStation,      // station: its name is no SEED station code
  kStationLocked,       // station: its lock was not had (value: why, as the operator is told)
  kBadSeedChannel,      // station, channel: [SEED.STA] CHAN=value is no SEED channel code
  kNoSeedChannel,       // station, channel: no SEED code for it; skipped (a warning)
  kUnreadableTqf,       // subject: a TQF file that is no readable TQF file
  kHeaderDisagrees,     // subject: a TQF file whose header and row disagree
  kOverlap,             // station, channel (SEED codes), from, to: two files overlap
  kBadLocation,         // value: [SEED] LOC= is no SEED location code; nothing exported
  kSourceUnreadable,    // subject: a TQF file that cannot be read
  kCannotWrite,         // subject: a day file; value: the system's reason
  kNotPacked,           // subject: a day file libmseed could not pack
  kLeftAsItIs,          // subject: a day file of another program, or changed since
  kListCannotWrite,     // subject: a day file whose folder's list cannot be written; value: why
  kListLineCannotWrite  // subject: a day file whose line in the list cannot be written; value: why
};
inline constexpr std::size_t kSdsRemarkKinds =
    static_cast<std::size_t>(SdsRemarkKind::kListLineCannotWrite) + 1;

struct SdsRemark {
  SdsRemarkKind kind = SdsRemarkKind::kCannotWrite;
  std::string subject;           // UTF-8: a file, or a day file below the root with "/"
  std::string station, channel;  // UTF-8
  std::string value;             // UTF-8: a code of korvel2tqf.ini, or a reason
  std::string from, to;          // an overlap's times
  // Only told, the rest goes on: a channel without a SEED code is skipped.
  bool IsWarning() const { return kind == SdsRemarkKind::kNoSeedChannel; }
};

// One pattern per kind, in the order of SdsRemarkKind. {station}, {channel},
// {subject}, {value}, {from} and {to} stand for the remark's fields, {list}
// for the name of a folder's list of day files.
using SdsRemarkPatterns = std::array<std::string_view, kSdsRemarkKinds>;

// The remark worded by a language's patterns; the fields are put in as they
// are, never read as patterns themselves.
std::string WordSdsRemark(const SdsRemark& remark, const SdsRemarkPatterns& patterns);

// The remark in English, one line, as korvel2tqf-cli prints it.
std::string SdsRemarkText(const SdsRemark& remark);

}  // namespace korvel
