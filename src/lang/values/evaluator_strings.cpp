// Precompiled string arguments.
#include "values/precompiled_programs.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/code_tables.h"
#include "base/names.h"
#include "base/text.h"
#include "values/arrays.h"
#include "values/composite.h"
#include "values/evaluator_internal.h"
#include "values/functions_support.h"
#include "values/stores.h"
#include "values/string_functions.h"
#include "values/text_cache.h"

namespace korv::evaldetail {

// String arguments in loops join a few literals, string variables and
// calls of the string functions that only compute, as in
//   UPPER$(MID$(S$, I% MOD 40 + 1, 4)) + "|" + MID$(S$, 1, 2)
// Such an argument is read once with the general evaluator's scanner into
// its terms (literals, string variables, elements of string arrays, calls),
// which later evaluations compute without scanning; a function's number
// arguments are number programs. Two such texts compared, and LEN, INSTR,
// ORD and VAL of them, are operands of number programs. The general path keeps
// everything else: brackets, signs, numbers joined to texts, other
// functions. Whatever it would report (an unknown variable, a text too
// long, a nesting limit, a number argument that reports) gives the
// evaluation back to it before anything has changed.

namespace {

enum class TextFunction : uint8_t {
  Mid, Left, Right, Upper, Lower, Trim, Chr, Str, Space, Repeat, Len, Instr, Ord, Val
};

// The functions by name and the arguments their handlers read: 's' a
// string, 'n' a number. A name may take more than one form.
struct TextFunctionForm {
  std::string_view name;
  TextFunction function;
  std::string_view args;
  bool numberResult;
};

constexpr TextFunctionForm kForms[] = {
    {"MID$", TextFunction::Mid, "snn", false},     {"LEFT$", TextFunction::Left, "sn", false},
    {"RIGHT$", TextFunction::Right, "sn", false},  {"UPPER$", TextFunction::Upper, "s", false},
    {"LOWER$", TextFunction::Lower, "s", false},   {"TRIM$", TextFunction::Trim, "s", false},
    {"CHR$", TextFunction::Chr, "n", false},       {"STR$", TextFunction::Str, "n", false},
    {"SPACE$", TextFunction::Space, "n", false},   {"MKSTR$", TextFunction::Repeat, "sn", false},
    {"LEN", TextFunction::Len, "s", true},
    {"INSTR", TextFunction::Instr, "ss", true},    {"INSTR", TextFunction::Instr, "ssn", true},
    {"ORD", TextFunction::Ord, "s", true},         {"VAL", TextFunction::Val, "s", true},
};

constexpr size_t kMaxArgs = 3;

}  // namespace

struct TextCall {
  TextFunction function = TextFunction::Mid;
  size_t count = 0;
  // Each argument is a string program or a number program.
  std::shared_ptr<const TextProgram> texts[kMaxArgs];
  std::shared_ptr<const FastProgram> numbers[kMaxArgs];
  ProgramReach reach;
  std::string lastVar;
  std::string_view name;
  // The function table's generation when the function was last found
  // under its name as a function that only computes.
  mutable uint32_t generation = 0;
};

struct TextTerm {
  enum Kind : uint8_t { Literal, Var, Element, Call } kind = Literal;
  std::string text;   // a literal's text, a variable's name, an element as written (upper case)
  std::string array;  // an element's array
  mutable CachedFind found;
  std::vector<std::shared_ptr<const FastProgram>> indices;  // an element's
  ProgramReach reach;  // an element's or a call's
  std::shared_ptr<const TextCall> call;
};

struct TextProgram {
  std::vector<TextTerm> terms;
  ProgramReach reach;
  std::string lastVar;
};

struct TextComparison {
  TextProgram left, right;
  Op op = Op::Eq;
  ProgramReach reach;
  std::string lastVar;
};

namespace {

bool IsNameChar(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

// An upper-case string variable name as Load reads it.
bool PlainStringVariable(const std::string& u) {
  if (u.size() < 2 || u.back() != '$' || !((u[0] >= 'A' && u[0] <= 'Z') || u[0] == '_')) return false;
  for (size_t i = 0; i + 1 < u.size(); ++i)
    if (!IsNameChar(u[i])) return false;
  return true;
}

// The argument texts of a call (its text after "(", with the closing
// bracket) as its handler reads them: each up to a top-level ",", the last
// up to ")" with nothing but blanks after it. False for any other form.
bool SplitArguments(std::string_view args, std::vector<std::string_view>& out) {
  if (!CutsAlike(args)) return false;
  size_t start = 0;
  for (;;) {
    const size_t end = FindTopLevelOf(args, ",;)", false, start);
    if (end == std::string_view::npos || args[end] == ';' || out.size() == kMaxArgs) return false;
    out.push_back(args.substr(start, end - start));
    if (args[end] == ')') {
      for (size_t k = end + 1; k < args.size(); ++k)
        if (args[k] != ' ' && args[k] != '\t') return false;
      return true;
    }
    start = end + 1;
  }
}

void Reach(ProgramReach& into, int depth, int pending) {
  into.depth = std::max(into.depth, depth);
  into.pending = std::max(into.pending, pending);
}

void NoteLast(std::string& into, const std::string& last) {
  if (!last.empty()) into = last;
}

// A call of one of the functions above, in the form its arguments take;
// fe: the function the general path would call (nullptr for none).
std::shared_ptr<const TextCall> CompileCall(const std::string& name, const FunctionEntry* fe,
                                            std::string_view args, bool numberResult) {
  if (fe == nullptr || !fe->quiet) return nullptr;
  std::vector<std::string_view> pieces;
  if (!SplitArguments(args, pieces)) return nullptr;
  for (const TextFunctionForm& form : kForms) {
    if (form.name != name || form.numberResult != numberResult || form.args.size() != pieces.size()) continue;
    auto call = std::make_shared<TextCall>();
    call->function = form.function;
    call->name = form.name;
    call->count = pieces.size();
    call->generation = FunctionTableGeneration();
    // Each argument is an evaluation one level below the call.
    const auto take = [&call](const auto& program) {
      if (!program) return false;
      const ProgramReach r = ReachOf(*program);
      Reach(call->reach, 1 + r.depth, r.pending);
      NoteLast(call->lastVar, LastVariableOf(*program));
      return true;
    };
    for (size_t k = 0; k < pieces.size(); ++k) {
      const bool ok = form.args[k] == 's' ? take(call->texts[k] = TextProgramFor(pieces[k]))
                                          : take(call->numbers[k] = FastProgramFor(pieces[k]));
      if (!ok) return nullptr;
    }
    return call;
  }
  return nullptr;
}

// A call as a term; false for none.
bool CallTerm(std::shared_ptr<const TextCall> call, TextTerm& term) {
  if (!call) return false;
  term.kind = TextTerm::Call;
  term.reach = call->reach;
  term.call = std::move(call);
  return true;
}

// One operand as EvalOperand classifies it.
bool CompileOperand(const std::string& raw, TextTerm& term) {
  if (raw.empty()) return false;
  if (gCompiledText && raw.size() >= 2) {
    const char first = raw[0];
    const auto c = static_cast<unsigned char>(raw[1]);
    if (first == code::kFunctionMark) {
      if (c == static_cast<unsigned char>(code::kProcToken) || c == static_cast<unsigned char>(code::kMethodToken))
        return false;
      const char* name = FunctionName(c);
      if (name == nullptr) return false;
      return CallTerm(CompileCall(name, FindFunctionByCode(c), std::string_view(raw).substr(2), false), term);
    }
    const char* sysvar = SysVarName(c);
    if (IsKindChar(first) && (c == 0xFE || (sysvar != nullptr && sysvar[0] == first))) return false;
  }
  std::string op = Trim(raw);
  if (op.empty() || op[0] == '(') return false;
  if (op[0] == '@' || op.find('(') != npos) {
    const CallShape shape = ShapeOfCall(op);
    if (shape.call) {
      if (shape.paren == npos) return false;
      return CallTerm(CompileCall(shape.name, shape.function, std::string_view(op).substr(shape.paren + 1), false),
                      term);
    }
  }
  if (op.back() == ')') {
    op.pop_back();
    op = Trim(op);
  }
  if (op.size() >= 2 && op.front() == '"' && op.back() == '"') {
    term.kind = TextTerm::Literal;
    term.text = ProcessEscapes(std::string_view(op).substr(1, op.size() - 2));
    return true;
  }
  std::string u = gCompiledText ? UpperCompiled(op) : Upper(op);
  if (std::string arrayName, inside; !u.empty() && u.back() == ']' && SplitIndexed(u, arrayName, inside)) {
    if (!PlainStringVariable(arrayName) || !CompileIndices(inside, term.indices, term.reach)) return false;
    term.kind = TextTerm::Element;
    term.array = std::move(arrayName);
    term.text = std::move(u);  // the array code names the whole element
    return true;
  }
  if (!PlainStringVariable(u) || IsMemberForm(u)) return false;
  term.kind = TextTerm::Var;
  term.text = std::move(u);
  return true;
}

enum class TermsEnd : uint8_t { Failed, Level, Operator };

// Reads terms joined by "+" from the cursor the way EvaluateInner reads
// operands cut off with term: up to the end of the text or a terminator
// term (Level: the cursor before it), or up to and past another operator
// (Operator: the operator and its precedence in stop and stopPrec). Failed
// for anything else.
TermsEnd CompileTerms(char term, TextProgram& out, Op& stop, uint8_t& stopPrec) {
  TermsEnd end = TermsEnd::Level;
  for (;;) {
    SkipBlanks();
    if (gEval.RestEmpty()) return TermsEnd::Failed;
    const char sign = gEval.text[gEval.pos];
    if (sign == '-' || sign == '+') return TermsEnd::Failed;
    TextTerm t;
    if (!CompileOperand(ScanOperand(term), t)) return TermsEnd::Failed;
    if (t.kind == TextTerm::Call) NoteLast(out.lastVar, t.call->lastVar);
    else if (t.kind != TextTerm::Literal) NoteLast(out.lastVar, t.text);
    // A "+" waits on the operator stack while a later term is read.
    const int waiting = out.terms.empty() ? 0 : 1;
    Reach(out.reach, t.reach.depth, waiting + t.reach.pending);
    out.terms.push_back(std::move(t));
    SkipBlanks();
    if (gEval.RestEmpty() || gEval.text[gEval.pos] == term) break;
    Op op;
    uint8_t prec;
    if (!ScanOperator(op, prec)) return TermsEnd::Failed;
    if (op != Op::Add) {
      stop = op;
      stopPrec = prec;
      end = TermsEnd::Operator;
      break;
    }
  }
  Reach(out.reach, out.reach.depth, out.terms.size() > 1 ? 1 : 0);
  return end;
}

// The whole text at the cursor as terms joined by "+".
bool CompileText(TextProgram& out) {
  Op stop;
  uint8_t prec;
  return CompileTerms(' ', out, stop, prec) == TermsEnd::Level && gEval.RestEmpty();
}

// A comparison that binds less tightly than "+" (always so in source text;
// an operator token of compiled text carries a precedence of its own): "+"
// on either side then joins texts before they are compared.
bool IsComparison(Op op, uint8_t prec) {
  constexpr uint8_t kJoinPrecedence = 3;  // "+"
  return prec < kJoinPrecedence &&
         (op == Op::Eq || op == Op::Ne || op == Op::Lt || op == Op::Gt || op == Op::Le || op == Op::Ge);
}

TextCache<std::shared_ptr<const TextProgram>> gTextPrograms;

bool ComputeCall(const TextCall& c, std::string& into, bool forms, int32_t& i, double& f, FastValue* number);

// The stored text a variable or an element term reads; nullptr where the
// general path would report.
inline const std::string* VariableText(const TextTerm& t) {
  const int32_t v = FindCached(t.text, t.found);
  return v == 0 ? nullptr : &gStores.strs[static_cast<size_t>(v)].Value;
}

const std::string* ElementText(const TextTerm& t) {
  size_t slot;
  return ElementSlot(t.array, t.found, '$', t.indices, slot) ? &gPools.strs[slot] : nullptr;
}

// A string argument's text: the variable's own where the argument is one
// variable (nothing runs meanwhile that could change it), else made in
// holder.
bool ArgumentText(const TextProgram& p, bool forms, std::string& holder, std::string_view& text, int32_t& i,
                  double& f) {
  if (p.terms.size() == 1 && p.terms[0].kind == TextTerm::Var) {
    const std::string* value = VariableText(p.terms[0]);
    if (value == nullptr) return false;
    if (forms) TextToNumbers(*value, i, f);
    text = *value;
    return true;
  }
  if (!ComputeText(p, holder, forms, i, f)) return false;
  text = holder;
  return true;
}

// Runs a call: a text result is appended to into, a number result goes to
// *number. forms: the result's number forms are wanted (a text result
// takes them from the argument read last, as its handler leaves them).
bool ComputeCall(const TextCall& c, std::string& into, bool forms, int32_t& i, double& f, FastValue* number) {
  if (c.generation != FunctionTableGeneration()) {
    const FunctionEntry* fe = FindFunction(c.name);
    if (fe == nullptr || !fe->quiet) return false;
    c.generation = FunctionTableGeneration();
  }
  std::string holders[kMaxArgs];
  std::string_view texts[kMaxArgs];
  int32_t ints[kMaxArgs] = {0, 0, 0};
  FastValue numbers[kMaxArgs] = {};
  for (size_t k = 0; k < c.count; ++k) {
    const bool last = k + 1 == c.count;
    if (c.texts[k]) {
      double unused = 0.0;
      if (!ArgumentText(*c.texts[k], forms && last, holders[k], texts[k], ints[k], unused)) return false;
    } else {
      if (!ComputeNumber(*c.numbers[k], numbers[k])) return false;
      ints[k] = numbers[k].i;
    }
  }
  const size_t before = into.size();
  const std::string_view s = texts[0];
  int32_t result = 0;
  double real = 0.0;
  bool whole = true;  // a number result as SetInt makes it (else as VAL does)
  switch (c.function) {
    case TextFunction::Mid: into += MidPart(s, ints[1], ints[2]); break;
    case TextFunction::Left: into += LeftPart(s, ints[1]); break;
    case TextFunction::Right: into += RightPart(s, ints[1]); break;
    case TextFunction::Upper:
      into += s;
      for (size_t k = before; k < into.size(); ++k) into[k] = UpperChar(into[k]);
      break;
    case TextFunction::Lower: {
      std::string lower(s);
      LowerInPlace(lower);
      into += lower;
      break;
    }
    case TextFunction::Trim: into += TrimView(s); break;
    case TextFunction::Chr: into.push_back(static_cast<char>(ints[0] & 0xFF)); break;
    case TextFunction::Str:
      into += numbers[0].kind > kind::kLong ? FloatToText(numbers[0].f) : IntToText(numbers[0].i);
      break;
    case TextFunction::Space:
      // Longer than the longest string: the handler's report.
      if (ints[0] > 0 && static_cast<size_t>(ints[0]) > fn::kMaxBuiltString) return false;
      if (ints[0] > 0) into.append(static_cast<size_t>(ints[0]), ' ');
      break;
    case TextFunction::Repeat:
      if (ints[1] < 1 || s.empty()) break;
      if (s.size() > fn::kMaxBuiltString / static_cast<size_t>(ints[1])) return false;
      for (int32_t k = 0; k < ints[1]; ++k) into += s;
      break;
    case TextFunction::Len: result = static_cast<int32_t>(std::min<size_t>(s.size(), INT32_MAX)); break;
    case TextFunction::Instr: result = InstrPosition(s, texts[1], c.count == 3 ? ints[2] : 1); break;
    case TextFunction::Ord: result = OrdOf(s); break;
    case TextFunction::Val:
      ValueOfText(s, result, real);
      whole = false;
      break;
  }
  if (number != nullptr) {
    *number = whole ? FastValue{static_cast<double>(result), result, kind::kInt, TEvalResult::kTextFromInt}
                    : FastValue{real, result, kind::kFloat, TEvalResult::kTextFromFloat};
  } else if (forms) {
    i = ints[c.count - 1];
    f = i;
  }
  return true;
}

}  // namespace

std::shared_ptr<const TextProgram> TextProgramFor(std::string_view rest) {
  return gTextPrograms.Of(rest, [rest](std::shared_ptr<const TextProgram>& kept) {
    CompileNesting nesting;
    if (rest.empty() || !nesting.ok()) return;
    auto program = std::make_shared<TextProgram>();
    CursorScope scope{rest};
    if (CompileText(*program)) kept = std::move(program);
  });
}

ProgramReach ReachOf(const TextProgram& p) { return p.reach; }
const std::string& LastVariableOf(const TextProgram& p) { return p.lastVar; }
bool IsLiteralOnly(const TextProgram& p) { return p.terms.size() == 1 && p.terms[0].kind == TextTerm::Literal; }

bool ComputeText(const TextProgram& p, std::string& out, bool forms, int32_t& i, double& f) {
  out.clear();
  int32_t termInt = 0;
  double termFloat = 0.0;
  // A stored text onto out, with its number forms where they are wanted.
  const auto append = [&out, &termInt, &termFloat](const std::string* value, bool want) {
    if (value == nullptr) return false;
    out += *value;
    if (want) TextToNumbers(*value, termInt, termFloat);
    return true;
  };
  for (size_t k = 0; k < p.terms.size(); ++k) {
    const TextTerm& t = p.terms[k];
    const bool want = forms && k + 1 == p.terms.size();
    switch (t.kind) {
      case TextTerm::Literal:
        out += t.text;
        termInt = 0;
        termFloat = 0.0;
        break;
      case TextTerm::Var:
        if (!append(VariableText(t), want)) return false;
        break;
      case TextTerm::Element:
        if (!append(ElementText(t), want)) return false;
        break;
      case TextTerm::Call:
        if (!ComputeCall(*t.call, out, want, termInt, termFloat, nullptr)) return false;
        break;
    }
    if (out.size() > kMaxStringLength) return false;  // the general path reports 219
  }
  if (forms) {
    // A joined text takes the number forms of its last part as "+" gives
    // them: the float form, and the integer form truncated from it.
    f = termFloat;
    i = p.terms.size() == 1 ? termInt : TruncToInt32(termFloat);
  }
  return true;
}

std::shared_ptr<const TextCall> NumberCallFor(const std::string& name, std::string_view args) {
  CompileNesting nesting;
  if (!nesting.ok()) return nullptr;
  return CompileCall(name, FindFunction(name), args, true);
}

std::shared_ptr<const TextComparison> TextComparisonAt(char term) {
  CompileNesting nesting;
  if (!nesting.ok()) return nullptr;
  auto c = std::make_shared<TextComparison>();
  Op after;
  uint8_t prec = 0, afterPrec = 0;
  if (CompileTerms(term, c->left, c->op, prec) != TermsEnd::Operator || !IsComparison(c->op, prec) ||
      CompileTerms(term, c->right, after, afterPrec) != TermsEnd::Level)
    return nullptr;
  // The comparison waits on the operator stack while the right side is read.
  c->reach.depth = std::max(c->left.reach.depth, c->right.reach.depth);
  c->reach.pending = std::max(c->left.reach.pending, 1 + c->right.reach.pending);
  c->lastVar = c->left.lastVar;
  NoteLast(c->lastVar, c->right.lastVar);
  return c;
}

ProgramReach ReachOf(const TextComparison& c) { return c.reach; }
const std::string& LastVariableOf(const TextComparison& c) { return c.lastVar; }

bool ComputeTextComparison(const TextComparison& c, FastValue& result) {
  std::string left, right;  // (a side's number arguments may compare texts themselves)
  int32_t i = 0;
  double f = 0.0;
  if (!ComputeText(c.left, left, false, i, f) || !ComputeText(c.right, right, false, i, f)) return false;
  const int order = left.compare(right);  // unsigned byte order, as "+" and its kin compare
  bool truth = false;
  switch (c.op) {
    case Op::Eq: truth = order == 0; break;
    case Op::Ne: truth = order != 0; break;
    case Op::Lt: truth = order < 0; break;
    case Op::Gt: truth = order > 0; break;
    case Op::Le: truth = order <= 0; break;
    default: truth = order >= 0; break;
  }
  result = FastValue{truth ? 1.0 : 0.0, truth ? 1 : 0, kind::kInt, TEvalResult::kTextFromFloat};
  return true;
}

ProgramReach ReachOf(const TextCall& c) { return c.reach; }
bool MakesItsText(const TextCall& c) { return c.function == TextFunction::Val; }
const std::string& LastVariableOf(const TextCall& c) { return c.lastVar; }

bool ComputeNumberCall(const TextCall& c, FastValue& result) {
  std::string unused;
  int32_t i = 0;
  double f = 0.0;
  return ComputeCall(c, unused, false, i, f, &result);
}

}  // namespace korv::evaldetail
