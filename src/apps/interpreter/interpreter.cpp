#include "apps/interpreter/interpreter.h"

#include <new>

#include "apps/subsystems.h"
#include "base/errors.h"
#include "base/host.h"
#include "base/names.h"
#include "core/line_store.h"
#include "core/preprocessor.h"
#include "engine/executor.h"
#include "values/functions_registry.h"

namespace korv {

namespace {
constexpr size_t kIncludeListMax = 255;
}

int RunInterpreterProgram(const std::string& file, const std::vector<std::string>& args) {
  InstallNeutralSubsystems();
  SetRunningProgram(RunningProgram::Interpreter);
  gProgramArgs = args;
  ResetSubsystems();

  LoadOptions opt;
  opt.compiler = false;
  opt.caption = "Korvid";
  opt.symbols = {"INTERPRETER", "WIN32", "VER10.0", "KORVID", "KORVID1.0"};
  std::string list = host().ReadProfileText("TELMED32.INI", "COMPILE", "Include", "");
  if (list.size() > kIncludeListMax) list.resize(kIncludeListMax);
  opt.includePath = SplitPathList(list);
  // A source too big for the memory left ends as a load failure, with the
  // message the statements give when memory runs out.
  try {
    LoadProgram(file, opt);
  } catch (const std::bad_alloc&) {
    host().ShowMessageBox(opt.caption, ErrorText(219), mb::kOk | mb::kIconError);
    host().Exit(kExitLoadError);
  }

  ResetExecutor();
  gExec.compiledMode = false;
  gExec.lineCount = gProgram.Length();
  TParStack ps;
  Run(ps, 0);
  RunShutdown();
  return 0;
}

}  // namespace korv
