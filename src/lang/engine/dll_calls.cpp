// EXTERNAL, USEDLL and FREEDLL: the argument block, the three-form result
// and the libraries a program keeps loaded.
#include "engine/dll_calls.h"

#include <array>
#include <cstring>
#include <map>
#include <memory>
#include <string_view>

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "base/host.h"
#include "values/evaluator.h"
#include "values/functions_support.h"

namespace korv {

namespace {

// Loads nothing: the state before a platform is installed.
class NoDllPlatform : public DllPlatform {
 public:
  std::uintptr_t Load(const std::string&) override { return 0; }
  std::uintptr_t Lookup(std::uintptr_t, const std::string&) override { return 0; }
  void Free(std::uintptr_t) override {}
  bool Call(std::uintptr_t, const std::uint32_t*, int, std::uint32_t& result) override {
    result = 0;
    return true;
  }
};

NoDllPlatform gNoPlatform;
DllPlatform* gPlatform = &gNoPlatform;

// The libraries of the current run.
struct DllRecords {
  std::uintptr_t remembered = 0;                 // last USEDLL result
  std::map<std::uintptr_t, int> kept;            // USEDLL loads not yet given back
  bool shutdownRegistered = false;
};
DllRecords gDll;

// Gives back every load USEDLL made and FREEDLL did not undo.
void FreeKeptLibraries() {
  const std::map<std::uintptr_t, int> kept = std::move(gDll.kept);
  gDll.kept.clear();
  gDll.remembered = 0;
  for (const auto& [handle, loads] : kept)
    for (int i = 0; i < loads; ++i) gPlatform->Free(handle);
}

// A library loaded by EXTERNAL: given back on every way out of the call.
class LoadedLibrary {
 public:
  explicit LoadedLibrary(std::uintptr_t h) : handle_(h) {}
  ~LoadedLibrary() {
    if (handle_) gPlatform->Free(handle_);
  }
  LoadedLibrary(const LoadedLibrary&) = delete;
  LoadedLibrary& operator=(const LoadedLibrary&) = delete;
  std::uintptr_t get() const { return handle_; }
  // Gives the load back now (before a report that may end the program).
  void Release() {
    if (handle_) gPlatform->Free(handle_);
    handle_ = 0;
  }

 private:
  std::uintptr_t handle_;
};

// The argument block: one slot more than may be passed, so that reading
// stops at the first surplus argument without writing past the block.
struct ArgumentBlock {
  static constexpr int kSlots = kMaxDllArgs + 1;
  std::array<std::uint32_t, kSlots> values{};
  std::array<std::unique_ptr<char[]>, kSlots> copies;  // quoted literals
  int count = 0;

  void Add(std::uint32_t v) { values[count++] = v; }
  void AddLiteral(const std::string& text) {
    const std::size_t size = text.size() + 1 + kLiteralSlack;
    copies[count] = std::make_unique<char[]>(size);  // zero-filled
    std::memcpy(copies[count].get(), text.data(), text.size());
    Add(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(copies[count].get())));
  }
};

std::string_view RestOfArguments() {
  std::string_view t(gEval.text);
  return gEval.pos < t.size() ? t.substr(gEval.pos) : std::string_view();
}

// True when the next top-level separator of the remaining arguments is the
// closing ")" (or there is none), i.e. the next argument is the last one.
bool NextIsLast() {
  std::string_view rest = RestOfArguments();
  const size_t comma = FindTopLevel(rest, ',', gExec.compiledMode);
  const size_t close = FindTopLevel(rest, ')', gExec.compiledMode);
  return comma == std::string_view::npos || (close != std::string_view::npos && close < comma);
}

// EXTERNAL(library, function [, argument, ...])
void FnExternal(TParStack& ps) {
  Evaluate(ps, ',', kind::kString);
  if (gEval.failed) return fn::SetInt(0);
  const std::string libraryName = gRes.StrValue;
  LoadedLibrary library(gPlatform->Load(libraryName));
  if (!library.get()) {
    fn::SetInt(0);
    RaiseError(247, libraryName);
    return;
  }

  const bool withArguments = !NextIsLast();
  Evaluate(ps, withArguments ? ',' : ')', kind::kString);
  if (gEval.failed) return fn::SetInt(0);
  const std::string functionName = gRes.StrValue;
  const std::uintptr_t function = gPlatform->Lookup(library.get(), functionName);
  if (!function) {
    library.Release();
    fn::SetInt(0);
    RaiseError(248, functionName);
    return;
  }

  ArgumentBlock block;
  bool tooMany = false;
  while (withArguments) {
    if (block.count == ArgumentBlock::kSlots) {
      tooMany = true;  // a 17th argument: nothing more is read
      break;
    }
    const bool last = NextIsLast();
    const bool literal = Evaluate(ps, last ? ')' : ',', 0);
    if (gEval.failed) return fn::SetInt(0);
    if (literal) {
      block.AddLiteral(gRes.StrValue);
    } else {
      block.Add(static_cast<std::uint32_t>(gRes.IntValue));
    }
    if (last) break;
  }
  if (tooMany || block.count > kMaxDllArgs) {
    host().ShowMessageBox("Fehler", "Mehr als 15 Parameter!", mb::kOk | mb::kIconInfo);
    return fn::SetInt(0);
  }

  std::uint32_t result = 0;
  if (!gPlatform->Call(function, block.values.data(), block.count, result)) {
    // The callee faulted; the call is abandoned like one that was refused.
    library.Release();
    fn::SetInt(0);
    RaiseError(200, functionName);
    return;
  }
  fn::SetInt(static_cast<std::int32_t>(result));
}

// USEDLL(library): loads and remembers; "" returns the remembered handle.
void FnUseDll(TParStack& ps) {
  Evaluate(ps, ')', kind::kString);
  if (gEval.failed) return fn::SetInt(0);
  const std::string name = gRes.StrValue;
  if (!name.empty()) {
    gDll.remembered = gPlatform->Load(name);
    if (gDll.remembered) {
      ++gDll.kept[gDll.remembered];
      if (!gDll.shutdownRegistered) {
        gDll.shutdownRegistered = true;
        AtShutdown(FreeKeptLibraries);
      }
    }
  }
  fn::SetInt(static_cast<std::int32_t>(static_cast<std::uint32_t>(gDll.remembered)));  // handles are 32-bit
}

// FREEDLL handle
void CmdFreeDll(TParStack& ps) {
  const std::int32_t value = EvalInt(ps, ' ');
  if (gEval.failed || value == 0) return;
  const auto handle = static_cast<std::uintptr_t>(static_cast<std::uint32_t>(value));
  if (auto it = gDll.kept.find(handle); it != gDll.kept.end()) {
    if (--it->second == 0) gDll.kept.erase(it);
  }
  if (handle == gDll.remembered) gDll.remembered = 0;
  gPlatform->Free(handle);
}

}  // namespace

DllPlatform& dllPlatform() { return *gPlatform; }

void SetDllPlatform(DllPlatform* platform) { gPlatform = platform ? platform : &gNoPlatform; }

void RegisterDllFunctions() {
#define KORV_UNIT_dll 1
#include "base/bind_unit.h"
#undef KORV_UNIT_dll
}

void ResetDllCalls() {
  gDll.remembered = 0;
  gDll.kept.clear();
  gDll.shutdownRegistered = false;
}

std::uintptr_t RememberedDllHandle() { return gDll.remembered; }

int KeptDllLoads() {
  int n = 0;
  for (const auto& entry : gDll.kept) n += entry.second;
  return n;
}

}  // namespace korv
