// Statements of the executor and of the error routine: END, PROGEND,
// SETERRORLEVEL, LOGOUT, TRACEON, TRACEOFF.
#include "engine/commands.h"
#include "engine/errors.h"
#include "engine/executor.h"
#include "engine/registry.h"
#include "values/evaluator.h"

namespace korv {

namespace {

void CmdEnd(TParStack&) { gExec.endFlag = true; }

void CmdSetErrorLevel(TParStack& ps) {
  int32_t level = EvalInt(ps, ' ');
  if (level == -2) {
    gExec.noPump = true;
    return;
  }
  gExec.noPump = false;
  gErr.Level = level;
}

void CmdLogOut(TParStack& ps) {
  // Without a log file the argument is not even evaluated.
  if (gErr.LogFileName.empty()) return;
  std::string text = EvalString(ps, ' ');
  AppendToLogFile(text);
}

bool StTraceOn(TParStack&) {
  gErr.Trace = true;
  return false;
}

bool StTraceOff(TParStack&) {
  gErr.Trace = false;
  return false;
}

}  // namespace

void RegisterProgramCommands() {
  RegisterCommand("END", 191, CmdEnd);
  RegisterCommand("PROGEND", 2, CmdEnd);
  RegisterCommand("SETERRORLEVEL", 239, CmdSetErrorLevel);
  RegisterCommand("LOGOUT", 47, CmdLogOut);
  RegisterStatement("TRACEON", 39, StatementPhase::Block, StTraceOn);
  RegisterStatement("TRACEOFF", 39, StatementPhase::Block, StTraceOff);
}

}  // namespace korv
