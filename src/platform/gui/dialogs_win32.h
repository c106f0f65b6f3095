// Installs the Windows dialogs behind the built-in dialog functions.
#pragma once

namespace korv {

void InstallWin32Dialogs();

}  // namespace korv
