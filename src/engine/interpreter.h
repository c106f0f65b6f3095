// Loading and running a source program in the text executor.
#pragma once
#include <string>
#include <vector>

namespace korv {

// Resets every per-run record (errors, executor, evaluator, stores, frames).
void ResetInterpreterState();

// Loads the file with the interpreter's rules and runs it. Returns the exit
// code of a normal end; failures end the process through the host.
int RunInterpreterProgram(const std::string& file, const std::vector<std::string>& args);

// Arguments of the program, for the parameter functions.
extern std::vector<std::string> gProgramArgs;

}  // namespace korv
