#include "values/functions_registry.h"

namespace korv {

void RegisterBuiltinFunctions() {
  RegisterStringFunctions();
  RegisterNumberFunctions();
  RegisterFormatFunction();
  RegisterDateFunctions();
  RegisterProgramFunctions();
  RegisterDefConstants();
  RegisterInputFunctions();
  RegisterListFunctions();
}

}  // namespace korv
