#include "engine/interpreter.h"

#include "core/line_store.h"
#include "core/preprocessor.h"
#include "engine/blocks.h"
#include "engine/dll_calls.h"
#include "engine/errors.h"
#include "engine/executor.h"
#include "engine/host.h"
#include "engine/procedures.h"
#include "engine/registry.h"
#include "values/composite.h"
#include "graphics/text_screen.h"
#include "gui/window.h"
#include "system/file_channels.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/set_get.h"
#include "values/settings.h"
#include "values/stores.h"

namespace korv {

std::vector<std::string> gProgramArgs;

namespace {
constexpr size_t kIncludeListMax = 255;
}

void ResetInterpreterState() {
  ResetErrorState();
  ResetExecutor();
  ResetEvaluator();
  ResetStores();
  ResetComposite();
  ResetProcedures();
  ResetDllCalls();
  ResetBlocks();
  ResetSettings();
  ResetSwitches();
  ResetBuiltinState();
  ResetTextScreen();
  ResetWindowState();
  ResetFileState();
}

int RunInterpreterProgram(const std::string& file, const std::vector<std::string>& args) {
  gProgramArgs = args;
  RegisterNeutral();
  ResetInterpreterState();

  LoadOptions opt;
  opt.compiler = false;
  opt.caption = "Korvid";
  opt.symbols = {"INTERPRETER", "WIN32", "VER10.0", "KORVID", "KORVID1.0"};
  std::string list = host().ReadProfileText("TELMED32.INI", "COMPILE", "Include", "");
  if (list.size() > kIncludeListMax) list.resize(kIncludeListMax);
  opt.includePath = SplitPathList(list);
  LoadProgram(file, opt);

  ResetExecutor();
  gExec.compiledMode = false;
  gExec.lineCount = gProgram.Length();
  TParStack ps;
  Run(ps, 0);
  RunShutdown();
  return 0;
}

}  // namespace korv
