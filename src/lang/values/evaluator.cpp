// The general expression evaluator: an operator-precedence evaluator over the
// argument text. Operands are cut out of the text by ScanOperand, binary
// operators are recognised by ScanOperator and kept on the operator stack
// until an operator of lower precedence (or the end of the argument) applies
// them. Brackets and function calls evaluate their inner text with a new
// operator-stack base.
#include "values/evaluator.h"
#include "values/evaluator_internal.h"

#include "base/pump_rhythm.h"

#include <array>
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/code_tables.h"
#include "base/text.h"
#include "base/errors.h"
#include "values/arrays.h"
#include "values/composite.h"
#include "values/def_constants.h"
#include "base/names.h"
#include "values/settings.h"
#include "values/stores.h"

namespace korv {

EvalState gEval;
TEvalResult gRes;

namespace evaldetail {


struct OperatorInfo {
  std::string_view text;
  Op op;
  uint8_t prec;
};

// In the order in which they are tried at the front of the text.
constexpr OperatorInfo kOperators[] = {
    {"<>", Op::Ne, 1},     {"<=", Op::Le, 1},    {">=", Op::Ge, 1},   {"<<", Op::Shl, 4},
    {">>", Op::Shr, 4},    {"=", Op::Eq, 2},     {">", Op::Gt, 2},    {"<", Op::Lt, 2},
    {"+", Op::Add, 3},     {"-", Op::Sub, 3},    {"*", Op::Mul, 4},   {"/", Op::Div, 4},
    {"\\", Op::IDiv, 4},   {"^", Op::Pow, 5},    {"AND ", Op::And, 4}, {"OR ", Op::Or, 3},
    {"MOD ", Op::Mod, 4},  {"& ", Op::BitAnd, 4}, {"| ", Op::BitOr, 3},
};

// Word operators end an operand only with a blank on both sides.
constexpr std::string_view kWordOperators[] = {" AND ", " & ", " OR ", " | ", " MOD "};



OperatorStack gOps;
uint32_t gFastRuns = 0;
bool gFastEnabled = true;
std::deque<std::string> gScopeTexts;
size_t gScopeDepth = 0;

void GrowScopeTexts(size_t depth) {
  while (gScopeTexts.size() <= depth) gScopeTexts.emplace_back();
}

// Set when the evaluator reported an error; every enclosing evaluation then
// ends with an empty result instead of going on with a broken value.
bool gAborted = false;


bool MatchUpper(const std::string& t, size_t at, std::string_view word) {
  if (at + word.size() > t.size()) return false;
  for (size_t k = 0; k < word.size(); ++k)
    if (UpperChar(t[at + k]) != word[k]) return false;
  return true;
}

bool IsWordOperatorAt(const std::string& t, size_t i) {
  for (std::string_view w : kWordOperators)
    if (MatchUpper(t, i, w)) return true;
  return false;
}

bool EndsOperand(char c) {
  switch (c) {
    case '*': case '-': case '/': case '+': case '\\': case '^':
    case ',': case ';': case '>': case '<': case '=': case ':':
      return true;
    default:
      return false;
  }
}

bool IsKindChar(char c) { return c == '%' || c == '&' || c == '!' || c == '$'; }

uint8_t KindOfChar(char c) {
  switch (c) {
    case '$': return kind::kString;
    case '!': return kind::kFloat;
    case '&': return kind::kLong;
    default: return kind::kInt;
  }
}

bool Terminates(char c, char term) { return c == term && term != ' ' && term != 'p'; }

void SkipBlanks() {
  // In compiled text the byte 0x15 starts an operator token, not a blank.
  while (gEval.pos < gEval.text.size() && IsBlankChar(gEval.text[gEval.pos]) &&
         !(gCompiledText && gEval.text[gEval.pos] == code::kOperatorToken))
    ++gEval.pos;
}

std::string Excerpt(const std::string& t) {
  constexpr size_t kMax = 60;
  return t.size() <= kMax ? t : t.substr(0, kMax) + "...";
}

// An error of the evaluator itself: reported, then the evaluation unwinds.
void Fail(int32_t code, const std::string& detail = std::string()) {
  RaiseError(code, detail);
  gAborted = true;
}

// Depth of nested evaluations (brackets, function arguments).
struct DepthGuard {
  DepthGuard() { ++gEval.depth; }
  ~DepthGuard() { --gEval.depth; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;
};


// ---------------------------------------------------------------------------
// Scanner

// Cuts the next operand out of the remaining text: up to a top-level
// terminator, operator character or word operator.
namespace {

size_t ScanOperandEnd(char term) {
  const std::string& t = gEval.text;
  size_t start = gEval.pos, end = t.size();
  int round = 0, square = 0;
  const bool compiled = gCompiledText;
  for (size_t i = start; i < t.size(); ++i) {
    char c = t[i];
    if (c == '"') {
      size_t q = t.find('"', i + 1);
      if (q == npos) break;
      i = q;
      continue;
    }
    if (compiled) {
      // Token bytes are never separators; an operator token ends the operand.
      const unsigned char u = static_cast<unsigned char>(c);
      if (u == 0x15 && round == 0 && square == 0) {
        end = i;
        break;
      }
      size_t token = CompiledTokenLength(t, i);
      if (token > 0) {
        if (c == '@') ++round;  // the arguments end with ")"
        i += token - 1;
        continue;
      }
      if (u == 0xFF || u == 0xFE || u == 0x14) {
        i += 4;
        continue;
      }
    }
    if (round == 0 && square == 0 &&
        (Terminates(c, term) || EndsOperand(c) || (c == ' ' && IsWordOperatorAt(t, i)))) {
      end = i;
      break;
    }
    switch (c) {
      case '(': ++round; break;
      case ')': --round; break;
      case '[': ++square; break;
      case ']': --square; break;
      default: break;
    }
  }
  return end;
}

}  // namespace

// Where an operand ends is kept with the text (the operands of a statement
// are cut out again on every run).
std::string ScanOperand(char term) {
  static TextAnswers<size_t> ends;
  const size_t start = gEval.pos;
  const size_t end = ends.At(term, [term](size_t& out) { out = ScanOperandEnd(term); });
  gEval.pos = end;
  return gEval.text.substr(start, end - start);
}

// Recognises a binary operator at the front of the remaining text and moves
// past it.
bool ScanOperator(Op& op, uint8_t& prec) {
  const std::string& t = gEval.text;
  if (gCompiledText && gEval.pos + 3 < t.size() && t[gEval.pos] == code::kOperatorToken &&
      t[gEval.pos + 3] == '|') {
    // An operator token: its letter names the operator, its digit the precedence.
    static const std::pair<char, Op> kTokens[] = {
        {'A', Op::And}, {'M', Op::Mod}, {'O', Op::Or}, {'a', Op::BitAnd}, {'|', Op::BitOr},
        {'r', Op::Shr}, {'l', Op::Shl}, {'#', Op::Ne},  {'G', Op::Ge},     {'L', Op::Le},
    };
    const char letter = t[gEval.pos + 1], digit = t[gEval.pos + 2];
    for (const auto& [l, o] : kTokens) {
      if (l != letter) continue;
      if (digit < '1' || digit > '5') return false;
      op = o;
      prec = static_cast<uint8_t>(digit - '0');
      gEval.pos += 4;
      return true;
    }
    return false;
  }
  if (gEval.pos >= t.size()) return false;
  const char first = UpperChar(t[gEval.pos]);  // most operators differ in it
  for (const OperatorInfo& o : kOperators) {
    if (o.text[0] == first && MatchUpper(gEval.text, gEval.pos, o.text)) {
      gEval.pos += o.text.size();
      op = o.op;
      prec = o.prec;
      return true;
    }
  }
  return false;
}

// Moves past the rest of an argument that failed: up to and including the
// next top-level terminator, "," or ";".
void SkipArgument(char term) {
  const std::string& t = gEval.text;
  int round = 0, square = 0;
  for (size_t i = gEval.pos; i < t.size(); ++i) {
    char c = t[i];
    if (c == '"') {
      size_t q = t.find('"', i + 1);
      if (q == npos) break;
      i = q;
      continue;
    }
    if (gCompiledText) {
      size_t token = CompiledTokenLength(t, i);
      if (token > 0) {
        if (c == '@') ++round;
        i += token - 1;
        continue;
      }
      const unsigned char u = static_cast<unsigned char>(c);
      if (u == 0xFF || u == 0xFE || u == 0x14) {
        i += 4;
        continue;
      }
    }
    if (round == 0 && square == 0 && (Terminates(c, term) || c == ',' || c == ';')) {
      gEval.lastSep = c;
      gEval.pos = i + 1;
      return;
    }
    switch (c) {
      case '(': ++round; break;
      case ')': --round; break;
      case '[': ++square; break;
      case ']': --square; break;
      default: break;
    }
  }
  gEval.pos = t.size();
}

// ---------------------------------------------------------------------------
// Operators

bool CompareResult(Op op, int c) {
  switch (op) {
    case Op::Ne: return c != 0;
    case Op::Le: return c <= 0;
    case Op::Ge: return c >= 0;
    case Op::Eq: return c == 0;
    case Op::Gt: return c > 0;
    default: return c < 0;
  }
}

bool CompareFloats(Op op, double l, double r) {
  switch (op) {
    case Op::Ne: return l != r;
    case Op::Le: return l <= r;
    case Op::Ge: return l >= r;
    case Op::Eq: return l == r;
    case Op::Gt: return l > r;
    default: return l < r;
  }
}

// An operator on the float forms of its operands: the result and its kind,
// or false with the error number (200, 201).
bool ApplyNumeric(Op op, double l, double r, double& f, uint8_t& resultKind, int32_t& error) {
  resultKind = kind::kInt;
  switch (op) {
    case Op::Ne: case Op::Le: case Op::Ge: case Op::Eq: case Op::Gt: case Op::Lt:
      f = CompareFloats(op, l, r) ? 1.0 : 0.0;
      return true;
    case Op::Add: f = l + r; resultKind = kind::kFloat; return true;
    case Op::Sub: f = l - r; resultKind = kind::kFloat; return true;
    case Op::Mul: f = l * r; resultKind = kind::kFloat; return true;
    case Op::Div:
      if (r == 0) {
        error = 201;
        return false;
      }
      f = l / r;
      resultKind = kind::kFloat;
      return true;
    case Op::IDiv:
    case Op::Mod: {
      int32_t a = TruncToInt32(l), b = TruncToInt32(r);
      if (r == 0 || b == 0) {
        error = 201;
        return false;
      }
      int32_t q;
      if (b == -1) {
        q = op == Op::IDiv ? WrapNeg(a) : 0;  // INT_MIN \ -1 stays INT_MIN
      } else {
        q = op == Op::IDiv ? a / b : a % b;
      }
      f = q;
      resultKind = op == Op::IDiv ? kind::kInt : kind::kFloat;
      return true;
    }
    case Op::Pow:
      if (!(l > 0)) {
        error = 200;
        return false;
      }
      // exp(ln(l) * r), computed without the rounding loss of the two steps
      // so that whole powers come out exact (2 ^ 6 is 64, not 63.999...).
      f = std::pow(l, r);
      resultKind = kind::kFloat;
      return true;
    case Op::And: f = (l != 0 && r != 0) ? 1.0 : 0.0; return true;
    case Op::Or: f = (l != 0 || r != 0) ? 1.0 : 0.0; return true;
    case Op::BitAnd:
    case Op::BitOr:
    case Op::Shl:
    case Op::Shr: {
      auto a = static_cast<uint32_t>(TruncToInt32(l));
      auto b = static_cast<uint32_t>(TruncToInt32(r));
      uint32_t v = op == Op::BitAnd ? (a & b)
                   : op == Op::BitOr ? (a | b)
                   : op == Op::Shl   ? (a << (b & 31))
                                     : (a >> (b & 31));
      f = static_cast<int32_t>(v);
      return true;
    }
  }
  return true;
}

// Applies the top entry to the current result (the right operand).
bool ApplyTop() {
  TOpStack& e = gOps.entries[gOps.top];
  const double l = e.LeftFloat, r = gRes.FloatValue;
  const bool stringRight = gRes.ResultKind == kind::kString;
  if (stringRight && e.LeftPending != TEvalResult::kTextMade) {
    TEvalResult left;
    left.IntValue = e.LeftInt;
    left.FloatValue = l;
    left.PendingText = e.LeftPending;
    MaterializeText(left);
    e.LeftStr = std::move(left.StrValue);
    e.LeftPending = TEvalResult::kTextMade;
  }
  double f = 0.0;
  uint8_t resultKind = kind::kInt;
  bool stringResult = false;
  const bool comparison = e.op == Op::Ne || e.op == Op::Le || e.op == Op::Ge || e.op == Op::Eq ||
                          e.op == Op::Gt || e.op == Op::Lt;
  if (stringRight && comparison) {
    int c = e.LeftStr.compare(gRes.StrValue);  // unsigned byte order
    f = CompareResult(e.op, c < 0 ? -1 : (c > 0 ? 1 : 0)) ? 1.0 : 0.0;
  } else if (stringRight && e.op == Op::Add) {
    if (e.LeftStr.size() > kMaxStringLength - gRes.StrValue.size()) {
      Fail(219);
      return false;
    }
    gRes.StrValue.insert(0, e.LeftStr);
    f = r;
    stringResult = true;
    resultKind = kind::kString;
  } else {
    int32_t error = 0;
    if (!ApplyNumeric(e.op, l, r, f, resultKind, error)) {
      Fail(error);
      return false;
    }
  }
  gRes.FloatValue = f;
  gRes.IntValue = TruncToInt32(f);
  if (!stringResult) {
    gRes.StrValue.clear();
    gRes.PendingText = TEvalResult::kTextFromFloat;  // made from the float form
  }
  gRes.ResultKind = resultKind;
  gRes.AreaKind = ' ';
  gRes.AreaSize = 0;
  gRes.AreaStruct = 0;
  e.LeftStr.clear();
  --gOps.top;
  return true;
}

bool Push(Op op, uint8_t prec) {
  if (gOps.top >= kOpStackSize) {
    Fail(255, Excerpt(gEval.text));
    return false;
  }
  TOpStack& e = gOps.entries[++gOps.top];
  e.LeftFloat = gRes.FloatValue;
  e.LeftInt = gRes.IntValue;
  e.LeftPending = gRes.PendingText;
  if (e.LeftPending == TEvalResult::kTextMade) e.LeftStr = gRes.StrValue;
  e.op = op;
  e.Prec = prec;
  return true;
}

// ---------------------------------------------------------------------------
// Operands

bool EvaluateInner(TParStack& ps, char term, int expected);

bool SubEvaluate(std::string_view inner, int expected, TParStack& ps, bool& literal) {
  CursorScope scope(inner);
  literal = Evaluate(ps, ')', expected);
  return !gAborted;
}

// A call: "NAME(" after a name without operator characters, or "@NAME(".
// Index and member chains after "#" ("A#[2].M(") do not break the name.
bool IsCallForm(const std::string& op, size_t& paren) {
  paren = npos;
  if (op[0] == '@') {
    paren = op.find('(');
    return true;
  }
  // The name before "(", its blanks at both ends left out, may hold no
  // breaker: a blank breaks it only between other characters. (Read in
  // place: every operand of the general path asks.)
  bool named = false, blankAfterName = false;
  for (size_t i = 0; i < op.size(); ++i) {
    char c = op[i];
    if (c == '(') {
      paren = i;
      break;
    }
    const auto u = static_cast<unsigned char>(c);
    if (IsBlankChar(c)) {
      blankAfterName = blankAfterName || (named && IsCallBreaker(u));
    } else {
      if (blankAfterName || IsCallBreaker(u)) return false;
      named = true;
    }
    if (c == '#' && i + 1 < op.size() && op[i + 1] == '[') {
      int square = 0;
      size_t k = i + 1;
      for (; k < op.size(); ++k) {
        if (op[k] == '[') ++square;
        if (op[k] == ']' && --square == 0) break;
      }
      if (k >= op.size()) return false;
      i = k;
    }
  }
  return paren != npos && paren != 0 && named;
}

// fe: the built-in function of that name (FindFunction), or nullptr.
bool CallFunctionFound(const FunctionEntry* fe, const std::string& name, std::string_view args, TParStack& ps) {
  CursorScope scope(args);
  if (fe && fe->handler) {
    if (!fe->quiet) NoteOutsideWork();
    fe->handler(ps);
    return !gAborted;
  }
  if (IsMemberForm(name)) {
    if (!CallMemberFunction(name, ps)) gAborted = true;
    return !gAborted;
  }
  if (UserFunctionCaller caller = GetUserFunctionCaller()) {
    // Reports inside the procedure belong to its own statements.
    bool before = gAborted;
    bool found = caller(name, ps);
    gAborted = before;
    if (found) return true;
  }
  Fail(101, name);
  return false;
}

bool CallFunction(const std::string& name, std::string_view args, TParStack& ps) {
  return CallFunctionFound(FindFunction(name), name, args, ps);
}

// Loops read the same call operands again and again: what IsCallForm and
// FindFunction answer for an operand text is kept with the text (the
// function's entry only while the function table's generation holds).
// Returned as a copy: a call may evaluate further operands meanwhile.
CallShape ShapeOfCall(const std::string& op) {
  static std::unordered_map<std::string, CallShape> known;
  constexpr size_t kMaxKnown = 4096, kMaxKeptText = 256;
  const uint32_t generation = FunctionTableGeneration();
  if (auto it = known.find(op); it != known.end()) {
    CallShape& kept = it->second;
    if (kept.generation != generation) {
      kept.function = kept.call && kept.paren != npos ? FindFunction(kept.name) : nullptr;
      kept.generation = generation;
    }
    return kept;
  }
  CallShape shape;
  shape.call = IsCallForm(op, shape.paren);
  if (shape.call && shape.paren != npos) {
    const size_t from = op[0] == '@' ? 1 : 0;
    shape.name = Upper(Trim(std::string_view(op).substr(from, shape.paren - from)));
    shape.function = FindFunction(shape.name);
  }
  shape.generation = generation;
  if (op.size() <= kMaxKeptText) {
    if (known.size() >= kMaxKnown) known.clear();
    known.emplace(op, shape);
  }
  return shape;
}

// Number literals repeat in every pass of a loop: their values are kept
// (only those that parsed; the table is emptied when it grows large).
bool ParseLiteral(const std::string& u, double& f) {
  static std::unordered_map<std::string, double> known;
  constexpr size_t kMaxKnown = 4096;
  auto it = known.find(u);
  if (it != known.end()) {
    f = it->second;
    return true;
  }
  if (!ParseRealText(u, f)) return false;
  if (known.size() >= kMaxKnown) known.clear();
  known.emplace(u, f);
  return true;
}

bool ReadNumberLiteral(const std::string& u) {
  double f;
  if (!ParseLiteral(u, f)) {
    RaiseWarning(214, u);
    gRes.StrValue = u;
    gRes.ResultKind = kind::kString;
    return true;
  }
  gRes.FloatValue = f;
  gRes.IntValue = TruncToInt32(f);
  if (u.find('.') == npos) {
    gRes.ResultKind = kind::kLong;
    gRes.PendingText = TEvalResult::kTextFromInt;
  } else {
    gRes.ResultKind = kind::kFloat;
    gRes.PendingText = TEvalResult::kTextFromFloat;
  }
  return true;
}

SlotCallHook gSlotCaller = nullptr;

// A call of the procedure whose header is at slot ("@" 0x14 slot args).
bool CallProcedureToken(int32_t slot, std::string_view args, TParStack& ps) {
  if (gSlotCaller == nullptr) {
    Fail(111);
    return false;
  }
  CursorScope scope(args);
  // Reports inside the procedure belong to its own statements.
  bool before = gAborted;
  bool called = gSlotCaller(slot, ps);
  gAborted = before;
  if (!called) gAborted = true;  // the caller has reported why
  return called;
}

// FunctionName(code) as a string, made once (the names of the codes do not
// change): a compiled call needs no string built per run. nullptr for a
// code without a name.
const std::string* CodedFunctionName(int code) {
  static const std::array<std::string, 256> names = [] {
    std::array<std::string, 256> t;
    for (int c = 1; c < 256; ++c)
      if (const char* name = FunctionName(c)) t[static_cast<size_t>(c)] = name;
    return t;
  }();
  if (code <= 0 || code >= 256) return nullptr;
  const std::string& name = names[static_cast<size_t>(code)];
  return name.empty() ? nullptr : &name;
}

// The tokens of compiled arguments: functions, procedure and method calls by
// "@", system variables and DEF constants by their sigil. handled is false
// when op starts with no token.
bool EvalCompiledToken(const std::string& op, TParStack& ps, bool& handled) {
  handled = true;
  const char first = op[0];
  if (first == code::kFunctionMark && op.size() >= 2) {
    const char c = op[1];
    if (c == code::kProcToken) {
      if (op.size() < 6) {
        Fail(213);
        return false;
      }
      return CallProcedureToken(GetLe32(op, 2), std::string_view(op).substr(6), ps);
    }
    if (c == code::kMethodToken) {
      size_t colon = FindTopLevel(op, ':', true, 2);
      std::string name = UpperCompiled(Trim(std::string_view(op).substr(2, colon == npos ? npos : colon - 2)));
      return CallFunction(name, colon == npos ? std::string_view() : std::string_view(op).substr(colon + 1), ps);
    }
    const int fn = static_cast<unsigned char>(c);
    const std::string* name = CodedFunctionName(fn);
    if (name == nullptr) {
      Fail(101, "@" + ToDecimal(fn));
      return false;
    }
    return CallFunctionFound(FindFunctionByCode(fn), *name, std::string_view(op).substr(2), ps);
  }
  if (IsKindChar(first) && op.size() >= 2) {
    const auto c = static_cast<unsigned char>(op[1]);
    const char* sysvar = SysVarName(c);
    const bool def = c == 0xFE && op.size() >= 6;
    if (def || (sysvar != nullptr && sysvar[0] == first)) {
      std::string rest = Trim(std::string_view(op).substr(def ? 6 : 2));
      if (rest.empty() || rest == ")") {
        if (!def) return ReadSystemVariable(sysvar);
        gEval.lastVarName = std::string(1, first);
        gRes.ResultKind = KindOfChar(first);
        if (!ReadDefLine(GetLe32(op, 2), gRes)) {
          Fail(100, std::string(1, first));
          return false;
        }
        return true;
      }
    }
  }
  handled = false;
  return true;
}

// Classifies and evaluates one operand into gRes; false after an error.
bool EvalOperand(const std::string& raw, int expected, TParStack& ps, bool& literal) {
  literal = false;
  if (gCompiledText && !raw.empty()) {
    bool handled = false;
    bool ok = EvalCompiledToken(raw, ps, handled);
    if (handled) return ok;
  }
  std::string op = Trim(raw);
  if (op.empty()) return true;
  if (op == "()") {
    gEval.pos = gEval.text.size();  // ends the whole expression
    return true;
  }
  if (op[0] == '(') return SubEvaluate(std::string_view(op).substr(1), expected, ps, literal);
  // Only "@..." and an operand holding "(" can be a call.
  if (op[0] == '@' || op.find('(') != npos) {
    const CallShape shape = ShapeOfCall(op);
    if (shape.call) {
      if (shape.paren == npos) {
        Fail(213);
        return false;
      }
      return CallFunctionFound(shape.function, shape.name, std::string_view(op).substr(shape.paren + 1), ps);
    }
  }
  if (op.back() == ')') {
    op.pop_back();  // the closing bracket of an enclosing argument list
    op = Trim(op);
  }
  if (op.size() >= 2 && op.front() == '"' && op.back() == '"') {
    gRes.StrValue = ProcessEscapes(std::string_view(op).substr(1, op.size() - 2));
    gRes.ResultKind = kind::kString;
    literal = true;
    return true;
  }
  std::string u = gCompiledText ? UpperCompiled(op) : Upper(op);
  if (u.empty()) return true;
  const char first = u.front(), last = u.back();
  if (IsKindChar(first)) return ReadSystemVariable(u);
  if (last == ']') return ReadArrayOperand(u, expected, ps);
  if (last == '#') return IsMemberForm(u) ? ReadMemberOperand(u, expected, ps) : Load(u, expected);
  if (IsKindChar(last)) {
    gRes.ResultKind = KindOfChar(last);
    if (IsMemberForm(u)) return ReadMemberOperand(u, expected, ps);
    return Load(u, expected);
  }
  return ReadNumberLiteral(u);
}

// After a failure: drops this argument's operators, empties the result and
// moves past the rest of the argument unless its terminator was read.
void Unwind(int base, char term, bool argumentRead) {
  while (gOps.top > base) gOps.entries[gOps.top--].LeftStr.clear();
  gRes.Reset();
  if (!argumentRead) SkipArgument(term);
}

void FinishArgument(char term) {
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  std::string_view rest = std::string_view(gEval.text).substr(p);
  if (rest == ")" || rest == "()") gEval.pos = gEval.text.size();
  if (gEval.RestEmpty() && term != 'p') {
    gEval.endOfArgs = true;
    if (gEval.lastSep != ',' && gEval.lastSep != ';') gEval.lastSep = ' ';
  }
}

// One argument: operands and operators up to the terminator.
bool EvaluateInner(TParStack& ps, char term, int expected) {
  gRes.Reset();
  gEval.lastSep = ' ';
  const int base = gOps.base;
  if (gEval.depth > kMaxEvalDepth) {
    Fail(255, Excerpt(gEval.text));
    Unwind(base, term, false);
    FinishArgument(term);
    return false;
  }
  bool literal = false;
  int operands = 0;
  bool argumentRead = false;
  for (;;) {
    gRes.Reset();
    SkipBlanks();
    if (term != 'p' && (gEval.RestEmpty() || gEval.text[gEval.pos] == term)) {
      Fail(212);
      Unwind(base, term, false);
      FinishArgument(term);
      return false;
    }
    bool negate = false;
    if (!gEval.RestEmpty() && (gEval.text[gEval.pos] == '-' || gEval.text[gEval.pos] == '+')) {
      negate = gEval.text[gEval.pos] == '-';
      ++gEval.pos;
      SkipBlanks();
    }
    std::string operand = ScanOperand(term);
    bool isLiteral = false;
    if (!EvalOperand(operand, expected, ps, isLiteral) || gAborted) {
      gAborted = true;
      Unwind(base, term, false);
      FinishArgument(term);
      return false;
    }
    if (operands++ == 0) literal = isLiteral;
    if (negate) {
      MaterializeText(gRes);
      gRes.IntValue = WrapNeg(gRes.IntValue);
      gRes.FloatValue = -gRes.FloatValue;
      gRes.StrValue.insert(0, 1, '-');
    }
    const int rk = gRes.ResultKind;
    if ((expected == kind::kString && rk != kind::kString) ||
        ((expected > 10 || rk > 10) && expected != rk)) {
      Fail(216, gEval.lastVarName);
      Unwind(base, term, false);
      FinishArgument(term);
      return false;
    }
    SkipBlanks();
    if (gEval.RestEmpty()) break;
    char c = gEval.text[gEval.pos];
    if (Terminates(c, term) || c == ',' || c == ';') {
      gEval.lastSep = c;
      ++gEval.pos;
      argumentRead = true;
      break;
    }
    Op op;
    uint8_t prec;
    if (!ScanOperator(op, prec)) break;
    bool ok = true;
    while (ok && gOps.top > base && gOps.entries[gOps.top].Prec >= prec) ok = ApplyTop();
    if (!ok || !Push(op, prec)) {
      Unwind(base, term, false);
      FinishArgument(term);
      return false;
    }
  }
  while (gOps.top > base) {
    if (!ApplyTop()) {
      Unwind(base, term, argumentRead);
      FinishArgument(term);
      return false;
    }
  }
  FinishArgument(term);
  return literal && operands == 1;
}

}  // namespace evaldetail

using namespace evaldetail;

// ---------------------------------------------------------------------------

void ResetEvaluator() {
  gEval = EvalState();
  gRes.Reset();
  for (TOpStack& e : gOps.entries) e = TOpStack();
  gOps.top = 0;
  gOps.base = 0;
  gAborted = false;
}

int PendingOperations() { return gOps.top; }

OperationMark MarkOperations() { return OperationMark{gOps.top, gOps.base, gAborted}; }

void RestoreOperations(const OperationMark& mark) {
  while (gOps.top > mark.top) gOps.entries[gOps.top--].LeftStr.clear();
  gOps.top = mark.top;
  gOps.base = mark.base;
  gAborted = mark.aborted;
  gRes.Reset();
}

uint32_t PrecompiledRuns() { return gFastRuns; }

void SetProcedureSlotCaller(SlotCallHook hook) { gSlotCaller = hook; }

namespace {

bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsNameRest(char c) { return IsNameStart(c) || (c >= '0' && c <= '9'); }

// A blank the operand scanner passes over as part of the operand (compiled
// text gives the other low bytes meanings of their own).
bool IsPlainBlank(char c) { return gCompiledText ? c == ' ' || c == '\t' : IsBlankChar(c); }

// Where a single operand ending at `at` (its blanks after it included)
// ends the argument as the general path ends it: at the end of the text,
// at "," or ";", or at the terminator ")". npos for anything else.
size_t SingleOperandEnd(const std::string& t, size_t at, char term) {
  while (at < t.size() && IsPlainBlank(t[at])) ++at;
  if (at == t.size()) return at;
  const char c = t[at];
  return c == ',' || c == ';' || (c == ')' && term == ')') ? at : npos;
}

// Most string arguments are one string variable or one string literal
// (function arguments, PRINT items, assignments): such an argument is read
// as EvaluateInner reads it, without scanning and classifying the operand.
// False, with nothing changed, for any other argument or where the general
// path would report (an unknown variable, the nesting limit, a kind that
// does not fit); literal tells Evaluate's literal flag.
bool TryStringOperand(char term, int expected, bool& literal) {
  if (!gFastEnabled || expected > 10 || gEval.depth + 1 > kMaxEvalDepth) return false;
  const std::string& t = gEval.text;
  size_t p = gEval.pos;
  while (p < t.size() && IsBlankChar(t[p]) && !(gCompiledText && t[p] == code::kOperatorToken)) ++p;
  if (p >= t.size()) return false;
  size_t end;
  int32_t var = 0;
  static std::string name;  // upper case; Find asks for a string
  if (t[p] == '"') {
    const size_t close = t.find('"', p + 1);
    if (close == npos || (end = SingleOperandEnd(t, close + 1, term)) == npos) return false;
    gRes.Reset();
    gRes.StrValue = ProcessEscapes(std::string_view(t).substr(p + 1, close - p - 1));
    literal = true;
  } else {
    if (!IsNameStart(t[p])) return false;
    size_t q = p + 1;
    while (q < t.size() && IsNameRest(t[q])) ++q;
    if (q >= t.size() || t[q] != '$') return false;
    // In compiled text "$" and the byte after it may be a token.
    if (gCompiledText && CompiledTokenLength(t, q) != 0) return false;
    if ((end = SingleOperandEnd(t, q + 1, term)) == npos) return false;
    name.assign(t, p, q + 1 - p);
    UpperInPlace(name);
    if ((var = Find(name)) == 0) return false;
    gRes.Reset();
    gRes.StrValue = gStores.strs[var].Value;
    TextToNumbers(gRes.StrValue, gRes.IntValue, gRes.FloatValue);
    gEval.lastVarName = name;
    literal = false;
  }
  gRes.ResultKind = kind::kString;
  gEval.lastSep = ' ';
  if (end < t.size()) {
    gEval.lastSep = t[end];
    ++end;
  }
  gEval.pos = end;
  FinishArgument(term);
  gEval.failed = false;
  ++gFastRuns;
  return true;
}

// One argument; makeText false leaves the text form of a number result
// unmade (for callers that read only the number forms).
bool EvaluateArgument(TParStack& ps, char terminator, int expectedKind, bool makeText) {
  if (expectedKind == 9) expectedKind = kind::kString;
  if (TryFast(terminator, expectedKind, makeText)) return false;
  if (bool literal; TryStringOperand(terminator, expectedKind, literal)) return literal;
  DepthGuard depth;
  const bool outerAborted = gAborted;
  gAborted = false;
  // The argument's own operators start above everything pending.
  const int outerBase = gOps.base;
  gOps.base = gOps.top;
  bool literal = EvaluateInner(ps, terminator, expectedKind);
  if (makeText) MaterializeText(gRes);
  gOps.base = outerBase;
  gEval.failed = gAborted;
  gAborted = gAborted || outerAborted;
  return literal;
}

}  // namespace

bool Evaluate(TParStack& ps, char terminator, int expectedKind) {
  return EvaluateArgument(ps, terminator, expectedKind, true);
}

void EvaluateCondition(TParStack& ps) { EvaluateArgument(ps, ' ', 0, false); }

void EvaluateListArgument(TParStack& ps) { EvaluateArgument(ps, 'p', 0, false); }

void SkipArgumentBlanks() { SkipBlanks(); }

bool EvaluateNumber(TParStack& ps, char terminator, int expectedKind) {
  return EvaluateArgument(ps, terminator, expectedKind, false);
}

int32_t EvalInt(TParStack& ps, char terminator) {
  EvaluateNumber(ps, terminator, kind::kInt);
  return gRes.IntValue;
}

std::string EvalString(TParStack& ps, char terminator) {
  Evaluate(ps, terminator, 0);
  return gRes.StrValue;
}

bool ReadSystemVariable(const std::string& u) {
  gEval.lastVarName = u;
  gRes.ResultKind = KindOfChar(u.empty() ? '%' : u[0]);
  int32_t radixValue;
  if (const SysVarEntry* e = FindSysVar(u)) {
    if (!e->quiet) NoteOutsideWork();
    if (e->handler) {
      e->handler(gRes);
      MaterializeText(gRes);  // the text of this moment's number format
    }
  } else if (ParseRadixLiteral(u, radixValue)) {
    gRes.IntValue = radixValue;
    gRes.StrValue = IntToText(radixValue);
    gRes.ResultKind = kind::kLong;
  } else {
    if (DefConstantLookup def = GetDefConstantLookup(); def && def(u, gRes)) return true;
    Fail(100, u);
    return false;
  }
  if (gRes.FloatValue == 0) gRes.FloatValue = gRes.IntValue;
  return true;
}

}  // namespace korv
