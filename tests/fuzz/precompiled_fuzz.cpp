// Fuzz target: precompiled arithmetic against the general evaluator. Every
// input is read as source text and as compiled text, once with the blank
// terminator (which may take the precompiled path) and once with ","
// (which never does); both must give the same three forms, kind, cursor,
// last variable name and report. The input is also the tail of an append
// "S$ = S$ + input" and the rest of a call "MID$(S$, input", each against
// the same statement with "" + S$ in place of S$, which the in-place paths
// never take: the variables, report and last variable name must agree.
// Finally the input is the value of number and string assignments and the
// argument of INC and DEC, each run twice with the forms kept from the
// first run and twice read anew: variables, result, cursor and report must
// agree (also with elements of number arrays as targets). And the
// input is read as an argument list the way procedure calls, functions and
// statements read theirs (a string variable S$ declared), with and without
// the precompiled paths: every argument alike.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/text.h"
#include "base/console_host.h"
#include "base/errors.h"
#include "values/arrays.h"
#include "values/composite.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/settings.h"
#include "values/stores.h"
#include "values/value_commands.h"

namespace {

struct Outcome {
  korv::TEvalResult res;
  std::string lastVar;
  bool endOfArgs;
  char lastSep;
  size_t pos;
  int32_t code;
};

Outcome Run(const std::string& text, char term) {
  korv::gErr.Code = 0;
  korv::gEval.lastVarName.clear();
  korv::gEval.SetText(text);
  korv::TParStack ps;
  korv::Evaluate(ps, term, 0);
  return {korv::gRes, korv::gEval.lastVarName, korv::gEval.endOfArgs, korv::gEval.lastSep, korv::gEval.pos,
          korv::gErr.Code};
}

bool Same(const Outcome& a, const Outcome& b) {
  return a.res.IntValue == b.res.IntValue &&
         std::memcmp(&a.res.FloatValue, &b.res.FloatValue, sizeof(double)) == 0 &&
         a.res.StrValue == b.res.StrValue && a.res.ResultKind == b.res.ResultKind && a.lastVar == b.lastVar &&
         a.endOfArgs == b.endOfArgs && a.lastSep == b.lastSep && a.pos == b.pos && a.code == b.code;
}

// Every argument of the text read both ways with one terminator: 'p' as
// procedure calls read theirs, ',' and ')' as functions read theirs.
bool SameList(const std::string& text, char term, int kind) {
  std::vector<Outcome> runs[2];
  for (int fast = 0; fast < 2; ++fast) {
    korv::UsePrecompiledArithmetic(fast == 1);
    korv::gErr.Code = 0;
    korv::gEval.lastVarName.clear();
    korv::gEval.SetText(text);
    korv::TParStack ps;
    for (int n = 0; n < 16 && !korv::gEval.RestEmpty(); ++n) {
      korv::Evaluate(ps, term, kind);
      runs[fast].push_back({korv::gRes, korv::gEval.lastVarName, korv::gEval.endOfArgs, korv::gEval.lastSep,
                            korv::gEval.pos, korv::gErr.Code});
    }
  }
  korv::UsePrecompiledArithmetic(true);
  if (runs[0].size() != runs[1].size()) return false;
  for (size_t i = 0; i < runs[0].size(); ++i)
    if (!Same(runs[0][i], runs[1][i])) return false;
  return true;
}

struct LetOutcome {
  std::string s, t;
  std::string lastVar;
  int32_t code;
  bool failed;
};

LetOutcome Let(const std::string& args) {
  korv::gErr.Code = 0;
  korv::gEval.lastVarName.clear();
  for (const char* name : {"S$", "T$"})
    if (korv::Find(name) == 0) korv::Declare(name);
  korv::gStores.strs[static_cast<size_t>(korv::Find("S$"))].Value = "s1";
  korv::gStores.strs[static_cast<size_t>(korv::Find("T$"))].Value = "t2";
  korv::gEval.SetText(args);
  korv::TParStack ps;
  korv::CmdLet(ps);
  return {korv::gStores.strs[static_cast<size_t>(korv::Find("S$"))].Value,
          korv::gStores.strs[static_cast<size_t>(korv::Find("T$"))].Value, korv::gEval.lastVarName,
          korv::gErr.Code, korv::gEval.failed};
}

bool SameLet(const LetOutcome& a, const LetOutcome& b) {
  return a.s == b.s && a.t == b.t && a.lastVar == b.lastVar && a.code == b.code && a.failed == b.failed;
}

struct NumberOutcome {
  int32_t a, b, x;
  double f, y;
  std::string s;
  korv::TEvalResult res;
  std::string lastVar;
  size_t pos;
  int32_t code;
  bool failed;
};

// The pool slot of an element, resolved quietly (the element exists).
double& ElementOf(const char* name) {
  static double value;
  korv::ElementRef ref;
  korv::TParStack ps;
  value = 0;
  if (korv::ResolveElement(name, ps, ref) != korv::Resolve::Ok) return value;
  if (ref.kind == '!') return korv::gPools.sngs[ref.element];
  value = korv::gPools.ints[ref.element];
  return value;
}

void SetElements(int32_t x, double y) {
  korv::ElementRef ref;
  korv::TParStack ps;
  if (korv::ResolveElement("X%[1,2]", ps, ref) == korv::Resolve::Ok) korv::gPools.ints[ref.element] = x;
  ElementOf("Y![1]") = y;
}

NumberOutcome Numbers(void (*handler)(korv::TParStack&), const std::string& args, bool prepared) {
  korv::UsePreparedStatements(prepared);
  SetElements(7, 0.25);
  korv::gStores.ints[static_cast<size_t>(korv::Find("A%"))].Value = -3;
  korv::gStores.lngs[static_cast<size_t>(korv::Find("B&"))].Value = 2147483000;
  korv::gStores.sngs[static_cast<size_t>(korv::Find("F!"))].Value = 0.5;
  korv::gStores.strs[static_cast<size_t>(korv::Find("S$"))].Value = " 12.5e1x";
  korv::TParStack ps;
  for (int run = 0; run < 2; ++run) {
    korv::gErr.Code = 0;
    korv::gEval.lastVarName.clear();
    korv::gRes.Reset();
    korv::gEval.SetText(args);
    handler(ps);
  }
  korv::UsePreparedStatements(true);
  // The statement's own outcome, taken before reading the elements
  // evaluates their indices.
  NumberOutcome out{korv::gStores.ints[static_cast<size_t>(korv::Find("A%"))].Value,
                    korv::gStores.lngs[static_cast<size_t>(korv::Find("B&"))].Value, 0,
                    korv::gStores.sngs[static_cast<size_t>(korv::Find("F!"))].Value, 0,
                    korv::gStores.strs[static_cast<size_t>(korv::Find("S$"))].Value, korv::gRes,
                    korv::gEval.lastVarName, korv::gEval.pos, korv::gErr.Code, korv::gEval.failed};
  out.x = static_cast<int32_t>(ElementOf("X%[1,2]"));
  out.y = ElementOf("Y![1]");
  return out;
}

bool SameNumbers(const NumberOutcome& x, const NumberOutcome& y) {
  return x.a == y.a && x.b == y.b && x.x == y.x && std::memcmp(&x.f, &y.f, sizeof(double)) == 0 &&
         std::memcmp(&x.y, &y.y, sizeof(double)) == 0 && x.s == y.s &&
         x.res.IntValue == y.res.IntValue &&
         std::memcmp(&x.res.FloatValue, &y.res.FloatValue, sizeof(double)) == 0 &&
         x.res.StrValue == y.res.StrValue && x.res.ResultKind == y.res.ResultKind && x.lastVar == y.lastVar &&
         x.pos == y.pos && x.code == y.code && x.failed == y.failed;
}

// width: NUMWIDTH for this input (a field wider than a number's digits
// changes its text form, and a negated operand's).
void Setup(int32_t width) {
  korv::ResetErrorState();
  korv::gSettings.NumWidth = width;
  korv::gErr.Level = -2;
  korv::ResetEvaluator();
  korv::ResetStores();
  korv::TParStack ps;
  korv::Declare("A%");
  korv::Declare("B&");
  korv::Declare("F!");
  korv::DeclareArray("X%[3,2]", ps);
  korv::DeclareArray("Y![4]", ps);
  korv::gStores.ints[static_cast<size_t>(korv::Find("A%"))].Value = -3;
  korv::gStores.lngs[static_cast<size_t>(korv::Find("B&"))].Value = 2147483000;
  korv::gStores.sngs[static_cast<size_t>(korv::Find("F!"))].Value = 0.5;
  korv::Declare("S$");
  korv::gStores.strs[static_cast<size_t>(korv::Find("S$"))].Value = " 12.5e1x";
  korv::DeclareArray("Z$[3]", ps);
  korv::ElementRef ref;
  if (korv::ResolveElement("Z$[1]", ps, ref) == korv::Resolve::Ok) korv::gPools.strs[ref.element] = "7.25 z";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static korv::ConsoleHost host;
  static bool registered = false;
  korv::SetHost(&host);
  if (!registered) {
    korv::RegisterBuiltinFunctions();
    registered = true;
  }
  if (size > 512) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);
  Setup(static_cast<int32_t>(size % 5));
  for (bool compiled : {false, true}) {
    korv::gCompiledText = compiled;
    const Outcome general = Run(text, ',');
    const Outcome fast = Run(text, ' ');
    // A top-level comma ends both readings, but in different ways.
    const bool comparable = text.find(',') == std::string::npos && text.find(';') == std::string::npos;
    if (comparable && !Same(general, fast)) std::abort();
    if (korv::PendingOperations() != 0) std::abort();
    if (!SameList(text, 'p', 0) || !SameList(text, ',', 0) || !SameList(text, ')', 0) ||
        !SameList(text, ',', korv::kind::kInt) || !SameList(text, ')', korv::kind::kFloat) ||
        !SameList(text, ' ', 0) || !SameList(text, ',', korv::kind::kString) ||
        !SameList(text, ' ', korv::kind::kAddress))
      std::abort();
    if (korv::PendingOperations() != 0) std::abort();
    // Tokens with a 4-byte slot (0xFF, 0xFE, 0x14) read bytes of whatever
    // follows, so a longer statement in front is no longer the same one.
    const bool slotTokens = compiled && text.find_first_of(std::string("\xFF\xFE\x14", 3)) != std::string::npos;
    if (!slotTokens) {
      if (!SameLet(Let("S$ = S$ + " + text), Let("S$ = \"\" + S$ + " + text))) std::abort();
      const std::string mid = compiled ? std::string(1, '@') + static_cast<char>(147) : std::string("MID$(");
      if (!SameLet(Let("T$ = " + mid + "S$, " + text), Let("T$ = " + mid + "\"\" + S$, " + text)))
        std::abort();
    }
    if (korv::PendingOperations() != 0) std::abort();
    for (const char* target : {"A% =", "B& =", "F! =", "X%[1,2] =", "Y![A% + 4] =", "S$ =", "s$ = S$ +"}) {
      const std::string let = std::string(target) + text;
      if (!SameNumbers(Numbers(korv::CmdLet, let, true), Numbers(korv::CmdLet, let, false))) std::abort();
    }
    if (!SameNumbers(Numbers(korv::CmdInc, text, true), Numbers(korv::CmdInc, text, false))) std::abort();
    if (!SameNumbers(Numbers(korv::CmdDec, text, true), Numbers(korv::CmdDec, text, false))) std::abort();
    if (korv::PendingOperations() != 0) std::abort();
  }
  korv::gCompiledText = false;
  return 0;
}
