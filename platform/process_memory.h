#pragma once
// How much memory this process holds.

namespace korvel {

// Resident memory (Windows: the working set) in KiB, 0 when it cannot be read.
long ResidentMemoryKib();

}  // namespace korvel
