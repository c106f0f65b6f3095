// The subsystems of the programs that run programs (the interpreter and
// the runtime), as tables of base/subsystems.h.
#pragma once
#include <cstddef>

#include "base/subsystems.h"

namespace korv {

// The platform-neutral subsystems: the language itself and the neutral
// parts of the text screen, the window and the files. Every running
// program has them; the console builds have nothing else.
extern const Subsystem kNeutralSubsystems[];
extern const size_t kNeutralSubsystemCount;

// The Windows parts (window system, dialogs, DLL calls, memory probe, system
// services); only the Windows programs link them.
extern const Subsystem kWindowsSubsystems[];
extern const size_t kWindowsSubsystemCount;

// Installs the neutral subsystems (once).
void InstallNeutralSubsystems();

}  // namespace korv
