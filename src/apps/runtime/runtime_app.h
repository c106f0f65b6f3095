// KORVEX: finds the compiled program (a file named on the command line, the
// program appended to the runtime's own file, or a file chosen in the open
// dialog), reads it and runs it with the byte-code executor.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace korv {

struct ProgramLocation {
  std::string file;
  uint64_t offset = 0;
  bool linked = false;  // the program is appended to the runtime's own file
};

// The open dialog: false when cancelled.
using ChooseProgramFn = std::function<bool(std::string& name)>;

// The runtime's rules for finding the program. args are the command-line
// arguments without the program name; ownFile is the runtime's executable.
// False when the dialog was cancelled (the caller shows 803 and exits 2).
bool FindProgram(const std::vector<std::string>& args, const std::string& ownFile,
                 const ChooseProgramFn& choose, ProgramLocation& where);

// The 4-byte little-endian value at offset 128 of a file (0 when it cannot
// be read).
uint32_t LinkedProgramOffset(const std::string& file);

// True when the last path component of name contains a ".".
bool HasDot(const std::string& name);

// The whole runtime after the platform is registered: finds, reads and runs
// the program; failures show their boxes and end the process with 1 or 2.
// Returns the exit code of a normal end.
int RunRuntime(const std::vector<std::string>& args, const std::string& ownFile,
               const ChooseProgramFn& choose);

}  // namespace korv
