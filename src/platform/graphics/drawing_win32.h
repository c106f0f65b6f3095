// The GDI side of the drawing commands. Included only by files that are
// compiled into the Windows programs.
#pragma once

namespace korv {

// Installs the drawing device that draws into the current pair of contexts.
void InstallWin32Drawing();

}  // namespace korv
