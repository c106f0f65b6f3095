#include "system/platform.h"
#include "system/sysfuncs.h"
#include "system/file_channels.h"

#include "engine/dll_calls.h"
#include "gui/window_win32.h"
#include "values/composite.h"

namespace korv {

void RegisterPlatformSubsystems() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterSystemFunctions();
  InstallWin32MemoryProbe();
  InstallWin32DllPlatform();
  InstallWin32Window();
  InstallWin32WindowClassName();
  InstallWin32FileStores();
}

void ResetPlatformState() {}

}  // namespace korv
