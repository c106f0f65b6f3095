// The GDI side of fonts, paint redirection and printing. Included only by
// files that are compiled into the Windows programs.
#pragma once
#include "gui/window.h"

namespace korv {

// Makes next the current pair of contexts; the pen, brush and font are made
// again for it (at the current drawing scale) and leave the previous pair.
void SwitchPair(const TDcPair& next);

void InstallWin32Painting();
void InstallWin32Printing();

}  // namespace korv
