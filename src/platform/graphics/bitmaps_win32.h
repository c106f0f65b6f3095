// The GDI side of bitmaps, icons and cursors. Included only by files that
// are compiled into the Windows programs.
#pragma once

namespace korv {

// Installs the bitmap device that draws into the current pair of contexts.
void InstallWin32Bitmaps();

}  // namespace korv
