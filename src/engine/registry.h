// Start-up registration of the neutral subsystems' commands, functions and
// system variables. Each program calls RegisterNeutral() once; the Windows
// programs then register their platform subsystems.
#pragma once
namespace korv {
void RegisterNeutral();
}
