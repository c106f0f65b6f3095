// The Windows parts of the interpreter and the runtime.
#include "apps/subsystems.h"

#include "engine/dll_calls.h"
#include "graphics/drawing_win32.h"
#include "gui/window_win32.h"
#include "sound/sound_win32.h"
#include "system/file_channels.h"
#include "system/sysfuncs.h"
#include "values/composite.h"

namespace korv {

const Subsystem kWindowsSubsystems[] = {
    {"system functions", RegisterSystemFunctions, nullptr},
    {"memory probe", InstallWin32MemoryProbe, nullptr},
    {"DLL calls", InstallWin32DllPlatform, nullptr},
    {"window", InstallWin32Window, nullptr},
    {"window class names", InstallWin32WindowClassName, nullptr},
    {"drawing", InstallWin32Drawing, nullptr},
    {"registry, clipboard and keys", InstallWin32FileStores, nullptr},
    {"sound", InstallWin32Sound, nullptr},
};
const size_t kWindowsSubsystemCount = sizeof kWindowsSubsystems / sizeof kWindowsSubsystems[0];

}  // namespace korv
