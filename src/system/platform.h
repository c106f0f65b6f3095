// Registration of the Windows subsystems (window, text screen, drawing,
// files, ...) in the dispatch tables; both Windows programs call it once
// after the neutral registration.
#pragma once
namespace korv {
void RegisterPlatformSubsystems();
// Per-run reset of the platform records (before a program starts).
void ResetPlatformState();
}  // namespace korv
