// The command table: statement handlers by name. Subsystems register their
// commands at start-up; a command that nobody registered is unknown (102).
#pragma once
#include <string>
#include <string_view>

#include "values/value.h"

namespace korv {

// A handler reads its arguments from the evaluator's remaining text
// (already set to the argument text) with Evaluate.
using CommandHandler = void (*)(TParStack& ps);

struct CommandEntry {
  std::string name;
  int code = 0;  // byte code of the compiled form (0 = none)
  CommandHandler handler = nullptr;
  bool quiet = false;  // never reaches the platform (see pump_rhythm.h)
};

void RegisterCommand(std::string name, int code, CommandHandler handler);
const CommandEntry* FindCommand(std::string_view upperName);
const CommandEntry* CommandByCode(int code);

}  // namespace korv
