#include "base/names.h"

#include <array>
#include <deque>
#include <stdexcept>
#include <unordered_map>

namespace korv {

namespace {

using namespace name_traits;

// One family: its entries in list order, found by name and by code (the
// first name of a code keeps it).
template <typename Entry>
struct Family {
  std::deque<Entry> entries;  // stable addresses: the name index points into them
  std::unordered_map<std::string_view, size_t> byName;
  std::array<int, 256> byCode;

  void Add(int code, const char* name, uint32_t traits) {
    Entry e;
    e.name = name;
    e.code = code;
    e.traits = traits;
    e.quiet = (traits & kQuiet) != 0;
    entries.push_back(std::move(e));
  }
  void Index() {
    byCode.fill(-1);
    for (size_t i = 0; i < entries.size(); ++i) {
      byName.emplace(entries[i].name, i);
      const int code = entries[i].code;
      if (code > 0 && code < 256 && byCode[static_cast<size_t>(code)] < 0)
        byCode[static_cast<size_t>(code)] = static_cast<int>(i);
    }
  }
  Entry& Extra(std::string_view name) {
    if (Entry* e = Named(name)) return *e;
    Add(0, std::string(name).c_str(), 0);
    byName.emplace(entries.back().name, entries.size() - 1);
    return entries.back();
  }
  Entry* Named(std::string_view name) {
    auto it = byName.find(name);
    return it == byName.end() ? nullptr : &entries[it->second];
  }
  Entry& MustName(std::string_view name) {
    Entry* e = Named(name);
    if (!e) throw std::logic_error("name missing from its list: " + std::string(name));
    return *e;
  }
  int Code(std::string_view name) {
    const Entry* e = Named(name);
    return e && e->code > 0 ? e->code : -1;
  }
  const char* Name(int code) const {
    if (code <= 0 || code >= 256) return nullptr;
    const int i = byCode[static_cast<size_t>(code)];
    return i < 0 ? nullptr : entries[static_cast<size_t>(i)].name.c_str();
  }
  int Count() const {
    int n = 0;
    for (const Entry& e : entries) n += e.code > 0 ? 1 : 0;
    return n;
  }
};

Family<CommandEntry>& Commands() {
  static Family<CommandEntry> t;
  static const bool made = [] {
#define KORV_COMMAND(code, name, unit, handler, traits) t.Add(code, name, traits);
#define KORV_STATEMENT(code, name, unit, handler, traits) t.Add(code, name, traits);
#include "base/command_list.h"
#undef KORV_COMMAND
#undef KORV_STATEMENT
    t.Index();
    return true;
  }();
  (void)made;
  return t;
}

Family<FunctionEntry>& Functions() {
  static Family<FunctionEntry> t;
  static const bool made = [] {
#define KORV_FUNCTION(code, name, unit, handler, traits) t.Add(code, name, traits);
#include "base/function_list.h"
#undef KORV_FUNCTION
    t.Index();
    return true;
  }();
  (void)made;
  return t;
}

Family<SysVarEntry>& SysVars() {
  static Family<SysVarEntry> t;
  static const bool made = [] {
#define KORV_SYSVAR(code, name, unit, handler, traits) t.Add(code, name, traits);
#include "base/sysvar_list.h"
#undef KORV_SYSVAR
    t.Index();
    return true;
  }();
  (void)made;
  return t;
}

RunningProgram gRunning = RunningProgram::Interpreter;
uint32_t gFunctionGeneration = 0;
UserFunctionCaller gUserFunctionCaller = nullptr;
DefConstantLookup gDefConstantLookup = nullptr;

template <typename Entry>
const Entry* Usable(const Entry* e, bool bound) {
  return e && bound && KnownInProgram(e->traits) ? e : nullptr;
}

}  // namespace

void SetRunningProgram(RunningProgram program) {
  gRunning = program;
  ++gFunctionGeneration;
}
RunningProgram CurrentProgram() { return gRunning; }

bool KnownInProgram(uint32_t traits) {
  const uint32_t missing = gRunning == RunningProgram::Interpreter ? kRuntimeOnly : kInterpreterOnly;
  return (traits & missing) == 0;
}

const CommandEntry* FindCommand(std::string_view n) {
  const CommandEntry* e = Commands().Named(n);
  return Usable(e, e && e->handler);
}
const CommandEntry* FindStatement(std::string_view n) {
  const CommandEntry* e = Commands().Named(n);
  return Usable(e, e && e->statement);
}
const FunctionEntry* FindFunction(std::string_view n) {
  const FunctionEntry* e = Functions().Named(n);
  return Usable(e, e && e->handler);
}
const FunctionEntry* FindFunctionByCode(int c) {
  // The names of the list do not change once it is made (further names
  // have no code), so each code's named entry is found once.
  static const std::array<const FunctionEntry*, 256> named = [] {
    std::array<const FunctionEntry*, 256> t{};
    for (int code = 1; code < 256; ++code)
      if (const char* name = Functions().Name(code)) t[static_cast<size_t>(code)] = Functions().Named(name);
    return t;
  }();
  if (c <= 0 || c >= 256) return nullptr;
  const FunctionEntry* e = named[static_cast<size_t>(c)];
  return Usable(e, e && e->handler);
}
uint32_t FunctionTableGeneration() { return gFunctionGeneration; }
const SysVarEntry* FindSysVar(std::string_view n) {
  const SysVarEntry* e = SysVars().Named(n);
  return Usable(e, e && e->handler);
}

const std::deque<CommandEntry>& AllCommands() { return Commands().entries; }
const std::deque<FunctionEntry>& AllFunctions() { return Functions().entries; }
const std::deque<SysVarEntry>& AllSysVars() { return SysVars().entries; }

void BindCommand(std::string_view name, CommandHandler handler) { Commands().MustName(name).handler = handler; }
void BindStatement(std::string_view name, StatementHandler handler) {
  CommandEntry& e = Commands().MustName(name);
  e.statement = handler;
  e.quiet = true;  // the executors' own statements stay inside the core
  e.phase = (e.traits & kBeforeComment) ? StatementPhase::BeforeComment : StatementPhase::Block;
}
void BindFunction(std::string_view name, FunctionHandler handler) {
  Functions().MustName(name).handler = handler;
  ++gFunctionGeneration;
}
void BindSysVar(std::string_view name, SysVarHandler handler) { SysVars().MustName(name).handler = handler; }

void DefineExtraCommand(std::string_view name, CommandHandler handler) { Commands().Extra(name).handler = handler; }
void DefineExtraFunction(std::string_view name, FunctionHandler handler) {
  Functions().Extra(name).handler = handler;
  ++gFunctionGeneration;
}
void DefineExtraSysVar(std::string_view name, SysVarHandler handler) { SysVars().Extra(name).handler = handler; }

int CommandCode(std::string_view n) { return Commands().Code(n); }
int FunctionCode(std::string_view n) { return Functions().Code(n); }
int SysVarCode(std::string_view n) { return SysVars().Code(n); }
const char* CommandName(int c) { return Commands().Name(c); }
const char* FunctionName(int c) { return Functions().Name(c); }
const char* SysVarName(int c) { return SysVars().Name(c); }
int CommandNameCount() { return Commands().Count(); }
int FunctionNameCount() { return Functions().Count(); }
int SysVarNameCount() { return SysVars().Count(); }

bool HasJumpTarget(int c) {
  const char* name = CommandName(c);
  return name && (Commands().Named(name)->traits & kJump) != 0;
}

void SetUserFunctionCaller(UserFunctionCaller fn) { gUserFunctionCaller = fn; }
UserFunctionCaller GetUserFunctionCaller() { return gUserFunctionCaller; }

void SetDefConstantLookup(DefConstantLookup fn) { gDefConstantLookup = fn; }
DefConstantLookup GetDefConstantLookup() { return gDefConstantLookup; }

}  // namespace korv
