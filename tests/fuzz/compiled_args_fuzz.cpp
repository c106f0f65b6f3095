// Fuzz target: the evaluator reading compiled arguments, as the runtime
// reads them from a program file: operator, function, procedure, method,
// system-variable and DEF tokens with arbitrary bytes around them. Any input
// must evaluate or end in a report, leaving no pending operation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/line_store.h"
#include "base/text.h"
#include "base/console_host.h"
#include "base/errors.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/stores.h"

namespace {

// Stand-ins for built-in functions: they read one, two or three arguments
// the way the real handlers do.
void OneArgument(korv::TParStack& ps) { korv::Evaluate(ps, ')', 0); }
void TwoArguments(korv::TParStack& ps) {
  korv::Evaluate(ps, ',', 0);
  korv::Evaluate(ps, ')', 0);
}
void ThreeArguments(korv::TParStack& ps) {
  korv::Evaluate(ps, ',', 0);
  korv::Evaluate(ps, ',', 0);
  korv::Evaluate(ps, ')', 1);
}
void SysVar(korv::TEvalResult& r) {
  r.IntValue = 7;
  r.FloatValue = 7;
  r.StrValue = "7";
  r.ResultKind = korv::kind::kInt;
}
bool SlotCall(int32_t, korv::TParStack& ps) {
  korv::Evaluate(ps, 'p', 0);  // reads an argument like a call would
  return true;
}

void Setup() {
  static bool done = false;
  if (done) return;
  done = true;
  // Codes chosen so that their bytes are separators: "(" ")" "," "=" "|".
  korv::BindFunction("MEMPOS", OneArgument);
  korv::BindFunction("MOVELISTTOMEM", TwoArguments);
  korv::BindFunction("EXTERNAL", ThreeArguments);
  korv::BindFunction("WINEXECWAIT", OneArgument);
  korv::BindFunction("EDITBOX", TwoArguments);
  korv::BindFunction("LEN", OneArgument);
  korv::BindSysVar("%ERRNUMBER", SysVar);
  korv::BindSysVar("$TEMPDIR", SysVar);
  korv::SetProcedureSlotCaller(SlotCall);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static korv::ConsoleHost host;
  korv::SetHost(&host);
  Setup();
  if (size > 4096) return 0;
  korv::gProgram.Clear();
  korv::gProgram.files.push_back("fuzz.kvc");
  for (const char* line : {"DEF %A 5", "DEF $B \"x\\ty\"", "", "DEF !C 1.5"}) {
    korv::gProgram.lines.push_back(line);
    korv::gProgram.debug.emplace_back();
  }
  korv::ResetErrorState();
  korv::gErr.Level = -2;
  korv::ResetEvaluator();
  korv::ResetStores();
  korv::gCompiledText = true;
  std::string text(reinterpret_cast<const char*>(data), size);
  korv::TParStack ps;
  korv::gEval.SetText(text);
  korv::Evaluate(ps, ' ', 0);
  if (korv::PendingOperations() != 0) std::abort();
  // As an output list: items up to "," or ";" until the text is used up.
  korv::gEval.SetText(text);
  for (int i = 0; i < 1000 && !korv::gEval.RestEmpty(); ++i) {
    size_t before = korv::gEval.pos;
    korv::Evaluate(ps, 'p', 0);
    if (korv::gEval.pos <= before) break;
  }
  if (korv::PendingOperations() != 0) std::abort();
  (void)korv::UpperCompiled(text);
  (void)korv::FindTopLevel(text, ',', true);
  korv::gCompiledText = false;
  return 0;
}
