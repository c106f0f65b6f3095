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

// The compiler's map file beside a program: the program's name up to and
// including its last "." (of the last path component), then "mapdatei".
std::string MapFileName(const std::string& programFile);

// Reads the map file's lines "slot=file (line)" for SourcePositionNote;
// false (and no positions) when there is none.
bool LoadSourceMap(const std::string& mapFile);

// For a debugger line of the runtime ("ERROR:\t12\t..." or "WARN:\t12\t...")
// the source position of statement 12 from the loaded map file, as
// " [file (line)]"; empty for other lines and unknown statements.
std::string SourcePositionNote(const std::string& debugLine);

// The whole runtime after the platform is registered: finds, reads and runs
// the program; failures show their boxes and end the process with 1 or 2.
// In console mode the map file beside the program is loaded for
// SourcePositionNote. Returns the exit code of a normal end.
int RunRuntime(const std::vector<std::string>& args, const std::string& ownFile,
               const ChooseProgramFn& choose);

}  // namespace korv
