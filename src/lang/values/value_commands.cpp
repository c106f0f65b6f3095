#include "values/value_commands.h"

#include <memory>
#include <string_view>
#include <vector>

#include "base/code_tables.h"
#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "engine/procedures.h"
#include "values/arrays.h"
#include "values/composite.h"
#include "values/evaluator.h"
#include "values/functions_support.h"
#include "values/stores.h"
#include "values/text_cache.h"

namespace korv {

namespace {

bool ValidScalarName(const std::string& n) {
  if (n.empty() || StoreOfSuffix(n.back()) < 0) return false;
  for (char c : n)
    if (IsBlankChar(c)) return false;
  return true;
}

// A joined text longer than a string may be: 219, the statement ends with
// an empty result.
std::string RefuseJoined() {
  gEval.pos = gEval.text.size();
  RaiseError(219);
  gEval.failed = true;
  gRes.Reset();
  return std::string();
}


// ---------------------------------------------------------------------------
// Appending in place: "T$ = T$ + tail" extends the variable's own text
// instead of copying it three times, so building a long text by appending
// stays linear. Taken only when the tail cannot run user code or change any
// variable (a literal, a string variable, or one of a few string functions
// whose arguments hold no further call), so evaluating the tail before or
// after reading T$ gives the same text; everything else, and an undeclared
// T$, takes the general path.

// The string functions a tail may call: they only compute a text.
bool IsPureStringFunction(std::string_view name) {
  static constexpr std::string_view kPure[] = {"CHR$",   "MID$",   "LEFT$", "RIGHT$",
                                               "UPPER$", "LOWER$", "TRIM$", "STR$"};
  for (std::string_view p : kPure)
    if (p == name) return true;
  return false;
}

// tail: the operand after "T$ +", blanks trimmed.
bool IsPureStringTail(std::string_view tail) {
  if (tail.size() >= 2 && tail.front() == '"')
    return tail.back() == '"' && tail.find('"', 1) == tail.size() - 1;
  if (fn::IsStringVariableName(tail)) return true;
  if (tail.empty() || tail.back() != ')') return false;
  if (gCompiledText) {
    // "@" function code, the arguments, ")".
    if (tail.size() < 3 || tail[0] != code::kFunctionMark) return false;
    const char* name = FunctionName(static_cast<unsigned char>(tail[1]));
    return name != nullptr && IsPureStringFunction(name) &&
           fn::CallFree(tail.substr(2, tail.size() - 3));
  }
  size_t paren = tail.find('(');
  if (paren == std::string_view::npos) return false;
  return IsPureStringFunction(Upper(Trim(tail.substr(0, paren)))) &&
         fn::CallFree(tail.substr(paren + 1, tail.size() - paren - 2));
}

// Where the tail starts when the text from the cursor reads "T$ + tail"
// (blanks allowed around the name and the "+"), or npos.
size_t AppendTailStart(const std::string& target) {
  const std::string& t = gEval.text;
  size_t p = gEval.pos;
  while (p < t.size() && fn::IsArgumentBlank(t[p])) ++p;
  if (t.size() - p < target.size() || Upper(std::string_view(t).substr(p, target.size())) != target)
    return std::string::npos;
  p += target.size();
  while (p < t.size() && fn::IsArgumentBlank(t[p])) ++p;
  if (p >= t.size() || t[p] != '+') return std::string::npos;
  ++p;
  while (p < t.size() && fn::IsArgumentBlank(t[p])) ++p;
  return p;
}

bool TryAppendInPlace(const std::string& target, TParStack& ps) {
  if (target.size() < 2 || target.back() != '$') return false;
  const size_t start = AppendTailStart(target);
  if (start == std::string::npos) return false;
  std::string_view tail = std::string_view(gEval.text).substr(start);
  while (!tail.empty() && fn::IsArgumentBlank(tail.back())) tail.remove_suffix(1);
  if (!IsPureStringTail(tail)) return false;
  // The general path holds the "+" pending while the tail runs: the same
  // room must be left on the operation stack.
  if (PendingOperations() + static_cast<int>(tail.size()) + 2 >= kOpStackSize) return false;
  const int32_t i = Find(target);
  if (i == 0) return false;
  gEval.lastVarName = target;  // the general path has just read T$
  gEval.pos = start;
  Evaluate(ps, 'p', 0);
  std::string& value = gStores.strs[i].Value;
  if (!gEval.failed && gRes.ResultKind == kind::kString &&
      gRes.StrValue.size() > kMaxStringLength - value.size()) {
    RaiseError(219);
    gEval.failed = true;
  }
  if (gEval.failed || gRes.ResultKind != kind::kString) {
    value.clear();  // a failed argument leaves the joined text empty
  } else {
    value += gRes.StrValue;
  }
  gRes.Reset();
  gRes.ResultKind = kind::kString;
  // The joined text stays the statement's result where a caller can read
  // it (a procedure called from an expression and ending without RETURN).
  if (InsideExpressionCall()) gRes.StrValue = value;
  return true;
}

// The value at the cursor for the string variable target: appended in place
// where it can be, else the joined list.
void AssignText(const std::string& target, TParStack& ps) {
  if (TryAppendInPlace(target, ps)) return;
  std::string joined = JoinedList(ps);
  gRes.Reset();
  gRes.StrValue = std::move(joined);
  gRes.ResultKind = kind::kString;
  Store(target);
}

}  // namespace

std::string JoinedList(TParStack& ps) {
  std::string joined;
  for (;;) {
    size_t before = gEval.pos;
    Evaluate(ps, 'p', 0);
    if (gRes.StrValue.size() > kMaxStringLength - joined.size()) return RefuseJoined();
    joined += gRes.StrValue;
    SkipArgumentBlanks();
    if (gEval.RestEmpty() || gEval.pos == before) break;
    if (gEval.lastSep == ',') {
      if (joined.size() == kMaxStringLength) return RefuseJoined();
      joined.push_back(' ');
    } else if (gEval.lastSep != ';') {
      break;  // text that is no further part
    }
  }
  return joined;
}

// One name of a DECLARE list, normalised; last: no comma follows it.
struct DeclaredName {
  std::string name;
  bool last = false;
  CachedFind number;
};

// A DECLARE list of plain names (no array among them) read once per list
// text; empty for any other list, which is read anew on every run.
std::vector<DeclaredName>& PlainDeclaredNames(std::string_view list) {
  static TextCache<std::vector<DeclaredName>> lists;
  return lists.Of(list, [list](std::vector<DeclaredName>& out) {
    size_t start = 0;
    for (;;) {
      const size_t comma = FindTopLevel(list, ',', false, start);
      DeclaredName d;
      d.name = NormalizeName(std::string(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
      const bool last = comma == std::string::npos;
      d.last = last;
      if (d.name.find('[') != std::string::npos) {
        out.clear();
        return;
      }
      out.push_back(std::move(d));
      if (last) return;
      start = comma + 1;
    }
  });
}

void CmdDeclare(TParStack& ps) {
  // Declarations only report (and a report may run other statements while
  // its box is open); the loop ends right after one, so the kept list stays
  // valid while it is read.
  if (std::vector<DeclaredName>& names = PlainDeclaredNames(gEval.RestView()); !names.empty()) {
    gEval.pos = gEval.text.size();
    for (DeclaredName& d : names) {
      if (d.name.empty()) {
        if (!d.last) RaiseError(122, d.name);
        return;
      }
      if (DeclareKept(d.name, d.number) == 0 || d.last) return;
    }
    return;
  }
  std::string list = gEval.Rest();
  gEval.pos = gEval.text.size();
  size_t start = 0;
  for (;;) {
    size_t comma = FindTopLevel(list, ',', false, start);
    std::string name =
        NormalizeName(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (name.empty()) {
      if (comma == std::string::npos) return;  // nothing after the last comma
      RaiseError(122, name);
      return;
    }
    bool ok = name.find('[') != std::string::npos ? DeclareArray(name, ps) : Declare(name) != 0;
    if (!ok || comma == std::string::npos) return;  // a failure declares nothing further
    start = comma + 1;
  }
}

void CmdVar(TParStack& ps) {
  std::string text = gEval.Rest();
  size_t eq = text.find('=');
  if (eq == std::string::npos) {
    gEval.pos = gEval.text.size();
    RaiseError(212);
    return;
  }
  std::string name = NormalizeName(text.substr(0, eq));
  gEval.pos += eq + 1;
  if ((!name.empty() && name.back() == ']') || name.find("#.") != std::string::npos ||
      name.find("].") != std::string::npos) {
    RaiseError(145, name);
    return;
  }
  if (!name.empty() && name.front() == '.') {
    RaiseError(0, name);
    return;
  }
  if (!ValidScalarName(name)) {
    RaiseError(122, name);
    return;
  }
  Evaluate(ps, ' ', 0);
  if (name.back() == '#') {
    if (gRes.AreaKind != 'n') {
      RaiseError(146, name);
      return;
    }
    int32_t idx = Declare(name);
    if (idx) InstantiateNew(gStores.ptrs[idx], ps);
    return;
  }
  int32_t idx = Declare(name);
  if (idx == 0) return;
  switch (name.back()) {
    case '%': gStores.ints[idx].Value = gRes.IntValue; break;
    case '&': gStores.lngs[idx].Value = gRes.IntValue; break;
    case '!': gStores.sngs[idx].Value = gRes.FloatValue; break;
    case '$': gStores.strs[idx].Value = gRes.StrValue; break;
    default: break;
  }
}

namespace {

// ---------------------------------------------------------------------------
// Statements read once per text. A loop runs the same assignment or INC
// over and over: what its text says (the target's name, its kind, where the
// value starts and the value's precompiled program) is worked out on the
// first run and kept; each later run looks the text up once and does the
// work. Only the forms whose general path ends in plain number stores are
// kept, and everything that would report (an undeclared target, a value
// that is no plain arithmetic or would fail) takes the general path before
// anything has changed, so the effects and reports stay the same.

bool gPreparedOn = true;

bool IsNumberSuffix(char c) { return c == '%' || c == '&' || c == '!'; }

// "V = value" with V a number variable (%, & or !) or an element of a
// number array: the general path evaluates the value as a condition and
// stores it (an element's index first).
struct PreparedLet {
  std::string target;
  size_t valueStart = 0;
  bool text = false;  // a string variable: only the target is kept
  std::shared_ptr<const PrecompiledArgument> value;    // nullptr: general path
  std::shared_ptr<const PrecompiledArgument> element;  // the target, for an element
  CachedFind found;
};
TextCache<PreparedLet> gPreparedLets;

void PrepareLet(std::string_view text, PreparedLet& e) {
  const size_t eq = FindTopLevel(text, '=');
  if (eq == std::string::npos) return;
  e.target = NormalizeName(std::string(text.substr(0, eq)));
  if (e.target.empty() || IsMemberForm(e.target)) return;
  if (e.target.back() == ']') {
    e.element = PrecompileArgument(e.target);
    if (!e.element) return;
  } else if (e.target.back() == '$') {
    e.valueStart = eq + 1;
    e.text = true;
    return;
  } else if (!IsNumberSuffix(e.target.back())) {
    return;
  }
  e.valueStart = eq + 1;
  e.value = PrecompileArgument(text.substr(e.valueStart));
}

PreparedLet& PreparedLetOf(std::string_view text, TextCacheMemo* memo = nullptr) {
  return gPreparedLets.Of(text, [text](PreparedLet& e) { PrepareLet(text, e); }, memo);
}

// The element form: the slot is resolved before the value is computed, and
// nothing changes until both are known to need no report.
bool AssignElementPrepared(const PreparedLet& e) {
  PrecompiledElement target;
  if (!ResolvePrecompiledElement(*e.element, target)) return false;
  // The general path names the array first, too (before it reads anything),
  // so a fall-back after this leaves nothing of it behind.
  gEval.NoteLastVarName(*target.array);
  gEval.pos = e.valueStart;
  if (!RunPrecompiled(*e.value, false)) {
    gEval.pos = 0;
    return false;
  }
  switch (target.kind) {
    case '%': gPools.ints[target.slot] = gRes.IntValue; break;
    case '&': gPools.lngs[target.slot] = gRes.IntValue; break;
    default: gPools.sngs[target.slot] = gRes.FloatValue; break;
  }
  return true;
}

// A number variable whose value is no plain arithmetic (it calls, or reads
// strings): the value runs on the general path, and the stored target is
// found by the number of its name after it, where the general path looks
// the name up. (The value may run statements that use the kept entries:
// e is not read after it.)
bool AssignKeptTarget(PreparedLet& e, TParStack& ps) {
  FindCached(e.target, e.found);
  CachedFind found = e.found;
  const std::string target = e.target;
  gEval.pos = e.valueStart;
  EvaluateCondition(ps);
  const int32_t i = FindCached(target, found);
  if (i == 0) {
    RaiseError(215, target);
    return true;
  }
  StoreAt(target.back(), i);
  return true;
}

// A kept assignment whose value is plain arithmetic.
bool AssignPlainPrepared(PreparedLet& e) {
  if (e.element) return AssignElementPrepared(e);
  const int32_t i = FindCached(e.target, e.found);
  if (i == 0) return false;
  gEval.pos = e.valueStart;
  if (!RunPrecompiled(*e.value, false)) {
    gEval.pos = 0;
    return false;
  }
  switch (e.target.back()) {
    case '%': gStores.ints[i].Value = gRes.IntValue; break;
    case '&': gStores.lngs[i].Value = gRes.IntValue; break;
    default: gStores.sngs[i].Value = gRes.FloatValue; break;
  }
  return true;
}

// A string variable: the value runs as CmdLet runs it, the target read
// once per text.
bool AssignTextTarget(const PreparedLet& e, TParStack& ps) {
  const std::string target = e.target;  // the value may run statements that drop e
  gEval.pos = e.valueStart;
  AssignText(target, ps);
  return true;
}

bool AssignPrepared(TParStack& ps) {
  if (!gPreparedOn || gEval.pos != 0) return false;
  PreparedLet& e = PreparedLetOf(gEval.text);
  if (e.text) return AssignTextTarget(e, ps);
  if (!e.value) return e.valueStart != 0 && !e.element && AssignKeptTarget(e, ps);
  return AssignPlainPrepared(e);
}

// The same from the statement's own text: the evaluator gets the text only
// where the value takes the general path.
bool LetWithoutText(std::string_view args, TParStack& ps, TextCacheMemo* memo) {
  if (!gPreparedOn) return false;
  PreparedLet& e = PreparedLetOf(args, memo);
  if (e.value) return AssignPlainPrepared(e);
  if (e.valueStart == 0 || e.element) return false;
  gEval.SetText(args);
  return e.text ? AssignTextTarget(e, ps) : AssignKeptTarget(e, ps);
}

// "INC V" / "DEC V" with V a % or & variable.
struct PreparedIncDec {
  std::string name;
  bool counter = false;  // a % or & name
  CachedFind found;
};
TextCache<PreparedIncDec> gPreparedIncDecs;

// Adds delta to the counter named by text; false, with nothing changed,
// where the general path must run.
bool IncDecNamed(std::string_view text, int32_t delta, TextCacheMemo* memo = nullptr) {
  PreparedIncDec& e = gPreparedIncDecs.Of(text, [text](PreparedIncDec& p) {
    p.name = NormalizeName(std::string(text));
    p.counter = !p.name.empty() && (p.name.back() == '%' || p.name.back() == '&');
  }, memo);
  if (!e.counter) return false;
  const int32_t i = FindCached(e.name, e.found);
  if (i == 0) return false;
  int32_t& v = e.name.back() == '%' ? gStores.ints[i].Value : gStores.lngs[i].Value;
  v = WrapAdd(v, delta);
  return true;
}

bool IncDecPrepared(int32_t delta) {
  if (!gPreparedOn || gEval.pos != 0 || !IncDecNamed(gEval.text, delta)) return false;
  gEval.pos = gEval.text.size();
  return true;
}

bool IncWithoutText(std::string_view args, TParStack&, TextCacheMemo* memo) {
  return gPreparedOn && IncDecNamed(args, 1, memo);
}
bool DecWithoutText(std::string_view args, TParStack&, TextCacheMemo* memo) {
  return gPreparedOn && IncDecNamed(args, -1, memo);
}

}  // namespace

void UsePreparedStatements(bool on) { gPreparedOn = on; }
bool PreparedStatementsOn() { return gPreparedOn; }

PreparedRunner PreparedRunnerOf(std::string_view commandName) {
  static const std::pair<std::string_view, PreparedRunner> kRunners[] = {
      {"LET", LetWithoutText}, {"INC", IncWithoutText}, {"DEC", DecWithoutText}};
  for (const auto& [name, runner] : kRunners)
    if (name == commandName) return runner;
  return nullptr;
}

void CmdLet(TParStack& ps) {
  if (AssignPrepared(ps)) return;
  std::string text = gEval.Rest();
  size_t eq = FindTopLevel(text, '=');
  if (eq == std::string::npos) {
    gEval.pos = gEval.text.size();
    RaiseError(212);
    return;
  }
  std::string target = NormalizeName(text.substr(0, eq));
  gEval.pos += eq + 1;
  if (!target.empty() && (target.back() == ']' || target.back() == '#' || IsMemberForm(target))) {
    AssignComposite(target, ps);
    return;
  }
  if (!target.empty() && target.back() == '$') return AssignText(target, ps);
  // A number variable keeps only the number forms: no text is made.
  EvaluateCondition(ps);
  Store(target);
}

void CmdInc(TParStack& ps) {
  if (IncDecPrepared(1)) return;
  std::string name = gEval.Rest();
  gEval.pos = gEval.text.size();
  IncDec(name, 1);
}

void CmdDec(TParStack& ps) {
  if (IncDecPrepared(-1)) return;
  std::string name = gEval.Rest();
  gEval.pos = gEval.text.size();
  IncDec(name, -1);
}

void RegisterValueCommands() {
#define KORV_UNIT_variables 1
#include "base/bind_unit.h"
#undef KORV_UNIT_variables
}

}  // namespace korv
