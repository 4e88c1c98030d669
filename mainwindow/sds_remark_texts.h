#pragma once
// The SDS export's remarks as the window shows them: in Russian, one line
// each. Built where libmseed is (KORVEL_WITH_SEED).

#include <string>

#include "seed/sds_remark.h"

namespace korvel {

std::string SdsRemarkForOperator(const SdsRemark& remark);

}  // namespace korvel
