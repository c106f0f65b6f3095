#include "apps/interpreter/interpreter_app.h"

#include "engine/interpreter.h"
#include "engine/registry.h"
#include "system/platform.h"

namespace korv {

void InitInterpreterPlatform(HINSTANCE instance) {
  (void)instance;
  RegisterNeutral();
  RegisterPlatformSubsystems();
}

int RunInterpreter(const std::string& file, const std::vector<std::string>& args) {
  ResetPlatformState();
  return RunInterpreterProgram(file, args);
}

}  // namespace korv
