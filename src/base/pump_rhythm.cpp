#include "base/pump_rhythm.h"

#include "base/host.h"

namespace korv {

PumpRhythm gPump;

void PumpBetweenStatements() {
  const uint32_t tick = host().TickCount();
  if (!gPump.touched && tick == gPump.lastTick) return;
  gPump.touched = false;
  gPump.lastTick = tick;
  host().PumpMessages();
}

void ResetPumpRhythm() { gPump = PumpRhythm(); }

}  // namespace korv
