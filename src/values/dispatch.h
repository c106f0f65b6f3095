// Lookup tables through which built-in functions and system variables reach
// the evaluator. Subsystems register their entries at start-up; the
// interpreter, the compiler and the runtime all use these same tables.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "values/value.h"

namespace korv {

// A built-in function: the evaluator has set the remaining text to the
// argument list (after the "("); the handler reads its arguments with
// Evaluate and leaves its result in gRes.
using FunctionHandler = void (*)(TParStack& ps);
// A system variable or setting read: fills gRes.
using SysVarHandler = void (*)(TEvalResult& out);

struct FunctionEntry {
  std::string name;  // upper case, e.g. "LEFT$"
  int code = 0;      // byte code of the compiled form
  FunctionHandler handler = nullptr;
  bool quiet = false;  // never reaches the platform (see pump_rhythm.h)
};

struct SysVarEntry {
  std::string name;  // with its kind character, e.g. "%ERRNUMBER"
  int code = 0;
  SysVarHandler handler = nullptr;
  bool quiet = false;
};

void RegisterFunction(std::string name, int code, FunctionHandler handler);
void RegisterSysVar(std::string name, int code, SysVarHandler handler);
const FunctionEntry* FindFunction(std::string_view upperName);
const FunctionEntry* FunctionByCode(int code);
const SysVarEntry* FindSysVar(std::string_view upperName);
const SysVarEntry* SysVarByCode(int code);

// A call of a name that is no built-in function: the procedure subsystem
// installs this to try a user procedure. Returns false when there is none.
using UserFunctionCaller = bool (*)(const std::string& upperName, TParStack& ps);
void SetUserFunctionCaller(UserFunctionCaller fn);
UserFunctionCaller GetUserFunctionCaller();

// DEF constants: returns true and fills out when a DEF line defines the name.
using DefConstantLookup = bool (*)(const std::string& upperName, TEvalResult& out);
void SetDefConstantLookup(DefConstantLookup fn);
DefConstantLookup GetDefConstantLookup();

}  // namespace korv
