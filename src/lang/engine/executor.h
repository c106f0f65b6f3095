// The text executor: walks the line store one statement at a time.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/errors.h"
#include "base/names.h"
#include "core/statement_split.h"
#include "values/evaluator.h"
#include "values/value.h"

namespace korv {

// The condition program of a block statement, kept with the interpreter's
// split line: the line's argument text stays in place while the program
// runs, so the program is made once per line and form of the text.
struct KeptLineCondition {
  bool made = false;
  bool compiledText = false;
  std::shared_ptr<const PrecompiledArgument> program;
};

struct ExecState {
  int32_t pc = 0;          // line last fetched
  int32_t lineCount = 0;
  bool endFlag = false;
  bool handled = false;
  // The running statement's upper-cased command word and argument text.
  // Both are views: of the split line (text executor) or of the code table
  // and the decoded statement (compiled mode), which stay in place while a
  // program runs, so a statement and a nested invocation set and restore
  // them without copying. In compiled mode args is set only for the
  // executor's own statements, its only readers there.
  std::string_view command;
  std::string_view args;
  // Where the text executor keeps the condition of the line whose args
  // these are; null for a statement without a split line of its own.
  KeptLineCondition* lineCondition = nullptr;
  bool noPump = false;     // SETERRORLEVEL -2
  bool compiledMode = false;
  int32_t pendingMenu = 0; // menu value 255 = information request
};

extern ExecState gExec;

// The command word of the running statement, in either executor.
inline std::string_view CurrentCommand() { return gExec.command; }

void ResetExecutor();

// Runs from line startLine + 1 until END/PROGEND, the last line, or the
// procedure frame that started a nested invocation is popped. In compiled
// mode the byte-code executor installed with SetCompiledRun runs instead.
// The parameter record becomes the invocation's own: its statements change
// it (a caller that needs its record unchanged passes a copy).
bool Run(TParStack& ps, int32_t startLine);
using RunFunction = bool (*)(TParStack& ps, int32_t startLine);
void SetCompiledRun(RunFunction run);


// Executes the current statement registers (command, args) as a statement:
// the part of a step that both executors share.
}  // namespace korv

namespace korv {


// Runs one statement whose registers (command, args) are set.
// Shared by both executors. Returns true when the invocation must end.
bool DispatchStatement(TParStack& ps);

// Hook for the pending information request of the window layer.
using InfoBoxHook = void (*)();
void SetInfoBoxHook(InfoBoxHook hook);

// Variable listing line of a debug-information box ("" when not listed).
std::string DebugListingEntry(const std::string& upperName);

// Running out of memory in the middle of a statement (std::bad_alloc, or a
// string read that would grow beyond kMaxStringLength, std::length_error)
// abandons the statement. Both executors take a mark before each statement
// and, when it is abandoned, put back what it may have left half done (the
// evaluator's pending operations, procedure frames it pushed, the counter)
// and report 219 through the error routine like any other error.
struct StatementMark {
  int32_t pc = 0;
  int32_t frames = 0;
  OperationMark operations;
};
StatementMark MarkStatement();
void ReportExhaustedMemory(const StatementMark& mark);

// The work between two statements: the message pump (when pump is true)
// and the error-procedure check. Running out of memory there (in an event
// handler, say) is reported in the same way, at the statement just run,
// instead of ending the process.
void RunBetweenStatements(bool pump);
inline void BetweenStatements(bool pump) {
  if (pump || ErrorProcDue()) RunBetweenStatements(pump);
}

}  // namespace korv
