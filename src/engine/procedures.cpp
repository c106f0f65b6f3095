// Procedure frames and the ways procedures are called.
#include "engine/procedures.h"

#include <unordered_map>

#include "core/line_store.h"
#include "core/text.h"
#include "engine/blocks.h"
#include "engine/errors.h"
#include "engine/executor.h"
#include "values/dispatch.h"
#include "values/evaluator.h"
#include "values/stores.h"

namespace korv {

ProcState gProc;
BlockDepths gBlocks;

namespace {

constexpr int kMaxArguments = 15;

// Header lines by name; the first header of a name wins, as a scan from the
// first line would find it. Rebuilt when another program is loaded.
struct HeaderIndex {
  uint32_t generation = UINT32_MAX;
  std::unordered_map<std::string, int32_t> procs, subprocs;
  int32_t errorProc = 0;

  void Build() {
    procs.clear();
    subprocs.clear();
    errorProc = 0;
    for (int32_t i = 1; i <= gProgram.Length(); ++i) {
      const std::string& line = gProgram.lines[i];
      if (line.size() < 5) continue;
      std::string up = Upper(line);
      if (StartsWith(up, "PROC ")) procs.emplace(Trim(std::string_view(up).substr(5)), i);
      else if (StartsWith(up, "SUBPROC ")) subprocs.emplace(Trim(std::string_view(up).substr(8)), i);
      else if (errorProc == 0 && StartsWith(up, "ERRORPROC")) errorProc = i;
    }
    generation = gProgram.generation;
  }
  void Refresh() {
    if (generation != gProgram.generation) Build();
  }
};
HeaderIndex gHeaders;

// Reads up to 15 arguments from the evaluator's remaining text into ps.
void ReadArguments(TParStack& ps) {
  int n = 0;
  while (!gEval.RestEmpty() && n < kMaxArguments) {
    std::string rest = gEval.Rest();
    if (Trim(rest).empty() || Trim(rest) == ")") break;
    if (rest.size() && rest[0] == '.' && !gProc.currentObject.empty())
      gEval.text.insert(gEval.pos, gProc.currentObject);
    Evaluate(ps, 'p', 0);
    ++n;
    ps.SetSlot(n, gRes);
  }
  ps.Count = n;
  gProc.pcount = n;
}

void FillFrame(ProcFrame& f, FrameKind kind) {
  f.pc = gExec.pc;
  f.kind = kind;
  StoreMarks m = CurrentMarks();
  for (int i = 0; i < 6; ++i) f.storeMarks[i] = m.count[i];
  f.poolMarks = {};
  f.condDepth = gBlocks.cond;
  f.selDepth = gBlocks.sel;
  f.loopDepth = gBlocks.loop;
}

// The statement registers that a nested invocation overwrites.
struct SavedRegisters {
  int32_t pc, frames, pcount;
  std::string command, args, statement, currentObject, methodObject;
  bool handled, endOfArgs;
  int32_t cond, sel;
  TPosition pos;

  SavedRegisters()
      : pc(gExec.pc), frames(gProc.count), pcount(gProc.pcount), command(gExec.command),
        args(gExec.args), statement(gExec.statement), currentObject(gProc.currentObject),
        methodObject(gProc.methodObject), handled(gExec.handled), endOfArgs(gEval.endOfArgs),
        cond(gBlocks.cond), sel(gBlocks.sel), pos(gPos) {}

  void Restore() {
    // A procedure that ran off the end of the program leaves its frames
    // behind: unwind them so the stores and depths are consistent.
    while (gProc.count > frames) PopFrame();
    gExec.pc = pc;
    gProc.pcount = pcount;
    gExec.command = command;
    gExec.args = args;
    gExec.statement = statement;
    gProc.currentObject = currentObject;
    gProc.methodObject = methodObject;
    gExec.handled = handled;
    gEval.endOfArgs = endOfArgs;
    gBlocks.cond = cond;
    gBlocks.sel = sel;
    gPos = pos;
  }
};

// Skips a procedure body reached in sequence: the line after ENDPROC runs next.
bool StSkipProcedure(TParStack&) {
  for (int32_t i = gExec.pc + 1; i <= gProgram.Length(); ++i) {
    const std::string& line = gProgram.lines[i];
    if (line.size() >= 7 && Upper(std::string_view(line).substr(0, 7)) == "ENDPROC") {
      std::string rest = line.substr(7);
      if (rest.empty() || IsBlankChar(rest[0]) || rest[0] == '\'') {
        gExec.pc = i;
        return false;
      }
    }
  }
  RaiseError(115);
  return false;
}

bool StReturn(TParStack& ps) {
  if (!gExec.args.empty()) {
    gEval.SetText(gExec.args);
    Evaluate(ps, ' ', 0);
    ps.SetSlot(0, gRes);
  }
  return ReturnFromProcedure(ps, true, 111);
}

bool StEndProc(TParStack& ps) { return ReturnFromProcedure(ps, false, 112); }

bool StParameters(TParStack& ps) {
  std::string list = gExec.args;
  int slot = 0;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = FindTopLevel(list, ',', false, start);
    std::string name = NormalizeName(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    ++slot;
    if (!name.empty()) {
      int32_t idx = Declare(name);
      if (idx == 0) return false;  // reported; nothing further is declared
      // Names beyond the 15 slots are declared with empty values.
      if (slot < kParSlots) {
        if (name.back() == '#') {
          TVarPtr& p = gStores.ptrs[idx];
          p.Address = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(ps.IntValue[slot])));
          p.Base = nullptr;
          p.AreaKind = ps.AreaKind[slot];
          p.Size = ps.AreaSize[slot];
          p.StructIndex = ps.AreaStruct[slot];
        } else {
          ps.GetSlot(slot, gRes);
          Store(name);
        }
      }
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return false;
}

void StartErrorProc() {
  if (!PushFrame(FrameKind::ErrorProc)) return;
  gHeaders.Refresh();
  if (gHeaders.errorProc == 0) {
    int32_t pc = gProc.frames[gProc.count].pc;
    PopFrame();
    gExec.pc = pc;
    gErr.Level = 0;
    RaiseError(144);
    return;
  }
  gErr.InErrorProc = true;
  gExec.pc = gHeaders.errorProc;
}

bool UserFunction(const std::string& upperName, TParStack& ps) {
  return CallProcedureFunction(upperName, ps, false);
}

}  // namespace

void ResetProcedures() {
  gProc.count = 0;
  gProc.pcount = 0;
  gProc.currentObject.clear();
  gProc.methodObject.clear();
  gBlocks = BlockDepths();
}

bool PushFrame(FrameKind kind) {
  if (gProc.count + 1 > kMaxFrames) {
    RaiseError(114);
    return false;
  }
  ++gProc.count;
  FillFrame(gProc.frames[gProc.count], kind);
  PushScope();
  return true;
}

FrameKind PopFrame() {
  ProcFrame& f = gProc.frames[gProc.count];
  gExec.pc = f.pc;
  PopScope();
  gBlocks.cond = f.condDepth;
  gBlocks.sel = f.selDepth;
  gBlocks.loop = f.loopDepth;
  --gProc.count;
  return f.kind;
}

int32_t FindProcedure(const std::string& upperName, bool subproc) {
  gHeaders.Refresh();
  auto& map = subproc ? gHeaders.subprocs : gHeaders.procs;
  auto it = map.find(upperName);
  return it == map.end() ? 0 : it->second;
}

bool CallProcedureStatement(const std::string& upperName, const std::string& args, TParStack& ps) {
  int32_t header = FindProcedure(upperName, false);
  if (header == 0) return false;
  gProc.pcount = 0;
  if (!PushFrame(FrameKind::Statement)) return true;
  gEval.SetText(args);
  ReadArguments(ps);
  gExec.pc = header;
  return true;
}

bool CallProcedureFunction(const std::string& upperName, TParStack& ps, bool subproc) {
  int32_t header = FindProcedure(upperName, subproc);
  if (header == 0) return false;
  SavedRegisters saved;
  gProc.pcount = 0;
  if (!PushFrame(FrameKind::Expression)) {
    gRes.Reset();
    gRes.ResultKind = kind::kInt;
    saved.Restore();
    return true;
  }
  TParStack args = ps;  // a fresh record: the caller's own stays unchanged
  ReadArguments(args);
  Run(args, header);
  TEvalResult result = gRes;
  saved.Restore();
  gRes = result;
  return true;
}

bool CallSubproc(const std::string& upperName, TParStack& ps) {
  return CallProcedureFunction(upperName, ps, true);
}

bool ReturnFromProcedure(TParStack& ps, bool withValue, int32_t missingCode) {
  (void)withValue;
  if (gProc.count == 0) {
    RaiseError(missingCode);
    return false;
  }
  FrameKind k = PopFrame();
  if (k == FrameKind::ErrorProc) {
    gErr.Code = 0;
    gErr.InErrorProc = false;
  }
  return k == FrameKind::Expression;
}

void RegisterProcedureStatements() {
  RegisterStatement("PROC", 143, StatementPhase::Block, StSkipProcedure);
  RegisterStatement("SUBPROC", 31, StatementPhase::Block, StSkipProcedure);
  RegisterStatement("ERRORPROC", 80, StatementPhase::Block, StSkipProcedure);
  RegisterStatement("RETURN", 139, StatementPhase::Block, StReturn);
  RegisterStatement("ENDPROC", 140, StatementPhase::Block, StEndProc);
  RegisterStatement("PARAMETERS", 207, StatementPhase::Block, StParameters);
  SetErrorProcStarter(StartErrorProc);
  SetUserFunctionCaller(UserFunction);
}

}  // namespace korv
