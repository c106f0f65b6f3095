// The expression evaluator: consumes one argument from the front of the
// remaining argument text, up to a terminator, and leaves its value in gRes.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "values/value.h"

namespace korv {

struct EvalState {
  std::string text;     // the argument text of the current statement / call
  size_t pos = 0;       // the remaining text is text.substr(pos)
  bool endOfArgs = false;
  char lastSep = ' ';   // ' ', ',' or ';'
  std::string lastVarName;  // last variable looked up (for error 216)
  int depth = 0;        // recursion guard
  bool failed = false;  // the last Evaluate ended through an error report

  std::string Rest() const { return pos < text.size() ? text.substr(pos) : std::string(); }
  // The remaining text in place (valid until the text changes).
  std::string_view RestView() const {
    return pos < text.size() ? std::string_view(text).substr(pos) : std::string_view();
  }
  bool RestEmpty() const { return pos >= text.size(); }
  // lastVarName = name for the kept names of the precompiled paths, run
  // after run: a name of the same length (I% after K%) is written over in
  // place, without the library's general copy.
  void NoteLastVarName(const std::string& name) {
    const size_t n = name.size();
    if (lastVarName.size() != n) {
      lastVarName = name;
      return;
    }
    for (size_t k = 0; k < n; ++k) lastVarName[k] = name[k];
  }
  // Copies into the text's own buffer, which keeps its capacity from
  // statement to statement (t may be a part of text itself).
  void SetText(std::string_view t) {
    text.assign(t.data(), t.size());
    pos = 0;
    endOfArgs = text.empty();
    lastSep = ' ';
  }
};

extern EvalState gEval;
extern TEvalResult gRes;

void ResetEvaluator();

// How many arguments ran as precompiled arithmetic (for tests).
uint32_t PrecompiledRuns();

// A statement that reads the same argument text on every run can keep its
// precompiled program: nullptr when the text is no plain arithmetic.
// RunPrecompiled evaluates it as the whole argument from the cursor, as
// Evaluate would with terminator ' ' and any kind; false, with nothing
// changed, when the general path must run instead.
namespace evaldetail {
struct FastProgram;
struct TextProgram;
}
using PrecompiledArgument = evaldetail::FastProgram;
std::shared_ptr<const PrecompiledArgument> PrecompileArgument(std::string_view text);
bool RunPrecompiled(const PrecompiledArgument& program, bool makeText);
// A statement that reads the same list (terminator 'p', as procedure
// arguments and CASEOF items are read) on every run can keep what an
// argument of it that is precompiled reads: its program (a number or a
// string program) and the cursor and separator after it. KeepListArgument
// looks at the argument at the cursor without running or moving anything;
// false when it takes the general path. RunKeptListArgument then reads it from its start as
// EvaluateListArgument would; false, with nothing changed, when the
// general path must run instead.
struct KeptListArgument {
  std::shared_ptr<const PrecompiledArgument> program;
  std::shared_ptr<const evaldetail::TextProgram> text;  // where program is none
  size_t end = 0;
  char sep = ' ';
};
bool KeepListArgument(KeptListArgument& out);
// base: added to the kept cursor (for a list kept by the text from base on).
bool RunKeptListArgument(const KeptListArgument& argument, size_t base = 0);
// Off, every argument takes the general path (to compare the two); kept
// programs run by RunPrecompiled are not affected.
void UsePrecompiledArithmetic(bool on);
// A precompiled text that is one element of a number array ("A%[i% + 1]"):
// its pool slot (gPools.ints, lngs or sngs by kind) and array name, found
// as ResolveElement finds them; false, with nothing changed, for any other
// text or where resolving would report.
struct PrecompiledElement {
  char kind = '%';
  size_t slot = 0;
  const std::string* array = nullptr;
};
bool ResolvePrecompiledElement(const PrecompiledArgument& target, PrecompiledElement& out);

// Evaluates one argument. terminator: ',' ')' ' ' or 'p' (list mode).
// expectedKind: 0 any, 1 string (9 = 1), 2/10 informative, 11 address of a
// %/& variable, 20 whole array. Returns true when the argument was a quoted
// string literal. After an error report that returned, the argument ends
// with an empty result (0, "", kind 0), the rest of the argument up to its
// terminator is skipped and gEval.failed is set.
bool Evaluate(TParStack& ps, char terminator, int expectedKind = 0);
// Evaluate(ps, ' ', 0) for a condition or a number assignment: only the
// number forms of the result are made (its text stays pending, see
// TEvalResult::PendingText).
void EvaluateCondition(TParStack& ps);
// Evaluate(ps, 'p', 0) for an argument of a procedure call: a number's text
// form stays pending as in EvaluateCondition.
void EvaluateListArgument(TParStack& ps);
// Moves the cursor past blanks as the evaluator does between the parts of
// an argument (in compiled text the byte that starts an operator token is
// no blank).
void SkipArgumentBlanks();
// Evaluate for a reader of the number forms only: the text form of a number
// stays pending as in EvaluateCondition.
bool EvaluateNumber(TParStack& ps, char terminator, int expectedKind);

// Convenience wrappers used by statement handlers: Evaluate with any kind
// accepted (EvalInt passes the informative kind 2), then one form of gRes.
int32_t EvalInt(TParStack& ps, char terminator);
std::string EvalString(TParStack& ps, char terminator);

// Number-to-text and text-to-number rules shared by the stores and PRINT.
std::string IntToText(int32_t v);      // decimal, right-aligned in NUMWIDTH
std::string FloatToText(double v);     // fixed point, DECIMALS digits, NUMWIDTH
// Makes the text form of a result whose text was left pending.
void MaterializeText(TEvalResult& r);
// The same with the number format (DECIMALS, NUMWIDTH) that held when the
// value was read.
void MaterializeTextIn(TEvalResult& r, int32_t decimals, int32_t width);
void TextToNumbers(const std::string& s, int32_t& i, double& f);
int32_t TruncToInt32(double v);        // low 32 bits of the 64-bit truncation

// Nesting limits: evaluations nested deeper than kMaxEvalDepth and more than
// kOpStackSize pending operations are refused with error 255.
constexpr int kMaxEvalDepth = 1000;
constexpr int kOpStackSize = 250;

// Text helpers of the conversions above.
std::string RightAlign(std::string s, int32_t width);  // blanks in front up to width
std::string FixedText(double v, int32_t decimals);     // fixed point, "." as point
// A whole text as a real number: digits, optional "." and digits, optional
// exponent (E, sign, digits); no sign, no blanks. An underflow reads as 0.
bool ParseRealText(std::string_view s, double& out);
// String-literal escapes (\\ \a \b \f \n \q \r \t \z \xHH).
std::string ProcessEscapes(std::string_view s);
int32_t WrapAdd(int32_t a, int32_t b);  // 32-bit wrap-around
int32_t WrapNeg(int32_t a);

// Reads a name that begins with its kind character: system variables, radix
// literals ($1F, &17, %101) and DEF constants, in that order; 100 when none
// matches. Returns false after an error report.
bool ReadSystemVariable(const std::string& upperName);

// The number of pending binary operations (empty between statements).
int PendingOperations();

// The evaluator's pending operations when a statement starts. A statement
// abandoned in the middle (an allocation that failed) leaves operations and
// an operator base behind; RestoreOperations drops them, releases their
// strings and empties the result.
struct OperationMark {
  int top = 0;
  int base = 0;
  bool aborted = false;
};
OperationMark MarkOperations();
void RestoreOperations(const OperationMark& mark);

// Compiled arguments (the runtime sets gCompiledText, core/text.h) carry
// tokens instead of names: operator tokens, "@" + code for functions, sigil +
// code for system variables, sigil + 0xFE + slot for DEF constants, "@" 0x14
// + slot for procedure calls and "@" 0x13 name ":" for method calls. The
// runtime installs the call of a procedure by its header slot; the hook reads
// the arguments from the evaluator's remaining text, leaves the value in gRes
// and returns false after reporting a slot that holds no procedure.
using SlotCallHook = bool (*)(int32_t headerSlot, TParStack& ps);
void SetProcedureSlotCaller(SlotCallHook hook);

}  // namespace korv
