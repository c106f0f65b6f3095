#include "system/platform.h"

namespace korv {

void RegisterPlatformSubsystems() {
  static bool done = false;
  if (done) return;
  done = true;
}

void ResetPlatformState() {}

}  // namespace korv
