// The runtime as a console program of the build machine, without windows:
// runs a compiled program file against the console host. Used to measure and
// profile the byte-code executor apart from Windows.
#include <string>
#include <vector>

#include "apps/runtime/runtime_app.h"
#include "base/console_host.h"
#include "apps/subsystems.h"

int main(int argc, char** argv) {
  static korv::ConsoleHost host;
  host.echo = true;
  host.keepOutput = false;
  host.debugLineNote = korv::SourcePositionNote;  // as the Windows runtime's lines
  korv::SetHost(&host);
  korv::InstallNeutralSubsystems();
  std::vector<std::string> args(argv + 1, argv + argc);
  try {
    // No open dialog here: a missing file name counts as cancelled.
    return korv::RunRuntime(args, argv[0], [](std::string&) { return false; });
  } catch (const korv::ExitRequest& e) {
    return e.code;
  }
}
