#include "seed/sds_remark.h"

#include "seed/sds_manifest.h"

namespace korvel {

std::string SdsRemarkText(const SdsRemark& r) {
  const std::string name = r.station + " " + r.channel;
  switch (r.kind) {
    case SdsRemarkKind::kNotSeedStation:
      return "station " + r.station +
             ": not a SEED station code (1 to 5 upper-case Latin letters and digits); not exported";
    case SdsRemarkKind::kStationLocked:
      return r.value + "; not exported";
    case SdsRemarkKind::kBadSeedChannel:
      return name + ": [SEED." + r.station + "] " + r.channel + "=" + r.value +
             " is not a SEED channel code (3 upper-case Latin letters and digits); not exported";
    case SdsRemarkKind::kNoSeedChannel:
      return name + ": no SEED channel code; add [SEED." + r.station + "] " + r.channel +
             "=CODE to korvel2tqf.ini; skipped";
    case SdsRemarkKind::kUnreadableTqf:
      return r.subject + ": not a readable TQF file; not exported";
    case SdsRemarkKind::kHeaderDisagrees:
      return r.subject +
             ": its header and its catalogue row disagree (verify tells how); not exported";
    case SdsRemarkKind::kOverlap:
      return "overlap\t" + r.station + "\t" + r.channel + "\t" + r.from + "\t" + r.to +
             "\tboth kept";
    case SdsRemarkKind::kBadLocation:
      return "[SEED] LOC=" + r.value +
             " is not a SEED location code (empty, or 1 or 2 upper-case Latin letters and digits); "
             "nothing exported";
    case SdsRemarkKind::kSourceUnreadable:
      return r.subject + ": cannot be read; not exported";
    case SdsRemarkKind::kCannotWrite:
      return r.subject + ": cannot be written: " + r.value;
    case SdsRemarkKind::kNotPacked:
      return r.subject + ": libmseed could not pack the records; not written";
    case SdsRemarkKind::kLeftAsItIs:
      return r.subject +
             ": written by another program, or changed since this one wrote it; left as it is";
    case SdsRemarkKind::kListCannotWrite:
      return r.subject + ": " + kSdsManifestName + " cannot be written: " + r.value;
    case SdsRemarkKind::kListLineCannotWrite:
      return r.subject + ": its line in " + kSdsManifestName + " cannot be written: " + r.value;
  }
  return {};
}

}  // namespace korvel
