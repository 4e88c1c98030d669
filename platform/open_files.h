#pragma once
// How many files this process may hold open at once.

#include <cstddef>

namespace korvel {

// The soft limit on open descriptors; a large number when there is none.
std::size_t OpenFileLimit();

}  // namespace korvel
