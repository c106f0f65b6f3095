// The Windows side of the controls: CreateWindowEx and the common
// controls behind the ControlPlatform seam. Included only by files that are
// compiled into the Windows programs.
#pragma once

namespace korv {

// Installs the control platform (and loads the common controls).
void InstallWin32Controls();

}  // namespace korv
