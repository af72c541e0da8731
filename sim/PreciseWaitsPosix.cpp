#include "sim/PreciseWaits.h"

namespace flash::sim {

// Other systems offer no per-thread slack; their waits stay as they are.
void UsePreciseWaits() {}

}  // namespace flash::sim
