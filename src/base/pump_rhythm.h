// Message pumping between statements. Each pump asks the window system for
// messages, which costs a round trip even when the queue is empty. Only two
// things can put messages there: the program's own calls into the platform
// (windows, controls, drawing, DLLs, ...) and the outside world (input,
// timers, other programs). So a pump between statements is skipped when
// neither happened: no handler that reaches the platform ran since the last
// pump, and the millisecond clock has not moved. What a statement causes is
// still handled before the next statement runs; what arrives from outside
// waits no longer than one clock step.
#pragma once
#include <cstdint>

namespace korv {

struct PumpRhythm {
  bool touched = true;    // a handler that may reach the platform ran
  uint32_t lastTick = 0;  // clock reading at the last pump
};
extern PumpRhythm gPump;

// Called before every handler that is not known to stay inside the core
// (the names without the kQuiet trait in base/names.h).
inline void NoteOutsideWork() { gPump.touched = true; }

// Whether the pump between two statements is due now (the executors then
// call the host's PumpMessages); it counts as done from here on.
bool PumpDue();
void ResetPumpRhythm();

}  // namespace korv
