// Precompiled arithmetic arguments.
#include "values/evaluator_internal.h"
#include "values/precompiled_programs.h"

#include <algorithm>
#include <array>
#include <deque>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/code_tables.h"
#include "base/errors.h"
#include "base/names.h"
#include "base/text.h"
#include "values/arrays.h"
#include "values/settings.h"
#include "values/stores.h"
#include "values/text_cache.h"

namespace korv::evaldetail {

namespace {

// Most arguments in loops are plain arithmetic: number variables, number
// literals, operators and brackets. Such an argument text is read once with
// the general evaluator's scanner into a postfix program, which later
// evaluations run without scanning. Its operands may also be elements of
// number arrays, the system variables that only read a number, the number
// functions that only compute, and LEN, INSTR, ORD and VAL of string programs
// (evaluator_strings.cpp); anything else is never compiled. Whatever would
// report an error (an unknown variable, division by zero, a nesting limit)
// gives the evaluation back to the general path before anything has
// changed, so reports stay the same.

// Built-in functions of one number whose handlers only compute (see
// functions_number.cpp): the same formulas and argument checks.
enum class FastFunction : uint8_t { Sin, Cos, Arctan, Exp, Sqrt, Sqr, Ln, Int, Abs };

bool FastFunctionOf(std::string_view name, FastFunction& out) {
  static const std::pair<std::string_view, FastFunction> kTable[] = {
      {"SIN", FastFunction::Sin},   {"COS", FastFunction::Cos}, {"ARCTAN", FastFunction::Arctan},
      {"EXP", FastFunction::Exp},   {"SQRT", FastFunction::Sqrt}, {"SQR", FastFunction::Sqr},
      {"LN", FastFunction::Ln},     {"INT", FastFunction::Int}, {"ABS", FastFunction::Abs},
  };
  for (const auto& [n, f] : kTable) {
    if (n == name) {
      out = f;
      return FindFunction(name) != nullptr;
    }
  }
  return false;
}

struct FastStep {
  enum Kind : uint8_t { Var, Element, Literal, Negate, Binary, Call, SysVar, Text, Compare } kind = Var;
  FastFunction function = FastFunction::Sin;
  Op op = Op::Add;
  char varKind = '%';
  uint8_t literalKind = kind::kLong;
  double value = 0.0;
  int32_t intValue = 0;  // a literal's value as TruncToInt32 makes it
  std::string name;
  const SysVarEntry* sysvar = nullptr;
  mutable CachedFind found;  // the variable or array the name reads
  // An element's index arguments (each evaluated like Evaluate(' ', 2)).
  std::vector<std::shared_ptr<const FastProgram>> indices;
  std::shared_ptr<const TextCall> textCall;  // LEN, INSTR, ORD or VAL
  std::shared_ptr<const TextComparison> comparison;

  static FastStep Of(Kind k, Op o = Op::Add) {
    FastStep s;
    s.kind = k;
    s.op = o;
    return s;
  }
};

// Brackets nested deeper than this are left to the general path.
constexpr int kMaxFastDepth = 16;

}  // namespace

struct FastProgram {
  std::vector<FastStep> steps;
  int depth = 0;               // brackets nested inside
  int pending = 0;             // operators waiting at the most
  std::string lastVar;         // the variable read last
  // The whole argument is one negated operand, whose text form the general
  // path makes as "-" in front of the operand's own (see NegatedTextAgrees).
  bool negatedResult = false;
  // The whole argument is one call whose handler makes its text at once:
  // the result's text is made even where the reader needs none.
  bool eagerText = false;
  // Most loop arguments are one variable or literal, or two joined by one
  // operator: these run without the step loop (see ShapeOf).
  enum class Shape : uint8_t { Steps, Operand, Pair } shape = Shape::Steps;
};

using FastArgumentAt = KeptListArgument;

namespace {

bool IsNameChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

bool PlainVariable(const std::string& u) {
  if (u.size() < 2 || !(u.back() == '%' || u.back() == '&' || u.back() == '!')) return false;
  if (!((u[0] >= 'A' && u[0] <= 'Z') || u[0] == '_')) return false;
  for (size_t i = 0; i + 1 < u.size(); ++i)
    if (!IsNameChar(u[i])) return false;
  return true;
}

bool PlainNumber(const std::string& u) {
  size_t digits = 0, dots = 0;
  for (char c : u) {
    if (c >= '0' && c <= '9') ++digits;
    else if (c == '.') ++dots;
    else return false;
  }
  return digits > 0 && dots <= 1;
}

// System variables whose handler only reads a whole number, with the text
// IntToText makes (made or left pending): the fast path reads them through
// that handler.
// name gets the name the general path reads them by.
const SysVarEntry* FastSystemVariable(const std::string& op, const std::string& u, std::string& name) {
  static constexpr std::string_view kFast[] = {"&LOOP"};
  if (gCompiledText) {
    if (op.size() != 2 || !IsKindChar(op[0])) return nullptr;
    const char* n = SysVarName(static_cast<unsigned char>(op[1]));
    if (n == nullptr || n[0] != op[0]) return nullptr;
    name = n;
  } else {
    name = u;
  }
  bool listed = false;
  for (std::string_view f : kFast) listed = listed || f == name;
  if (!listed) return nullptr;
  const SysVarEntry* e = FindSysVar(name);
  return e != nullptr && e->handler != nullptr && e->quiet ? e : nullptr;
}

// A function call operand as EvalOperand reads it: its name and the text of
// its arguments (with the closing bracket). False for anything else.
bool CallOperand(const std::string& op, std::string& name, std::string& args) {
  if (gCompiledText && op.size() >= 2 && op[0] == code::kFunctionMark) {
    const auto c = static_cast<unsigned char>(op[1]);
    if (c == static_cast<unsigned char>(code::kProcToken) || c == static_cast<unsigned char>(code::kMethodToken))
      return false;
    const char* n = FunctionName(c);
    if (n == nullptr) return false;
    name = n;
    args = op.substr(2);
    return true;
  }
  if (gCompiledText) return false;
  size_t paren;
  if (!IsCallForm(op, paren) || paren == npos) return false;
  const size_t from = op[0] == '@' ? 1 : 0;
  name = Upper(Trim(std::string_view(op).substr(from, paren - from)));
  args = op.substr(paren + 1);
  return true;
}

// A step whose string programs run one level below its operand, with the
// operators waiting outside still on the stack: what it reaches and reads
// last become the program's.
void AddTextStep(FastStep step, const ProgramReach& reach, const std::string& last, FastProgram& out, int level,
                 int waiting) {
  out.depth = std::max(out.depth, level + reach.depth);
  out.pending = std::max(out.pending, waiting + reach.pending);
  if (!last.empty()) out.lastVar = last;
  out.steps.push_back(std::move(step));
}

// LEN, INSTR, ORD or VAL as an operand, its string arguments string programs.
bool CompileTextCall(const std::string& name, std::string_view args, FastProgram& out, int level, int waiting) {
  FastStep step = FastStep::Of(FastStep::Text);
  step.textCall = NumberCallFor(name, args);
  if (!step.textCall) return false;
  const TextCall& call = *step.textCall;
  AddTextStep(std::move(step), ReachOf(call), LastVariableOf(call), out, level, waiting);
  return true;
}

// Two texts compared, as the whole of the argument or bracket at the cursor
// (its first operand): one operand of the program. False, with the cursor
// back where it was, for anything else.
bool CompileComparison(char term, FastProgram& out, int level, int pendingBase) {
  const size_t at = gEval.pos;
  const char first = gEval.text[at];
  FastStep step = FastStep::Of(FastStep::Compare);
  if (first != '-' && first != '+') step.comparison = TextComparisonAt(term);
  if (!step.comparison) {
    gEval.pos = at;
    return false;
  }
  const TextComparison& comparison = *step.comparison;
  AddTextStep(std::move(step), ReachOf(comparison), LastVariableOf(comparison), out, level, pendingBase);
  return true;
}

// Reads one argument of gEval.text from gEval.pos the way EvaluateInner
// does, writing steps instead of computing. False when the argument is not
// plain arithmetic. pendingBase: operators already waiting outside.
bool CompileFast(char term, FastProgram& out, int level, int pendingBase) {
  struct Pending {
    Op op;
    uint8_t prec;
  };
  if (level > kMaxFastDepth) return false;
  std::vector<Pending> ops;
  int operands = 0;
  bool lastNegated = false;
  out.depth = std::max(out.depth, level);
  for (;;) {
    SkipBlanks();
    if (gEval.RestEmpty() || gEval.text[gEval.pos] == term) return false;
    if (operands == 0 && CompileComparison(term, out, level, pendingBase)) {
      // Nothing but the end of the level follows the comparison.
      SkipBlanks();
      if (gEval.RestEmpty()) return true;
      if (gEval.text[gEval.pos] != term || level == 0) return false;
      ++gEval.pos;
      return true;
    }
    bool negate = false;
    const char sign = gEval.text[gEval.pos];
    if (sign == '-' || sign == '+') {
      negate = sign == '-';
      ++gEval.pos;
      SkipBlanks();
    }
    std::string op = Trim(ScanOperand(term));
    if (op.empty() || op == "()") return false;
    if (op[0] == '(') {
      CursorScope scope(std::string_view(op).substr(1));
      if (!CompileFast(')', out, level + 1, pendingBase + static_cast<int>(ops.size()))) return false;
    } else if (std::string name, args; CallOperand(op, name, args)) {
      FastFunction function;
      if (!FastFunctionOf(name, function)) {
        if (!CompileTextCall(name, args, out, level, pendingBase + static_cast<int>(ops.size()))) return false;
      } else {
        // A number function: its argument is read up to ")" like a bracket.
        CursorScope scope(std::move(args));
        if (!CompileFast(')', out, level + 1, pendingBase + static_cast<int>(ops.size()))) return false;
        FastStep call = FastStep::Of(FastStep::Call);
        call.function = function;
        out.steps.push_back(std::move(call));
      }
    } else {
      size_t paren;
      if (IsCallForm(op, paren)) return false;
      if (op.back() == ')') {
        op.pop_back();
        op = Trim(op);
      }
      std::string u = gCompiledText ? UpperCompiled(op) : Upper(op);
      if (u.empty()) return false;
      FastStep step = FastStep::Of(FastStep::Var);
      std::string arrayName, inside;
      if (u.back() == ']' && SplitIndexed(u, arrayName, inside) && PlainVariable(arrayName) &&
          !Trim(inside).empty()) {
        // An element: its index arguments as the array code splits them.
        step.kind = FastStep::Element;
        step.varKind = arrayName.back();
        ProgramReach reach;
        if (!CompileIndices(inside, step.indices, reach)) return false;
        out.depth = std::max(out.depth, level + reach.depth);
        out.pending = std::max(out.pending, pendingBase + static_cast<int>(ops.size()) + reach.pending);
        step.name = arrayName;
        out.lastVar = u;  // the array code names the whole element
      } else if (std::string sysName; const SysVarEntry* e = FastSystemVariable(op, u, sysName)) {
        step.kind = FastStep::SysVar;
        step.sysvar = e;
        step.name = sysName;
        out.lastVar = sysName;
      } else if (PlainVariable(u)) {
        step.kind = FastStep::Var;
        step.varKind = u.back();
        step.name = u;
        out.lastVar = u;
      } else if (PlainNumber(u)) {
        double f;
        if (!ParseLiteral(u, f)) return false;
        step.kind = FastStep::Literal;
        step.value = f;
        step.intValue = TruncToInt32(f);
        step.literalKind = u.find('.') == npos ? kind::kLong : kind::kFloat;
      } else {
        return false;
      }
      out.steps.push_back(std::move(step));
    }
    ++operands;
    lastNegated = negate;
    if (negate) out.steps.push_back(FastStep::Of(FastStep::Negate));
    SkipBlanks();
    if (gEval.RestEmpty()) break;
    const char c = gEval.text[gEval.pos];
    if (c == term && level > 0) {
      ++gEval.pos;
      break;
    }
    if (Terminates(c, term) || c == ',' || c == ';') return false;
    Op binary;
    uint8_t prec;
    if (!ScanOperator(binary, prec)) return false;
    while (!ops.empty() && ops.back().prec >= prec) {
      out.steps.push_back(FastStep::Of(FastStep::Binary, ops.back().op));
      ops.pop_back();
    }
    ops.push_back({binary, prec});
    out.pending = std::max(out.pending, pendingBase + static_cast<int>(ops.size()));
  }
  // A result taken straight from a negated operand keeps the sign in front
  // of its own text form: inside brackets left to the general path, for
  // the whole argument checked when it runs.
  if (operands == 1 && lastNegated) {
    if (level > 0) return false;
    out.negatedResult = true;
  }
  while (!ops.empty()) {
    out.steps.push_back(FastStep::Of(FastStep::Binary, ops.back().op));
    ops.pop_back();
  }
  return true;
}

TextCache<std::shared_ptr<const FastProgram>> gFast;

bool PlainOperand(const FastStep& s) { return s.kind == FastStep::Var || s.kind == FastStep::Literal; }

FastProgram::Shape ShapeOf(const FastProgram& p) {
  const std::vector<FastStep>& s = p.steps;
  if (s.size() == 1 && PlainOperand(s[0])) return FastProgram::Shape::Operand;
  if (s.size() == 3 && PlainOperand(s[0]) && PlainOperand(s[1]) && s[2].kind == FastStep::Binary)
    return FastProgram::Shape::Pair;
  return FastProgram::Shape::Steps;
}

}  // namespace

// The program for the rest of the argument text, nullptr when it has none.
std::shared_ptr<const FastProgram> FastProgramFor(std::string_view rest) {
  return gFast.Of(rest, [rest](std::shared_ptr<const FastProgram>& kept) {
    CompileNesting nesting;
    if (rest.empty() || !nesting.ok()) return;
    auto program = std::make_shared<FastProgram>();
    CursorScope scope{rest};
    if (!CompileFast(' ', *program, 0, 0)) return;
    program->shape = ShapeOf(*program);
    const std::vector<FastStep>& steps = program->steps;
    program->eagerText = steps.size() == 1 && steps[0].kind == FastStep::Text && MakesItsText(*steps[0].textCall);
    kept = std::move(program);
  });
}

ProgramReach ReachOf(const FastProgram& p) { return ProgramReach{p.depth, p.pending}; }

bool CompileIndices(const std::string& inside, std::vector<std::shared_ptr<const FastProgram>>& out,
                    ProgramReach& reach) {
  if (Trim(inside).empty() || !CutsAlike(inside)) return false;
  size_t start = 0;
  for (;;) {
    if (out.size() == 3) return false;
    const size_t comma = FindTopLevel(inside, ',', false, start);
    std::shared_ptr<const FastProgram> index =
        FastProgramFor(std::string_view(inside).substr(start, comma == npos ? npos : comma - start));
    if (!index) return false;
    reach.depth = std::max(reach.depth, 1 + index->depth);
    reach.pending = std::max(reach.pending, index->pending);
    out.push_back(std::move(index));
    if (comma == npos) return true;
    start = comma + 1;
  }
}

const std::string& LastVariableOf(const FastProgram& p) { return p.lastVar; }

namespace {

// Runs a program; false (nothing changed) when the general path must run.
bool Compute(const FastProgram& p, FastValue& result);

// ElementSlot's work, inlined where number programs read elements.
[[gnu::always_inline]] inline bool ElementSlotOf(const std::string& array, CachedFind& found, char elementKind,
                                                 const std::vector<std::shared_ptr<const FastProgram>>& indices,
                                                 size_t& slot) {
  int32_t idx[3] = {0, 0, 0};
  for (size_t k = 0; k < indices.size(); ++k) {
    FastValue index;
    if (!Compute(*indices[k], index)) return false;
    idx[k] = index.i;
  }
  const int32_t a = FindCached(array, found, true);
  if (a == 0) return false;
  const TVarArr& arr = gStores.arrs[a];
  if (arr.ElemKind != elementKind || arr.Count <= 0 || idx[0] < 0 || idx[0] > arr.Bound1 || idx[1] < 0 ||
      idx[1] > arr.Bound2 || idx[2] < 0 || idx[2] > arr.Bound3)
    return false;
  const int64_t offset = idx[0] + (static_cast<int64_t>(arr.Bound1) + 1) *
                                      (idx[1] + static_cast<int64_t>(idx[2]) * (static_cast<int64_t>(arr.Bound2) + 1));
  if (offset < 0 || offset >= arr.Count) return false;
  const int64_t element = arr.First + offset;
  size_t poolSize = 0;
  switch (elementKind) {
    case '!': poolSize = gPools.sngs.size(); break;
    case '%': poolSize = gPools.ints.size(); break;
    case '&': poolSize = gPools.lngs.size(); break;
    case '$': poolSize = gPools.strs.size(); break;
    default: return false;
  }
  if (element < 0 || element >= static_cast<int64_t>(poolSize)) return false;
  slot = static_cast<size_t>(element);
  return true;
}

// A function on the value in place; false where its handler reports 200.
bool CallFast(FastFunction function, FastValue& v) {
  const double x = v.f;
  double f = 0.0;
  switch (function) {
    case FastFunction::Sin: f = std::sin(x); break;
    case FastFunction::Cos: f = std::cos(x); break;
    case FastFunction::Arctan: f = std::atan(x); break;
    case FastFunction::Exp: f = std::exp(x); break;
    case FastFunction::Sqrt:
      if (!(x >= 0)) return false;
      f = std::sqrt(x);
      break;
    case FastFunction::Sqr: f = x * x; break;
    case FastFunction::Ln:
      if (!(x > 0)) return false;
      f = std::log(x);
      break;
    case FastFunction::Int:
      v.i = TruncToInt32(x);
      v.f = v.i;
      v.kind = kind::kLong;
      v.text = TEvalResult::kTextFromInt;
      return true;
    case FastFunction::Abs: {
      // The integer form is the argument's own, made positive.
      const int32_t i = v.i < 0 ? WrapNeg(v.i) : v.i;
      v.f = std::fabs(x);
      v.i = i;
      v.kind = kind::kFloat;
      v.text = TEvalResult::kTextFromFloat;
      return true;
    }
  }
  v.f = f;
  v.i = TruncToInt32(f);
  v.kind = kind::kFloat;
  v.text = TEvalResult::kTextFromFloat;
  return true;
}

// The pool slot of an element step, resolved as ResolveElement resolves it;
// false where that would report (or the array is not of the step's kind).
bool FastElementSlot(const FastStep& s, size_t& slot) {
  return ElementSlotOf(s.name, s.found, s.varKind, s.indices, slot);
}

// An element as ResolveElement and LoadElement read it; false where they
// would report. (Kept out of the step loop: inlined, its registers made
// every program dearer, elements or not.)
[[gnu::noinline]] bool LoadFastElement(const FastStep& s, FastValue& v) {
  size_t element;
  if (!FastElementSlot(s, element)) return false;
  if (s.varKind == '!') {
    v.f = gPools.sngs[element];
    v.i = TruncToInt32(v.f);
    v.kind = kind::kFloat;
    v.text = TEvalResult::kTextFromFloat;
    return true;
  }
  const std::vector<int32_t>& pool = s.varKind == '%' ? gPools.ints : gPools.lngs;
  v.i = pool[element];
  v.f = v.i;
  v.kind = s.varKind == '%' ? kind::kInt : kind::kLong;
  v.text = TEvalResult::kTextFromInt;
  return true;
}

// A variable or literal step onto v; false for a variable no store holds.
inline bool LoadOperand(const FastStep& s, FastValue& v) {
  if (s.kind == FastStep::Literal) {
    v.f = s.value;
    v.i = s.intValue;
    v.kind = s.literalKind;
    v.text = s.literalKind == kind::kLong ? TEvalResult::kTextFromInt : TEvalResult::kTextFromFloat;
    return true;
  }
  const int32_t i = FindCached(s.name, s.found);
  if (i == 0) return false;
  if (s.varKind == '!') {
    v.f = gStores.sngs[i].Value;
    v.i = TruncToInt32(v.f);
    v.kind = kind::kFloat;
    v.text = TEvalResult::kTextFromFloat;
  } else {
    v.i = s.varKind == '%' ? gStores.ints[i].Value : gStores.lngs[i].Value;
    v.f = v.i;
    v.kind = s.varKind == '%' ? kind::kInt : kind::kLong;
    v.text = TEvalResult::kTextFromInt;
  }
  return true;
}

bool ApplyOther(Op op, FastValue& l, const FastValue& r);

// An operator step on the two values below the top: the result in l.
// Comparisons and + - * as ApplyNumeric computes them, without the call.
inline bool ApplyBinary(Op op, FastValue& l, const FastValue& r) {
  bool truth;
  switch (op) {
    case Op::Lt: truth = l.f < r.f; break;
    case Op::Gt: truth = l.f > r.f; break;
    case Op::Le: truth = l.f <= r.f; break;
    case Op::Ge: truth = l.f >= r.f; break;
    case Op::Eq: truth = l.f == r.f; break;
    case Op::Ne: truth = l.f != r.f; break;
    case Op::Add: case Op::Sub: case Op::Mul:
      l.f = op == Op::Add ? l.f + r.f : op == Op::Sub ? l.f - r.f : l.f * r.f;
      l.i = TruncToInt32(l.f);
      l.kind = kind::kFloat;
      l.text = TEvalResult::kTextFromFloat;
      return true;
    default: return ApplyOther(op, l, r);
  }
  l.f = truth ? 1.0 : 0.0;
  l.i = truth ? 1 : 0;
  l.kind = kind::kInt;
  l.text = TEvalResult::kTextFromFloat;
  return true;
}

bool ApplyOther(Op op, FastValue& l, const FastValue& r) {
  double f;
  uint8_t k;
  int32_t error = 0;
  if (!ApplyNumeric(op, l.f, r.f, f, k, error)) return false;
  l.f = f;
  l.i = TruncToInt32(f);
  l.kind = k;
  l.text = TEvalResult::kTextFromFloat;
  return true;
}

bool ComputeSteps(const FastProgram& p, FastValue& result);

// Runs a program into result without touching the evaluator's state.
bool Compute(const FastProgram& p, FastValue& result) {
  switch (p.shape) {
    case FastProgram::Shape::Operand:
      return LoadOperand(p.steps[0], result);
    case FastProgram::Shape::Pair: {
      FastValue r;
      return LoadOperand(p.steps[0], result) && LoadOperand(p.steps[1], r) &&
             ApplyBinary(p.steps[2].op, result, r);
    }
    case FastProgram::Shape::Steps:
      break;
  }
  return ComputeSteps(p, result);
}

bool ComputeSteps(const FastProgram& p, FastValue& result) {
  FastValue stack[kOpStackSize + 2];
  int top = 0;
  for (const FastStep& s : p.steps) {
    switch (s.kind) {
      case FastStep::Element:
        if (!LoadFastElement(s, stack[top++])) return false;
        break;
      case FastStep::Call:
        if (!CallFast(s.function, stack[top - 1])) return false;
        break;
      case FastStep::Text:
        if (!ComputeNumberCall(*s.textCall, stack[top++])) return false;
        break;
      case FastStep::Compare:
        if (!ComputeTextComparison(*s.comparison, stack[top++])) return false;
        break;
      case FastStep::Var:
      case FastStep::Literal:
        if (!LoadOperand(s, stack[top++])) return false;
        break;
      case FastStep::SysVar: {
        // As ReadSystemVariable reads it; anything but a whole number goes
        // back to the general path (the handlers listed only read).
        TEvalResult r;
        r.ResultKind = KindOfChar(s.name[0]);
        s.sysvar->handler(r);
        if (r.ResultKind != kind::kInt && r.ResultKind != kind::kLong) return false;
        FastValue& v = stack[top++];
        v.i = r.IntValue;
        v.f = r.FloatValue == 0 ? r.IntValue : r.FloatValue;
        v.kind = r.ResultKind;
        v.text = TEvalResult::kTextFromInt;
        break;
      }
      case FastStep::Negate: {
        FastValue& v = stack[top - 1];
        v.i = WrapNeg(v.i);
        v.f = -v.f;
        break;
      }
      case FastStep::Binary:
        if (!ApplyBinary(s.op, stack[top - 2], stack[top - 1])) return false;
        --top;
        break;
    }
  }
  result = stack[0];
  return true;
}

// The general path gives a negated operand the text "-" in front of the
// operand's own text. That is the result's own text form only for a whole
// number that was positive, in digits at least as wide as NUMWIDTH (a
// narrower field pads the digits before the sign is put in front); any
// other value is left to the general path.
bool NegatedTextAgrees(const FastValue& v) {
  if (v.text != TEvalResult::kTextFromInt || v.i >= 0 || v.i == INT32_MIN) return false;
  int32_t digits = 0;
  for (int32_t n = -v.i; n > 0; n /= 10) ++digits;
  return gSettings.NumWidth <= digits;
}

// A program that reads no variable leaves the last name as it was.
[[gnu::always_inline]] inline void NoteLastVariable(const std::string& last) {
  if (!last.empty()) gEval.NoteLastVarName(last);
}

// Where the general path would refuse to read an argument of this reach:
// the nesting limit or a full operator stack (reported as 255).
bool BeyondLimits(const ProgramReach& reach) {
  return gEval.depth + reach.depth + 1 > kMaxEvalDepth || gOps.top + reach.pending >= kOpStackSize;
}

// Runs a program into the result; false (nothing changed) when the general
// path must run. The cursor is the caller's to move.
bool ComputeResult(const FastProgram& p, bool makeText) {
  if (BeyondLimits(ReachOf(p))) return false;
  FastValue v;
  if (!Compute(p, v)) return false;
  if (p.negatedResult && !NegatedTextAgrees(v)) return false;
  gRes.Reset();
  gRes.FloatValue = v.f;
  gRes.IntValue = v.i;
  gRes.ResultKind = v.kind;
  gRes.PendingText = v.text;
  if (makeText || p.eagerText) MaterializeText(gRes);
  NoteLastVariable(p.lastVar);
  gEval.failed = false;
  ++gFastRuns;
  return true;
}

// The same for a string program.
bool ComputeTextResult(const TextProgram& p) {
  if (BeyondLimits(ReachOf(p))) return false;
  static std::string made;  // its buffer goes to the result and comes back
  int32_t i = 0;
  double f = 0.0;
  if (!ComputeText(p, made, true, i, f)) return false;
  gRes.Reset();
  gRes.StrValue.swap(made);
  gRes.IntValue = i;
  gRes.FloatValue = f;
  gRes.ResultKind = kind::kString;
  NoteLastVariable(LastVariableOf(p));
  gEval.failed = false;
  ++gFastRuns;
  return true;
}

// Where the general path ends an argument read with the terminator term
// ('p', as procedure calls read theirs, or ',' and ')', as functions read
// theirs): the first top-level "," or, for ',' and ')', ";" or ")"; npos
// when the argument runs to the end. A precompiled program holds no
// second top-level operand, so the general path reads the same operands
// and operators and stops there (at a separator; see FindFastArgument for
// a ")" read with ',').
size_t ArgumentEnd(std::string_view rest, char term) {
  return term == 'p' ? FindTopLevel(rest, ',') : FindTopLevelOf(rest, ",;)");
}

// The number program of an argument's text, else its string program (no
// lone literal: the general path reads that, as Evaluate tells it apart);
// false for neither.
bool ProgramsFor(std::string_view argument, std::shared_ptr<const FastProgram>& number,
                 std::shared_ptr<const TextProgram>& text) {
  number = FastProgramFor(argument);
  if (number) return true;
  text = TextProgramFor(argument);
  if (text && IsLiteralOnly(*text)) text.reset();
  return text != nullptr;
}

// Where the argument at the cursor takes a precompiled path, its program
// (a number or a string program) and the cursor and separator after it
// (FinishArgument's step past a closing ")" included); false for the
// general path. Reads only the text.
bool FindFastArgument(char term, FastArgumentAt& out) {
  const std::string_view rest = std::string_view(gEval.text).substr(gEval.pos);
  const size_t end = ArgumentEnd(rest, term);
  // A ")" that closes nothing, read with ',', is taken into the general
  // path's operand: left to it.
  if (end != std::string_view::npos && rest[end] == ')' && term != ')') return false;
  const std::string_view argument = rest.substr(0, end);
  if (!CutsAlike(argument) || !ProgramsFor(argument, out.program, out.text)) return false;
  out.sep = end == std::string_view::npos ? ' ' : rest[end];
  out.end = end == std::string_view::npos ? gEval.text.size() : gEval.pos + end + 1;
  return true;
}

// Runs a found argument: the result, then the cursor as the general path
// leaves it.
bool RunFastArgumentAt(const FastArgumentAt& a, char term, bool makeText, size_t base = 0) {
  if (a.program ? !ComputeResult(*a.program, makeText) : !ComputeTextResult(*a.text)) return false;
  gEval.lastSep = a.sep;
  gEval.pos = base + a.end;
  FinishArgument(term);
  return true;
}

// What FindFastArgument finds at a cursor, kept with the text (a
// function's or a statement's argument list is read again on every run):
// the argument's program and end, or none where the general path reads it.
// (Running a program reads no argument: the kept answer stays in place
// meanwhile.)
struct FoundArgument {
  bool fast = false;
  FastArgumentAt at;
};

const FastArgumentAt* FastArgumentHere(char term) {
  static TextAnswers<FoundArgument> found;
  const FoundArgument& f = found.At(term, [term](FoundArgument& out) { out.fast = FindFastArgument(term, out.at); });
  return f.fast ? &f.at : nullptr;
}

// Whether a result of a number or a string program is what the general
// path gives for the expected kind, with no report of a kind that does not
// fit. (A number program read as a list item is taken only where any kind
// is expected.)
bool NumberFits(char term, int expectedKind) {
  if (term == 'p') return expectedKind == 0;
  return expectedKind == 0 || (expectedKind >= kind::kInt && expectedKind <= kind::kFloat);
}
bool TextFits(int expectedKind) { return expectedKind <= 10; }

// What the rest of the text from the cursor runs as when it is read as one
// argument (terminator ' '): a number program, else a string program that
// is no lone literal, else neither. Found with one look-up per run (the
// entry stays in place while a program runs: running one reads no text).
struct WholeArgument {
  std::shared_ptr<const FastProgram> number;
  std::shared_ptr<const TextProgram> text;
};

const WholeArgument& WholeArgumentHere() {
  static TextCache<WholeArgument> kept;
  const std::string_view rest = std::string_view(gEval.text).substr(gEval.pos);
  return kept.Of(rest, [rest](WholeArgument& out) { ProgramsFor(rest, out.number, out.text); });
}

}  // namespace

namespace {

// The cursor as an argument read to the end of the text leaves it.
void AtEndOfText() {
  gEval.pos = gEval.text.size();
  gEval.endOfArgs = true;
  gEval.lastSep = ' ';
}

}  // namespace

// The program as the whole rest of the argument text.
bool RunFastChecked(const FastProgram& p, bool makeText) {
  if (!ComputeResult(p, makeText)) return false;
  AtEndOfText();
  return true;
}

bool ComputeNumber(const FastProgram& p, FastValue& result) { return Compute(p, result); }

bool ElementSlot(const std::string& array, CachedFind& found, char elementKind,
                 const std::vector<std::shared_ptr<const FastProgram>>& indices, size_t& slot) {
  return ElementSlotOf(array, found, elementKind, indices, slot);
}

// The whole rest of the text as one precompiled argument, if it is one. (It
// is no lone string literal, so Evaluate's literal flag is false.) An
// argument read up to ',', ')' or 'p' (one of a list) is read as the
// general path cuts it off; one read with ' ' runs to the end of the text.
bool TryFast(char terminator, int expectedKind, bool makeText) {
  if (!gFastEnabled || gEval.RestEmpty()) return false;
  if (terminator == 'p' || terminator == ',' || terminator == ')') {
    const FastArgumentAt* a = FastArgumentHere(terminator);
    if (a == nullptr || !(a->program ? NumberFits(terminator, expectedKind) : TextFits(expectedKind)))
      return false;
    return RunFastArgumentAt(*a, terminator, makeText);
  }
  if (terminator != ' ') return false;
  const WholeArgument& whole = WholeArgumentHere();
  if (whole.number) return NumberFits(' ', expectedKind) && RunFastChecked(*whole.number, makeText);
  if (!whole.text || !TextFits(expectedKind) || !ComputeTextResult(*whole.text)) return false;
  AtEndOfText();
  return true;
}

}  // namespace korv::evaldetail

namespace korv {

std::shared_ptr<const PrecompiledArgument> PrecompileArgument(std::string_view text) {
  return evaldetail::FastProgramFor(text);
}

bool RunPrecompiled(const PrecompiledArgument& program, bool makeText) {
  return evaldetail::RunFastChecked(program, makeText);
}

bool KeepListArgument(KeptListArgument& out) {
  return !gEval.RestEmpty() && evaldetail::FindFastArgument('p', out);
}

bool RunKeptListArgument(const KeptListArgument& argument, size_t base) {
  return evaldetail::gFastEnabled && evaldetail::RunFastArgumentAt(argument, 'p', false, base);
}

void UsePrecompiledArithmetic(bool on) { evaldetail::gFastEnabled = on; }

bool ResolvePrecompiledElement(const PrecompiledArgument& target, PrecompiledElement& out) {
  if (target.steps.size() != 1 || target.steps[0].kind != evaldetail::FastStep::Element) return false;
  const evaldetail::FastStep& s = target.steps[0];
  if (s.varKind != '%' && s.varKind != '&' && s.varKind != '!') return false;
  if (!evaldetail::FastElementSlot(s, out.slot)) return false;
  out.kind = s.varKind;
  out.array = &s.name;
  return true;
}

}  // namespace korv
