#include "seed/sds_remark.h"

#include "seed/sds_manifest.h"

namespace korvel {

namespace {

constexpr SdsRemarkPatterns kEnglish = {
    "station {station}: not a SEED station code (1 to 5 upper-case Latin letters and digits); "
    "not exported",
    "{value}; not exported",
    "{station} {channel}: [SEED.{station}] {channel}={value} is not a SEED channel code (3 "
    "upper-case Latin letters and digits); not exported",
    "{station} {channel}: no SEED channel code; add [SEED.{station}] {channel}=CODE to "
    "korvel2tqf.ini; skipped",
    "{subject}: not a readable TQF file; not exported",
    "{subject}: its header and its catalogue row disagree (verify tells how); not exported",
    "overlap\t{station}\t{channel}\t{from}\t{to}\tboth kept",
    "[SEED] LOC={value} is not a SEED location code (empty, or 1 or 2 upper-case Latin letters "
    "and digits); nothing exported",
    "{subject}: cannot be read; not exported",
    "{subject}: cannot be written: {value}",
    "{subject}: libmseed could not pack the records; not written",
    "{subject}: written by another program, or changed since this one wrote it; left as it is",
    "{subject}: {list} cannot be written: {value}",
    "{subject}: its line in {list} cannot be written: {value}",
};

std::string_view Field(const SdsRemark& r, std::string_view name) {
  if (name == "station") return r.station;
  if (name == "channel") return r.channel;
  if (name == "subject") return r.subject;
  if (name == "value") return r.value;
  if (name == "from") return r.from;
  if (name == "to") return r.to;
  if (name == "list") return kSdsManifestName;
  return {};
}

}  // namespace

std::string WordSdsRemark(const SdsRemark& remark, const SdsRemarkPatterns& patterns) {
  const std::size_t index = static_cast<std::size_t>(remark.kind);
  if (index >= patterns.size()) return {};
  const std::string_view pattern = patterns[index];
  std::string text;
  std::size_t at = 0;
  while (at < pattern.size()) {
    const std::size_t open = pattern.find('{', at);
    const std::size_t close = open == std::string_view::npos ? open : pattern.find('}', open);
    if (close == std::string_view::npos) {
      text += pattern.substr(at);
      break;
    }
    text += pattern.substr(at, open - at);
    text += Field(remark, pattern.substr(open + 1, close - open - 1));
    at = close + 1;
  }
  return text;
}

std::string SdsRemarkText(const SdsRemark& remark) { return WordSdsRemark(remark, kEnglish); }

}  // namespace korvel
