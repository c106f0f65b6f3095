// Installs the Windows menus behind the menu commands.
#pragma once

namespace korv {

void InstallWin32Menus();

}  // namespace korv
