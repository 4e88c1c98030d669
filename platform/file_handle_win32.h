#pragma once
// What the Windows file code of this layer shares (included by *_win32.cpp
// files alone): system errors as errno, and handles under descriptors.

#include <windows.h>

namespace korvel {

// The nearest errno value of a system error, for the messages and callers
// that speak errno.
int ErrnoOf(DWORD error);

// An opened file's handle under a descriptor of its own, refused (ELOOP,
// the handle closed) when it is a reparse point: the point itself was opened
// and a link is never written through. -1 with errno when no descriptor is
// left, or for INVALID_HANDLE_VALUE (errno from the last error).
int DescriptorOfFileNotLink(HANDLE handle);

}  // namespace korvel
