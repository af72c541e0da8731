#include "base/SessionState.h"

#include "base/ProgressDialog.h"

namespace flash {

SessionState::SessionState() = default;
SessionState::~SessionState() = default;

std::string SessionState::DeviceName() const {
  if (deviceIndex < 0 || static_cast<std::size_t>(deviceIndex) >= deviceNames.size()) return {};
  return deviceNames[static_cast<std::size_t>(deviceIndex)];
}

std::string SessionState::CrystalText() const {
  if (crystalIndex < 0 || static_cast<std::size_t>(crystalIndex) >= crystalTexts.size()) return {};
  return crystalTexts[static_cast<std::size_t>(crystalIndex)];
}

}  // namespace flash
