// Procedure frames and calls: statement calls, calls from expressions,
// SUBPROC families, the error procedure, PARAMETERS/RETURN/ENDPROC.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "values/value.h"

namespace korv {

struct TextCacheMemo;

constexpr int kMaxFrames = 150;

enum class FrameKind : int32_t { Statement = 0, Expression = 1, ErrorProc = 2 };

struct ProcFrame {
  int32_t pc = 0;
  FrameKind kind = FrameKind::Statement;
  std::array<int32_t, 6> storeMarks{};  // int, long, string, float, area, array
  std::array<int32_t, 5> poolMarks{};
  int32_t condDepth = 0;
  int32_t selDepth = 0;
  int32_t loopDepth = 0;  // loop level at entry: deeper levels belong to the callee
};

struct ProcState {
  std::array<ProcFrame, kMaxFrames + 1> frames{};  // frame 0: the main program
  int32_t count = 0;
  int32_t pcount = 0;  // %PCOUNT
  std::string currentObject;
  std::string methodObject;
};
extern ProcState gProc;

void ResetProcedures();

// Pushes a frame of the given kind (114 above the limit); false when refused.
bool PushFrame(FrameKind kind);
// Pops the top frame: restores the counter, truncates the stores, restores
// the block depths (the callee's loop levels are dropped). Returns the kind
// of the popped frame.
FrameKind PopFrame();
// True while a procedure called from an expression runs, at any depth: the
// result its last statement leaves in gRes becomes the call's value.
bool InsideExpressionCall();

// Header line of "PROC name" / "SUBPROC name" (0 when missing); the first
// header of a name wins.
int32_t FindProcedure(std::string_view upperName, bool subproc);
// Line of the first ERRORPROC header (0 when missing).
int32_t FindErrorProc();

// Statement call by name (executor step 15). True when the name is a
// procedure (also when 114 refused the call).
bool CallProcedureStatement(std::string_view upperName, std::string_view args, TParStack& ps);
// Statement call of the procedure whose header is at line `header` (found
// by name, or the target the compiler stored): pushes a frame of kind 0,
// reads the arguments from args into the invocation's own ps (%PCOUNT is
// their number) and continues after the header in the same invocation.
// After 114 nothing at all is done.
void CallProcedureStatementAt(int32_t header, std::string_view args, TParStack& ps);
// Call from an expression. The evaluator's remaining text holds the
// arguments. True when found; the value is left in gRes.
bool CallProcedureFunction(const std::string& upperName, TParStack& ps, bool subproc);
// A call from an expression of the procedure whose header is at line
// `header` (methods, constructors): the arguments come from the evaluator's
// remaining text; a non-empty object becomes the current object and the
// method object while it runs. The value is left in gRes (integer 0 when
// 114 refused the call).
void CallProcedureAt(int32_t header, TParStack& ps, const std::string& object);
// SUBPROC call by its full name ("SET.NAME"): an argument text that is only
// ")" counts as empty, and the evaluator's cursor is put back as it was
// afterwards. True when found; the value is left in gRes.
bool CallSubproc(const std::string& upperName, TParStack& ps);

// The command families that hand sub-commands they do not know to the
// program's SUBPROC "<FAMILY>.<SUB-COMMAND>".
enum class SubprocFamily { Set, Get, Ogl, Create, Rtf, Toolbar };
// Calls the family's SUBPROC for subCommand with the remaining arguments.
// When the program has none, the family's error is raised with the
// sub-command (SET/GET 262, CREATE 261, OGL/RTF/TOOLBAR 263), gRes is
// integer 0 and the result is false.
bool DelegateToSubproc(SubprocFamily family, const std::string& subCommand, TParStack& ps);

// RETURN/ENDPROC: returns true when the current invocation must end.
bool ReturnFromProcedure(TParStack& ps, bool withValue, int32_t missingCode);

// RETURN's value (its argument text, not empty) into slot 0 of ps. A value
// that is plain arithmetic runs from its kept program without the text
// being copied into the evaluator, as the kept assignments do; memo: where
// a statement whose text never changes keeps its place (may be null).
void ReadReturnValue(std::string_view args, TParStack& ps, TextCacheMemo* memo);

void RegisterProcedureStatements();

}  // namespace korv
