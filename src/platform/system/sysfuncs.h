// Functions and system variables served by the Windows system itself
// (windows and messages, environment, program start, versions, metrics).
#pragma once
namespace korv {
// Registers them in the dispatch tables (Windows programs only).
void RegisterSystemFunctions();
}  // namespace korv
