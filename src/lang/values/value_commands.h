// Statements of the value core: DECLARE, VAR, LET (the assignment
// "name = expression"), INC and DEC.
#pragma once
#include <string>

#include "values/value.h"

namespace korv {

void RegisterValueCommands();

// The handlers, for callers that run them directly; each reads its argument
// text from the evaluator's remaining text.
void CmdDeclare(TParStack& ps);
void CmdVar(TParStack& ps);
void CmdLet(TParStack& ps);
void CmdInc(TParStack& ps);
void CmdDec(TParStack& ps);

// Number assignments and INC/DEC keep what their text says from the first
// run on (see value_commands.cpp); off, every run reads the text anew. The
// programs leave it on; tests compare both ways.
void UsePreparedStatements(bool on);

// The right side of a string assignment from the evaluator's remaining text:
// parts separated by "," or ";", joined, with a blank after each part that
// ended at "," before a further one.
std::string JoinedList(TParStack& ps);

}  // namespace korv
