#pragma once
// The diagnostic trace. POSIX: lines go to standard error when
// KORVEL2TQF_TRACE=1, nowhere otherwise. Windows: every line goes to the
// debugger output (OutputDebugString), as it always has there, and to
// standard error too when KORVEL2TQF_TRACE=1.

#include <string_view>

namespace korvel {

bool TraceEnabled();
void Trace(std::string_view line);  // UTF-8

}  // namespace korvel
