// Loading and running a source program in the text executor.
#pragma once
#include <string>
#include <vector>

namespace korv {

// Installs the neutral subsystems, resets every per-run record, loads the
// file with the interpreter's rules and runs it. Returns the exit code of a
// normal end; failures end the process through the host.
int RunInterpreterProgram(const std::string& file, const std::vector<std::string>& args);

}  // namespace korv
