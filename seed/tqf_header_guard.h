#pragma once
// Whether a TQF file's header belongs to its catalogue row. The row is the
// truth of the file's start and rate; the header, written from it, keeps
// whole seconds (a start a hair before a second may be written as that
// second) and six decimals of the rate, so it can only tell a wrong file:
// another station or channel, another rate, another start.

#include <string>

#include "engine/tqf_header.h"

namespace korvel {

bool HeaderFitsRow(const TqfHeaderFields& header, const std::string& station,
                   const std::string& channel, double rate, EpochSeconds start);

}  // namespace korvel
