#include "engine/registry.h"

#include "engine/blocks.h"
#include "engine/dll_calls.h"
#include "engine/procedures.h"
#include "graphics/text_screen.h"
#include "gui/window.h"
#include "system/file_channels.h"
#include "values/composite.h"
#include "values/functions_registry.h"
#include "values/set_get.h"
#include "values/value_commands.h"

namespace korv {

void RegisterProgramCommands();

void RegisterNeutral() {
  static bool done = false;
  if (done) return;
  done = true;
  RegisterProgramCommands();
  RegisterProcedureStatements();
  RegisterDllFunctions();
  RegisterBlockStatements();
  RegisterValueCommands();
  RegisterSetGet();
  RegisterBuiltinFunctions();
  RegisterCompositeCommands();
  RegisterTextScreen();
  RegisterWindowCommands();
  RegisterFileCommands();
}

}  // namespace korv
