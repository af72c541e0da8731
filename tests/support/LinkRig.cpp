#include "support/LinkRig.h"

#include "base/Catalogue.h"

namespace flash::test {

void LinkRig::UseDemoChip(const std::string& extraKeys, int crystal) {
  t->dir.Write("CHIPDEF.INI", std::string(kTwoRegionCatalogue) + extraKeys);
  state().deviceNames = {"DEMO_CHIP"};
  state().deviceIndex = 0;
  state().crystalIndex = crystal;
  ApplySelectedDevice(s());
}

}  // namespace flash::test
