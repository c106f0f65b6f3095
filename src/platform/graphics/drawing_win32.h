// The GDI side of the drawing commands. Included only by files that are
// compiled into the Windows programs.
#pragma once
#include <windows.h>

#include "gui/window.h"

namespace korv {

// The contexts of the current pair, the same context only once.
int PairDcs(HDC out[2]);
// Selects the object into every context of the pair.
void SelectIntoPair(HGDIOBJ obj);
// Deletes a GDI object after putting the stock object of its kind into
// every context that holds it: the pair, the window's own two, and the
// previous pair.
void ReleaseObject(HGDIOBJ obj, UINT type, int stock, const TDcPair& previous);

// Installs the drawing device that draws into the current pair of contexts.
void InstallWin32Drawing();

}  // namespace korv
