// The Windows parts of the interpreter and the runtime.
#include "apps/subsystems.h"

#include "engine/dll_calls.h"
#include "graphics/bitmaps_win32.h"
#include "graphics/drawing_win32.h"
#include "gui/controls_win32.h"
#include "gui/dialogs_win32.h"
#include "gui/menus_win32.h"
#include "graphics/painting_win32.h"
#include "gui/window_win32.h"
#include "opengl/opengl.h"
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
    {"menus", InstallWin32Menus, nullptr},
    {"built-in dialogs", InstallWin32Dialogs, nullptr},
    {"window class names", InstallWin32WindowClassName, nullptr},
    {"drawing", InstallWin32Drawing, nullptr},
    {"controls", InstallWin32Controls, nullptr},
    {"bitmaps", InstallWin32Bitmaps, nullptr},
    {"fonts and paint redirection", InstallWin32Painting, nullptr},
    {"printing", InstallWin32Printing, nullptr},
    {"OpenGL", InstallWin32OpenGl, nullptr},
    {"registry, clipboard and keys", InstallWin32FileStores, nullptr},
    {"sound", InstallWin32Sound, nullptr},
};
const size_t kWindowsSubsystemCount = sizeof kWindowsSubsystems / sizeof kWindowsSubsystems[0];

}  // namespace korv
