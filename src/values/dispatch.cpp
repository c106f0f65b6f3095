#include "values/dispatch.h"

#include <deque>
#include <unordered_map>

#include "engine/pump_rhythm.h"

namespace korv {

namespace {

// Entries live in deques so pointers handed out stay valid when more
// entries are registered.
template <typename Entry, typename Handler>
struct Table {
  std::deque<Entry> entries;
  std::unordered_map<std::string, Entry*> byName;
  std::unordered_map<int, Entry*> byCode;

  void Add(std::string name, int code, Handler handler, bool quiet) {
    auto it = byName.find(name);
    Entry* e;
    if (it != byName.end()) {
      e = it->second;
      auto old = byCode.find(e->code);
      if (old != byCode.end() && old->second == e) byCode.erase(old);
      e->code = code;
      e->handler = handler;
    } else {
      entries.push_back(Entry{name, code, handler});
      e = &entries.back();
      byName.emplace(std::move(name), e);
    }
    e->quiet = quiet;
    // The first name registered for a code keeps it.
    if (code != 0) byCode.emplace(code, e);
  }
  const Entry* ByName(std::string_view name) const {
    auto it = byName.find(std::string(name));
    return it == byName.end() ? nullptr : it->second;
  }
  const Entry* ByCode(int code) const {
    auto it = byCode.find(code);
    return it == byCode.end() ? nullptr : it->second;
  }
};

Table<FunctionEntry, FunctionHandler>& Functions() {
  static Table<FunctionEntry, FunctionHandler> t;
  return t;
}

Table<SysVarEntry, SysVarHandler>& SysVars() {
  static Table<SysVarEntry, SysVarHandler> t;
  return t;
}

UserFunctionCaller gUserFunctionCaller = nullptr;
DefConstantLookup gDefConstantLookup = nullptr;

}  // namespace

void RegisterFunction(std::string name, int code, FunctionHandler handler) {
  const bool quiet = IsQuietFunction(name);
  Functions().Add(std::move(name), code, handler, quiet);
}

void RegisterSysVar(std::string name, int code, SysVarHandler handler) {
  const bool quiet = IsQuietSysVar(name);
  SysVars().Add(std::move(name), code, handler, quiet);
}

const FunctionEntry* FindFunction(std::string_view upperName) { return Functions().ByName(upperName); }
const FunctionEntry* FunctionByCode(int code) { return Functions().ByCode(code); }
const SysVarEntry* FindSysVar(std::string_view upperName) { return SysVars().ByName(upperName); }
const SysVarEntry* SysVarByCode(int code) { return SysVars().ByCode(code); }

void SetUserFunctionCaller(UserFunctionCaller fn) { gUserFunctionCaller = fn; }
UserFunctionCaller GetUserFunctionCaller() { return gUserFunctionCaller; }

void SetDefConstantLookup(DefConstantLookup fn) { gDefConstantLookup = fn; }
DefConstantLookup GetDefConstantLookup() { return gDefConstantLookup; }

}  // namespace korv
