// Statements of the executor and of the error routine: END, PROGEND,
// SETERRORLEVEL, LOGOUT, TRACEON, TRACEOFF.
#include "base/names.h"
#include "base/errors.h"
#include "engine/executor.h"
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
#define KORV_UNIT_program 1
#include "base/bind_unit.h"
#undef KORV_UNIT_program
}

}  // namespace korv
