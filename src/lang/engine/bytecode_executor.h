// The byte-code executor of the runtime: fetches compiled statements,
// dispatches on their code byte and follows the jump targets the compiler
// stored. Statements, evaluator, procedures and errors are those of the
// interpreter; only the fetch, the dispatch and the block jumps differ.
#pragma once
#include <cstdint>
#include <string>

#include "core/kvc_format.h"
#include "values/value.h"

namespace korv {

// Messages are pumped after every kPumpInterval-th statement.
constexpr int kPumpInterval = 21;

// Installs a program that the reader built and switches the engine to
// compiled statements: the executor, the evaluator's token forms, the
// compiled-position form of error reports. The line store gets a text view
// of the lines that the lookups by name read (SUBPROC, ERRORPROC and DEF
// lines; PROC headers as "PROC"), every other slot empty, so slot numbers,
// the line count and the error procedure agree with the compiled program.
// programFile becomes the program's file name ($PROGDIR, PAR$(0)).
void LoadCompiledProgram(kvc::Image image, const std::string& programFile);

// Back to the interpreter's text statements (tests run both in one process).
void LeaveCompiledMode();

// The runtime's Run: executes from line startLine + 1 until the end flag is
// set, the last line has run, or a RETURN/ENDPROC pops the frame of a call
// from an expression. Returns the end flag.
bool RunCompiled(TParStack& ps, int32_t startLine);

// Resets the per-run records (as the interpreter does) and runs the loaded
// program from its first line; ends with the shutdown steps.
void RunLoadedProgram();

// The statement count of the pump (tests).
int32_t PumpCounter();

}  // namespace korv
