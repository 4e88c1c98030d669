#pragma once
// The ODBC C API (unixODBC on POSIX, odbc32 on Windows, whose headers need
// the system's own types first).

#ifdef _WIN32
#include <windows.h>
// The system's profile functions are macros there; ours (platform/profile.h)
// carry the same names in namespace korvel.
#undef GetProfileString
#undef GetProfileInt
#undef WriteProfileString
#endif

#include <sql.h>
#include <sqlext.h>
