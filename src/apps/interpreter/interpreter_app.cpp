#include "apps/interpreter/interpreter_app.h"

#include "engine/interpreter.h"

namespace korv {

void InitInterpreterPlatform(HINSTANCE instance) { (void)instance; }

int RunInterpreter(const std::string& file, const std::vector<std::string>& args) {
  return RunInterpreterProgram(file, args);
}

}  // namespace korv
