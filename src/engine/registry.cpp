#include "engine/registry.h"

#include "engine/procedures.h"
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
  RegisterValueCommands();
  RegisterSetGet();
}

}  // namespace korv
