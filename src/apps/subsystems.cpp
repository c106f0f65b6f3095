#include "apps/subsystems.h"

#include "engine/blocks.h"
#include "engine/dll_calls.h"
#include "engine/executor.h"
#include "engine/procedures.h"
#include "base/errors.h"
#include "graphics/bitmaps.h"
#include "graphics/drawing.h"
#include "graphics/painting.h"
#include "graphics/printing.h"
#include "graphics/text_screen.h"
#include "gui/controls.h"
#include "gui/dialogs.h"
#include "gui/menus.h"
#include "gui/window.h"
#include "opengl/opengl.h"
#include "sound/sound.h"
#include "system/file_channels.h"
#include "values/composite.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/set_get.h"
#include "values/settings.h"
#include "values/stores.h"
#include "values/value_commands.h"

namespace korv {

void RegisterProgramCommands();

// In reset order: the error state and the registers first, the stores
// before what lives in them.
const Subsystem kNeutralSubsystems[] = {
    {"errors", nullptr, ResetErrorState},
    {"executor", RegisterProgramCommands, ResetExecutor},
    {"evaluator", nullptr, ResetEvaluator},
    {"variable stores", RegisterValueCommands, ResetStores},
    {"arrays, areas and structures", RegisterCompositeCommands, ResetComposite},
    {"procedures", RegisterProcedureStatements, ResetProcedures},
    {"DLL calls", RegisterDllFunctions, ResetDllCalls},
    {"blocks", RegisterBlockStatements, ResetBlocks},
    {"settings", nullptr, ResetSettings},
    {"SET and GET", RegisterSetGet, ResetSwitches},
    {"built-in functions", RegisterBuiltinFunctions, ResetBuiltinState},
    {"text screen", RegisterTextScreen, ResetTextScreen},
    {"window", RegisterWindowCommands, ResetWindowState},
    {"controls", RegisterControlCommands, ResetControls},
    {"menus", RegisterMenuCommands, ResetMenuState},
    {"built-in dialogs", RegisterDialogFunctions, ResetDialogState},
    {"drawing", RegisterDrawingCommands, ResetDrawing},
    {"bitmaps", RegisterBitmapCommands, ResetBitmaps},
    {"fonts and paint redirection", RegisterPaintingCommands, ResetPainting},
    {"printing", RegisterPrintingCommands, ResetPrinting},
    {"OpenGL", RegisterOpenGl, ResetOpenGl},
    {"files", RegisterFileCommands, ResetFileState},
    {"sound", RegisterSoundCommands, ResetSound},
};
const size_t kNeutralSubsystemCount = sizeof kNeutralSubsystems / sizeof kNeutralSubsystems[0];

void InstallNeutralSubsystems() { InstallSubsystems(kNeutralSubsystems); }

}  // namespace korv
