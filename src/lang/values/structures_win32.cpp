// CLASSOF of a window handle: the window's class name.
#include <windows.h>

#include "values/composite.h"

namespace korv {

namespace {

std::string WindowClassName(int32_t handle) {
  HWND wnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(handle)));
  if (!IsWindow(wnd)) return std::string();
  char name[256];
  int n = GetClassNameA(wnd, name, sizeof name);
  return n > 0 ? std::string(name, static_cast<size_t>(n)) : std::string();
}

}  // namespace

void InstallWin32WindowClassName() { SetWindowClassNameHook(WindowClassName); }

}  // namespace korv
