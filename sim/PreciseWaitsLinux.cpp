#include <sys/prctl.h>

#include "sim/PreciseWaits.h"

namespace flash::sim {

void UsePreciseWaits() {
  constexpr unsigned long kSlackNs = 1000;
  prctl(PR_SET_TIMERSLACK, kSlackNs, 0, 0, 0);
}

}  // namespace flash::sim
