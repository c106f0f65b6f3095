// The names of the language and their dispatch: commands (with the
// statements the executors run themselves), built-in functions and system
// variables. Each family is one list (command_list.h, function_list.h,
// sysvar_list.h): code, name, the unit that binds the handler, the handler
// and the traits. The compiler reads names and codes from it; the
// interpreter finds handlers by name, the runtime by code, both through the
// same entries. Subsystems bind their handlers with base/bind_unit.h.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <deque>

namespace korv {

struct TParStack;
struct TEvalResult;

// Traits of a name, or-ed together in the lists.
namespace name_traits {
constexpr uint32_t kQuiet = 1;            // the handler never reaches the platform (pump rule)
constexpr uint32_t kJump = 2;             // the compiled form carries a 4-byte jump target
constexpr uint32_t kBeforeComment = 4;    // statement that sees the line before the comment cut
constexpr uint32_t kInterpreterOnly = 8;  // unknown to the runtime
constexpr uint32_t kRuntimeOnly = 16;     // unknown to the interpreter
constexpr uint32_t kNowhere = kInterpreterOnly | kRuntimeOnly;  // compiled, but read by neither
constexpr uint32_t kInline = 32;          // the executors handle it themselves (no handler)
}  // namespace name_traits

// A command handler reads its arguments from the evaluator's remaining text
// (already set to the argument text) with Evaluate.
using CommandHandler = void (*)(TParStack& ps);
// A statement the executors run before the command chain (block, procedure
// and trace statements). Returns true when the current invocation must end
// (a RETURN that popped the frame of a call from an expression).
using StatementHandler = bool (*)(TParStack& ps);
// A built-in function: the evaluator has set the remaining text to the
// argument list (after the "("); the handler reads its arguments with
// Evaluate and leaves its result in gRes.
using FunctionHandler = void (*)(TParStack& ps);
// A system variable or setting read: fills out. A whole number may leave its
// text pending (out.PendingText); the reader makes it at once if it needs it.
using SysVarHandler = void (*)(TEvalResult& out);

enum class StatementPhase : uint8_t {
  Block,          // block, procedure and trace statements
  BeforeComment,  // CASE / CASENOT: see the line before the comment cut
};

struct CommandEntry {
  std::string name;
  int code = 0;
  uint32_t traits = 0;
  bool quiet = false;  // never reaches the platform (see pump_rhythm.h)
  CommandHandler handler = nullptr;
  StatementHandler statement = nullptr;
  StatementPhase phase = StatementPhase::Block;
};

struct FunctionEntry {
  std::string name;  // upper case, e.g. "LEFT$"
  int code = 0;
  uint32_t traits = 0;
  bool quiet = false;
  FunctionHandler handler = nullptr;
};

struct SysVarEntry {
  std::string name;  // with its kind character, e.g. "%ERRNUMBER"
  int code = 0;
  uint32_t traits = 0;
  bool quiet = false;
  SysVarHandler handler = nullptr;
};

// Which program runs: a few names exist in only one of them.
enum class RunningProgram : uint8_t { Interpreter, Runtime };
void SetRunningProgram(RunningProgram program);
RunningProgram CurrentProgram();
// True when the name with these traits exists in the running program.
bool KnownInProgram(uint32_t traits);

// Handler lookups by upper-cased name: nullptr when the name has no handler
// in the running program (the caller reports it as unknown).
const CommandEntry* FindCommand(std::string_view upperName);
const CommandEntry* FindStatement(std::string_view upperName);
const FunctionEntry* FindFunction(std::string_view upperName);
// FindFunction(FunctionName(code)) without hashing the name.
const FunctionEntry* FindFunctionByCode(int code);
// Changes whenever a FindFunction answer may change (a function bound or
// added, the running program switched): answers kept by name stay valid
// while it stays the same.
uint32_t FunctionTableGeneration();
const SysVarEntry* FindSysVar(std::string_view upperName);

// Every entry of a family, in list order (for listings and tests).
const std::deque<CommandEntry>& AllCommands();
const std::deque<FunctionEntry>& AllFunctions();
const std::deque<SysVarEntry>& AllSysVars();

// Binding, at start-up (base/bind_unit.h). The name must be in its list.
void BindCommand(std::string_view name, CommandHandler handler);
void BindStatement(std::string_view name, StatementHandler handler);
void BindFunction(std::string_view name, FunctionHandler handler);
void BindSysVar(std::string_view name, SysVarHandler handler);

// Names outside the language's lists, for programs that embed the core
// (tests): they get no code and count as reaching the platform.
void DefineExtraCommand(std::string_view name, CommandHandler handler);
void DefineExtraFunction(std::string_view name, FunctionHandler handler);
void DefineExtraSysVar(std::string_view name, SysVarHandler handler);

// Name -> code (-1 when the name has none). Names are compared exactly:
// callers pass them upper-cased (system variables with their sigil).
int CommandCode(std::string_view upperName);
int FunctionCode(std::string_view upperName);
int SysVarCode(std::string_view upperName);

// Code -> name (nullptr when the code has none). DRAWLIBICON and
// DRAWPROGICON share code 120; the code gives DRAWLIBICON.
const char* CommandName(int code);
const char* FunctionName(int code);
const char* SysVarName(int code);

// Number of compiled names in each family.
int CommandNameCount();
int FunctionNameCount();
int SysVarNameCount();

// True for the commands that carry a 4-byte jump target after their code.
bool HasJumpTarget(int code);

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
