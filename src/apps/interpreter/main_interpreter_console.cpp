// The interpreter as a console program of the build machine, without
// windows: runs a source file against the console host (text to standard
// output, boxes and debugger lines to standard error). Used to measure and
// profile the core apart from Windows.
#include <string>
#include <vector>

#include "base/console_host.h"
#include "base/errors.h"
#include "apps/interpreter/interpreter.h"

int main(int argc, char** argv) {
  static korv::ConsoleHost host;
  host.echo = true;
  host.keepOutput = false;
  korv::SetHost(&host);
  if (argc < 2) {
    host.ShowMessageBox("Korvid", korv::ErrorText(802), korv::mb::kOk | korv::mb::kIconError);
    return korv::kExitCancelled;
  }
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    return korv::RunInterpreterProgram(argv[1], args);
  } catch (const korv::ExitRequest& e) {
    return e.code;
  }
}
