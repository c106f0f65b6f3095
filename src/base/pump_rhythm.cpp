#include "base/pump_rhythm.h"

#include "base/host.h"

namespace korv {

PumpRhythm gPump;

bool PumpDue() {
  const uint32_t tick = host().TickCount();
  if (!gPump.touched && tick == gPump.lastTick) return false;
  gPump.touched = false;
  gPump.lastTick = tick;
  return true;
}

void ResetPumpRhythm() { gPump = PumpRhythm(); }

}  // namespace korv
