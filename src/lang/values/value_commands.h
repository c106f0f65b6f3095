// Statements of the value core: DECLARE, VAR, LET (the assignment
// "name = expression"), INC and DEC.
#pragma once
#include <string>
#include <string_view>

#include "values/text_cache.h"
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
bool PreparedStatementsOn();

// A statement whose whole argument text stays the same from run to run
// (the runtime's decoded statements) may run its kept form from that text
// without it being put into the evaluator: true when it ran so; false, with
// nothing changed, when the handler must run as usual (the evaluator's text
// is then still to be set). Only the kept number assignment (which sets the
// text itself where its value takes the general path) and INC/DEC have
// such a form; PreparedRunnerOf gives nullptr for every other name. memo,
// kept with the statement (or null), finds the kept form again without a
// look at the text.
using PreparedRunner = bool (*)(std::string_view args, TParStack& ps, TextCacheMemo* memo);
PreparedRunner PreparedRunnerOf(std::string_view commandName);

// The right side of a string assignment from the evaluator's remaining text:
// parts separated by "," or ";", joined, with a blank after each part that
// ended at "," before a further one.
std::string JoinedList(TParStack& ps);

}  // namespace korv
