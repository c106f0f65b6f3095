// Procedure frames and calls: statement calls, calls from expressions,
// SUBPROC families, the error procedure, PARAMETERS/RETURN/ENDPROC.
#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "values/value.h"

namespace korv {

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
// the block depths. Returns the kind of the popped frame.
FrameKind PopFrame();

// Header line of "PROC name" / "SUBPROC name" (0 when missing); the first
// header of a name wins.
int32_t FindProcedure(const std::string& upperName, bool subproc);

// Statement call by name (executor step 15). True when a procedure ran.
bool CallProcedureStatement(const std::string& upperName, const std::string& args, TParStack& ps);
// Call from an expression / SUBPROC family. True when found; value in gRes.
bool CallProcedureFunction(const std::string& upperName, TParStack& ps, bool subproc);
// Family dispatch of an unknown sub-command ("SET.NAME" ...).
bool CallSubproc(const std::string& upperName, TParStack& ps);

// RETURN/ENDPROC: returns true when the current invocation must end.
bool ReturnFromProcedure(TParStack& ps, bool withValue, int32_t missingCode);

void RegisterProcedureStatements();

}  // namespace korv
