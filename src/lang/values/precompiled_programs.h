// What the precompiled number arguments (evaluator_precompiled.cpp) and the
// precompiled string arguments (evaluator_strings.cpp) share: each kind of
// program runs programs of the other kind as its operands and arguments.
// Both run without touching the evaluator's state and say false, with
// nothing changed, where the general path must run (it then reports
// whatever there is to report).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace korv {
struct CachedFind;
}

namespace korv::evaldetail {

struct FastProgram;  // a number argument
struct TextProgram;  // a string argument
struct TextCall;     // a built-in function of string arguments with a number result
struct TextComparison;  // two string programs compared

// A number as a program computes it: both forms, the kind and how its text
// form is made (TEvalResult::PendingText).
struct FastValue {
  double f;
  int32_t i;
  uint8_t kind;
  uint8_t text;
};

// How far a program reaches into the evaluator's limits when the general
// path reads it: evaluations nested inside the argument (brackets, function
// arguments) and operators waiting on the operator stack at the most.
struct ProgramReach {
  int depth = 0;
  int pending = 0;
};

std::shared_ptr<const FastProgram> FastProgramFor(std::string_view rest);
ProgramReach ReachOf(const FastProgram& p);
// The variable the general path reads last ("" for none).
const std::string& LastVariableOf(const FastProgram& p);
bool ComputeNumber(const FastProgram& p, FastValue& result);

// The index programs of an element "A[inside]" as the array code splits
// them (one to three); false for any other text. reach: as the element's
// operand reaches.
bool CompileIndices(const std::string& inside, std::vector<std::shared_ptr<const FastProgram>>& out,
                    ProgramReach& reach);
// The pool slot (gPools by elementKind: '%', '&', '!' or '$') of an element
// of the array named, resolved as ResolveElement resolves it; false where
// that would report or the array's elements are of another kind.
bool ElementSlot(const std::string& array, CachedFind& found, char elementKind,
                 const std::vector<std::shared_ptr<const FastProgram>>& indices, size_t& slot);

// The program of a string argument: string literals, string variables and
// the pure string functions joined by "+"; nullptr for any other text.
std::shared_ptr<const TextProgram> TextProgramFor(std::string_view rest);
ProgramReach ReachOf(const TextProgram& p);
const std::string& LastVariableOf(const TextProgram& p);
// One literal and nothing else (the general path marks such an argument).
bool IsLiteralOnly(const TextProgram& p);
// The text into out (emptied first); with forms, also the number forms the
// general path gives the result (IntValue, FloatValue).
bool ComputeText(const TextProgram& p, std::string& out, bool forms, int32_t& i, double& f);

// LEN, INSTR, ORD or VAL called with the text of its arguments (with the
// closing bracket); nullptr where the call is none of these with string
// programs as its arguments.
std::shared_ptr<const TextCall> NumberCallFor(const std::string& name, std::string_view args);
ProgramReach ReachOf(const TextCall& c);
// Whether the function makes its result's text form at once (VAL) rather
// than leaving it to be made where it is read.
bool MakesItsText(const TextCall& c);
const std::string& LastVariableOf(const TextCall& c);
bool ComputeNumberCall(const TextCall& c, FastValue& result);

// Two string programs compared ("=", "<>", "<", ">", "<=", ">="), read from
// the cursor with the terminator term as the whole of an argument or of a
// bracket: the cursor is left at the end of the text or before term.
// nullptr (the cursor anywhere) for any other text.
std::shared_ptr<const TextComparison> TextComparisonAt(char term);
ProgramReach ReachOf(const TextComparison& c);
const std::string& LastVariableOf(const TextComparison& c);
bool ComputeTextComparison(const TextComparison& c, FastValue& result);

// Whether the top-level scan that cuts a text into arguments or indices
// (FindTopLevel) reads it as the general path reads it. In compiled text
// that scan passes over the four bytes after a slot byte (0x14, 0xFE,
// 0xFF), which the general path reads otherwise where the byte is no part
// of a token; no program holds such a token, so a text with one is left
// to the general path.
inline bool CutsAlike(std::string_view text) {
  if (!gCompiledText) return true;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0x14 || u == 0xFE || u == 0xFF) return false;
  }
  return true;
}

// Compiling a program may compile the programs of its operands and
// arguments: nesting deeper than this is left to the general path.
constexpr int kMaxProgramNesting = 24;
// Counts the programs being compiled inside each other; false when the
// limit is reached (the scope then compiles nothing).
class CompileNesting {
 public:
  CompileNesting() : ok_(++depth_ <= kMaxProgramNesting) {}
  ~CompileNesting() { --depth_; }
  CompileNesting(const CompileNesting&) = delete;
  CompileNesting& operator=(const CompileNesting&) = delete;
  bool ok() const { return ok_; }

 private:
  static inline int depth_ = 0;
  bool ok_;
};

}  // namespace korv::evaldetail
