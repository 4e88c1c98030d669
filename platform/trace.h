#pragma once
// The diagnostic trace: lines go to standard error when KORVEL2TQF_TRACE=1,
// nowhere otherwise.

#include <string_view>

namespace korvel {

bool TraceEnabled();
void Trace(std::string_view line);

}  // namespace korvel
