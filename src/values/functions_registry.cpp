#include "values/functions_registry.h"

namespace korv {

void RegisterBuiltinFunctions() {
  RegisterStringFunctions();
  RegisterNumberFunctions();
  RegisterFormatFunction();
  RegisterDateFunctions();
  RegisterProgramFunctions();
  RegisterBuiltinSysVars();
  RegisterDefConstants();
  RegisterInputFunctions();
  RegisterListFunctions();
}

}  // namespace korv
