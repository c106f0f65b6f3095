// The compiler as a console program of the build machine: compiles and
// links Windows programs (the Windows runtime is named by -R or
// TMR_RUNTIME). Progress goes to standard output, boxes to standard error.
#include <cstdlib>
#include <string>
#include <vector>

#include "apps/compiler/compiler_app.h"
#include "base/console_host.h"

int main(int argc, char** argv) {
  static korv::ConsoleHost console;
  console.echo = true;
  static korv::CompilerHost host(console);
  korv::SetHost(&host);
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    korv::CompilerOptions o =
        korv::ParseCompilerOptions(args, std::getenv("TMR_PATH"), std::getenv("TMR_RUNTIME"));
    korv::ConsoleProgress progress;
    return korv::RunCompiler(o, progress, nullptr);
  } catch (const korv::ExitRequest& e) {
    return e.code;
  }
}
