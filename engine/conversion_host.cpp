#include "engine/conversion_host.h"

#include "config/settings.h"

namespace korvel {

double ConversionHost::LockWaitSeconds() const { return ReadLockWaitSeconds(); }

bool ConversionHost::UsesStationLocks() const { return ReadStationLocks(); }

}  // namespace korvel
