// The GDI side of bitmaps, icons and cursors. Included only by files that
// are compiled into the Windows programs.
#pragma once

namespace korv {

// Installs the bitmap device that draws into the current pair of contexts.
void InstallWin32Bitmaps();
// Installs the OLE picture decoder behind the picture-file loader (done by
// InstallWin32Bitmaps).
void InstallWin32PictureDecoder();

}  // namespace korv
