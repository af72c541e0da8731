#pragma once
// The outlets of every real session: MESSFILE.TXT and the session's link.
#include "base/Report.h"

namespace flash {

const ReportOutlets& StandardOutlets();

}  // namespace flash
