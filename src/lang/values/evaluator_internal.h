// What the general evaluator (evaluator.cpp) and the precompiled arguments
// (evaluator_precompiled.cpp, evaluator_strings.cpp) share: the operator
// stack, the cursor scope and the scanner steps. Only these files include it.
#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/text.h"
#include "values/evaluator.h"

namespace korv {
struct FunctionEntry;
}

namespace korv::evaldetail {

constexpr size_t npos = std::string::npos;

enum class Op : uint8_t {
  Ne, Le, Ge, Shl, Shr, Eq, Gt, Lt, Add, Sub, Mul, Div, IDiv, Pow, And, Or, Mod, BitAnd, BitOr
};

// One pending binary operation: the left operand and the operator.
struct TOpStack {
  double LeftFloat = 0.0;
  int32_t LeftInt = 0;
  uint8_t LeftPending = TEvalResult::kTextMade;  // LeftStr still to be made
  std::string LeftStr;
  Op op = Op::Add;
  uint8_t Prec = 0;
};

struct OperatorStack {
  std::array<TOpStack, kOpStackSize + 1> entries;  // 1..kOpStackSize used
  int top = 0;
  int base = 0;
};

extern OperatorStack gOps;
// Set when the evaluator reported an error; every enclosing evaluation then
// ends with an empty result instead of going on with a broken value.
extern bool gAborted;
extern uint32_t gFastRuns;  // arguments run as precompiled programs
extern bool gFastEnabled;   // TryFast may run them (switched off to compare)

// The outer texts of the cursor scopes, one buffer per nesting depth: each
// keeps its capacity, so entering a call or a bracket allocates nothing
// once the buffers have grown.
extern std::deque<std::string> gScopeTexts;  // a deque: growing it moves no buffer
extern size_t gScopeDepth;
void GrowScopeTexts(size_t depth);
inline std::string& ScopeText(size_t depth) {
  if (depth >= gScopeTexts.size()) GrowScopeTexts(depth);
  return gScopeTexts[depth];
}

// Runs an inner text (bracket contents, function arguments) in place of the
// remaining text and gives the outer cursor and operator base back after.
class CursorScope {
 public:
  // inner may be a part of the current text: it is copied before the
  // current text is put aside.
  explicit CursorScope(std::string_view inner)
      : pos_(gEval.pos), endOfArgs_(gEval.endOfArgs), lastSep_(gEval.lastSep),
        base_(gOps.base), top_(gOps.top) {
    std::string& buffer = ScopeText(gScopeDepth++);
    buffer.assign(inner.data(), inner.size());
    buffer.swap(gEval.text);  // the buffer keeps the outer text meanwhile
    gEval.pos = 0;
    gEval.endOfArgs = gEval.text.empty();
    gEval.lastSep = ' ';
    gOps.base = gOps.top;
  }
  ~CursorScope() {
    gEval.text.swap(ScopeText(--gScopeDepth));
    gEval.pos = pos_;
    gEval.endOfArgs = endOfArgs_;
    gEval.lastSep = lastSep_;
    gOps.top = top_;
    gOps.base = base_;
  }
  CursorScope(const CursorScope&) = delete;
  CursorScope& operator=(const CursorScope&) = delete;

 private:
  size_t pos_;
  bool endOfArgs_;
  char lastSep_;
  int base_, top_;
};

// Answers that depend only on the evaluator's text, its form (source or
// compiled), the cursor and a terminator, kept with the text: the same
// argument texts are read again on every run of their statement. Texts are
// found by hashing them, except that the text asked last at a cursor-scope
// depth is compared first (a text is asked once per operand). Make fills
// an Answer the first time; the table starts again when it is full, and
// texts longer than kMaxText are answered without keeping them.
template <class Answer>
class TextAnswers {
 public:
  template <class Make>
  const Answer& At(char term, Make make) {
    if (gEval.text.size() > kMaxText) {  // a long text is not kept (memory)
      unkept_ = Answer();
      make(unkept_);
      return unkept_;
    }
    Kept& kept = KeptOfText();
    for (const Item& item : kept.items)
      if (item.pos == gEval.pos && item.term == term) return item.answer;
    Item item{gEval.pos, term, Answer()};
    make(item.answer);
    if (kept.items.size() >= kPerText) {
      unkept_ = std::move(item.answer);
      return unkept_;
    }
    kept.items.push_back(std::move(item));
    return kept.items.back().answer;
  }

 private:
  static constexpr size_t kTexts = 1024, kDepths = 64, kPerText = 64, kMaxText = 2048;
  struct Item {
    size_t pos;
    char term;
    Answer answer;
  };
  struct Kept {
    std::vector<Item> items;
  };
  struct Last {
    Kept* kept = nullptr;
    const std::string* text = nullptr;  // its key in the table
    bool compiled = false;
    uint32_t generation = 0;
  };

  Kept& KeptOfText() {
    Last* last = gScopeDepth < kDepths ? &lasts_[gScopeDepth] : nullptr;
    if (last != nullptr && last->generation == generation_ && last->compiled == gCompiledText &&
        *last->text == gEval.text)
      return *last->kept;
    auto& table = tables_[gCompiledText ? 1 : 0];
    auto it = table.find(gEval.text);
    if (it == table.end()) {
      if (table.size() >= kTexts) {
        tables_[0].clear();
        tables_[1].clear();
        ++generation_;
      }
      it = table.emplace(gEval.text, Kept()).first;
    }
    if (last != nullptr) *last = Last{&it->second, &it->first, gCompiledText, generation_};
    return it->second;
  }

  std::unordered_map<std::string, Kept> tables_[2];  // source, compiled text
  std::array<Last, kDepths> lasts_{};
  uint32_t generation_ = 1;  // a Last of 0 is never taken
  Answer unkept_;
};

bool Terminates(char c, char term);
bool IsKindChar(char c);
uint8_t KindOfChar(char c);
void SkipBlanks();
std::string ScanOperand(char term);
bool ScanOperator(Op& op, uint8_t& prec);
bool ApplyNumeric(Op op, double l, double r, double& f, uint8_t& resultKind, int32_t& error);
bool IsCallForm(const std::string& op, size_t& paren);
// An operand as a call: IsCallForm's answer, the upper-case name before
// "(" and its built-in function (nullptr for none), as of `generation`.
struct CallShape {
  bool call = false;
  size_t paren = std::string::npos;
  std::string name;
  const FunctionEntry* function = nullptr;
  uint32_t generation = 0;
};
CallShape ShapeOfCall(const std::string& op);
bool ParseLiteral(const std::string& u, double& f);
bool EvalOperand(const std::string& raw, int expected, TParStack& ps, bool& literal);
bool EvaluateInner(TParStack& ps, char term, int expected);
// Where an argument leaves the cursor after its terminator was read.
void FinishArgument(char term);

// The whole rest of the text as one arithmetic argument, if it is one: run
// as a precompiled program (true) or left to the general path (false).
bool TryFast(char terminator, int expectedKind, bool makeText);

}  // namespace korv::evaldetail
