// Procedure frames and the ways procedures are called.
#include "engine/procedures.h"

#include <memory>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include "core/line_store.h"
#include "base/text.h"
#include "engine/blocks.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "base/host.h"
#include "values/composite.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/settings.h"
#include "values/stores.h"
#include "values/text_cache.h"
#include "values/value.h"
#include "values/value_commands.h"

namespace korv {

ProcState gProc;

namespace {

constexpr int kMaxArguments = 15;

// Header lines by name; the first header of a name wins, as a scan from the
// first line would find it. Rebuilt when another program is loaded.
struct HeaderIndex {
  uint32_t generation = UINT32_MAX;
  size_t lines = 0;
  std::unordered_map<std::string, int32_t, TextHash, std::equal_to<>> procs, subprocs;
  int32_t errorProc = 0;

  void Build() {
    procs.clear();
    subprocs.clear();
    errorProc = 0;
    for (int32_t i = 1; i <= gProgram.Length(); ++i) {
      const std::string& line = gProgram.lines[i];
      if (line.size() < 5) continue;
      std::string up = Upper(Trim(line));
      if (StartsWith(up, "PROC ")) procs.emplace(Trim(std::string_view(up).substr(5)), i);
      else if (StartsWith(up, "SUBPROC ")) subprocs.emplace(Trim(std::string_view(up).substr(8)), i);
      else if (errorProc == 0 && StartsWith(up, "ERRORPROC")) errorProc = i;
    }
    generation = gProgram.generation;
    lines = gProgram.lines.size();
  }
  void Refresh() {
    if (generation != gProgram.generation || lines != gProgram.lines.size()) Build();
  }
};
HeaderIndex gHeaders;

// The arguments of a call from an expression still end with the call's own
// closing bracket. List-mode reading removes only one trailing bracket per
// argument, so a call as the last argument (F(G(1))) would keep one too
// many: the bracket that leaves the text unbalanced is dropped first.
void DropClosingBracket() {
  std::string& t = gEval.text;
  int depth = 0;
  for (size_t i = gEval.pos; i < t.size(); ++i) {
    char c = t[i];
    if (c == '"') {
      size_t q = t.find('"', i + 1);
      if (q == std::string::npos) return;
      i = q;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    }
  }
  if (depth >= 0) return;
  size_t end = t.size();
  while (end > gEval.pos && IsBlankChar(t[end - 1])) --end;
  if (end > gEval.pos && t[end - 1] == ')') t.erase(end - 1, 1);
}

// An argument list whose arguments are all plain arithmetic, read once per
// list text: where each argument starts and its kept form, with every
// cursor counted from the start of the list.
struct KeptArguments {
  struct Item {
    size_t start = 0;
    KeptListArgument argument;
  };
  bool kept = false;
  std::vector<Item> items;
};

// Reads the list at the cursor as ReadArguments does, without evaluating
// anything; the cursor is left where it was.
const KeptArguments& KeptArgumentsAtCursor() {
  static TextCache<KeptArguments> lists;
  return lists.Of(gEval.RestView(), [](KeptArguments& out) {
    const size_t from = gEval.pos;
    out.kept = true;
    while (!gEval.RestEmpty() && out.items.size() < static_cast<size_t>(kMaxArguments)) {
      const std::string_view rest = TrimView(gEval.RestView());
      if (rest.empty() || rest == ")") break;
      KeptArguments::Item item;
      item.start = gEval.pos - from;
      // (An argument starting with "." may get the caller's object put in
      // front of it: read anew.)
      if (rest[0] == '.' || !KeepListArgument(item.argument)) {
        out.kept = false;
        break;
      }
      gEval.pos = item.argument.end;
      item.argument.end -= from;
      out.items.push_back(std::move(item));
    }
    gEval.pos = from;
  });
}

void StoreArgument(TParStack& ps, int n) {
  ps.SetSlot(n, gRes);
  ps.TextFormat[n] = {gSettings.Decimals, gSettings.NumWidth};
}

// Reads up to 15 arguments from the evaluator's remaining text into ps.
// memberPrefix (the caller's current object) is put in front of an argument
// that begins with "." in calls from expressions.
void ReadArguments(TParStack& ps, const std::string& memberPrefix) {
  DropClosingBracket();
  int n = 0;
  const size_t from = gEval.pos;
  const KeptArguments& kept = KeptArgumentsAtCursor();
  if (kept.kept) {
    // Plain arithmetic calls nothing: the kept list stays in place while
    // it is read. An argument that cannot run so (a variable not declared
    // now, say) hands the rest to the general reading.
    for (const KeptArguments::Item& item : kept.items) {
      if (!RunKeptListArgument(item.argument, from)) {
        gEval.pos = from + item.start;
        break;
      }
      StoreArgument(ps, ++n);
    }
  }
  while (!gEval.RestEmpty() && n < kMaxArguments) {
    const std::string_view rest = TrimView(gEval.RestView());
    if (rest.empty() || rest == ")") break;
    if (rest[0] == '.' && !memberPrefix.empty()) {
      while (IsBlankChar(gEval.text[gEval.pos])) ++gEval.pos;
      gEval.text.insert(gEval.pos, memberPrefix);
    }
    // A number's text is made only where a parameter reads it (a $ name),
    // in the number format of this moment.
    EvaluateListArgument(ps);
    StoreArgument(ps, ++n);
  }
  ps.Count = n;
  gProc.pcount = n;
}

void FillFrame(ProcFrame& f, FrameKind kind) {
  f.pc = gExec.pc;
  f.kind = kind;
  StoreMarks m = CurrentMarks();
  for (int i = 0; i < 6; ++i) f.storeMarks[i] = m.count[i];
  f.poolMarks = CurrentPoolMarks();
  f.condDepth = gBlocks.cond;
  f.selDepth = gBlocks.sel;
  f.loopDepth = gBlocks.loop;
}

// Pops a frame that no RETURN popped (a nested invocation that ran off the
// end of the program): as RETURN would, an error procedure's end clears the
// error state.
void UnwindFrame() {
  if (PopFrame() == FrameKind::ErrorProc) {
    gErr.Code = 0;
    gErr.InErrorProc = false;
  }
}

// The strings a nested invocation saves, one record per nesting depth: they
// keep their capacity from call to call, so that a call allocates nothing
// here. A record is in use only while the invocation of its depth runs.
struct NestedRecord {
  std::string currentObject, methodObject, text;
  TParStack params;
  TPosition pos;
};

size_t gNestedDepth = 0;

NestedRecord& RecordAtDepth(size_t depth) {
  static std::vector<std::unique_ptr<NestedRecord>> records;
  while (records.size() <= depth) records.push_back(std::make_unique<NestedRecord>());
  return *records[depth];
}

struct NestedDepth {
  NestedDepth() { ++gNestedDepth; }
  ~NestedDepth() { --gNestedDepth; }
  NestedDepth(const NestedDepth&) = delete;
  NestedDepth& operator=(const NestedDepth&) = delete;
};

// The registers that a nested invocation overwrites.
struct SavedRegisters {
  NestedRecord& r;
  std::string_view command, args;  // views of texts that stay in place
  KeptLineCondition* lineCondition;
  int32_t pc, frames, pcount;
  bool handled, endOfArgs, endFlag;
  int32_t cond, sel;

  explicit SavedRegisters(NestedRecord& record)
      : r(record), command(gExec.command), args(gExec.args), lineCondition(gExec.lineCondition), pc(gExec.pc), frames(gProc.count), pcount(gProc.pcount), handled(gExec.handled),
        endOfArgs(gEval.endOfArgs), endFlag(gExec.endFlag), cond(gBlocks.cond), sel(gBlocks.sel) {
    r.pos.CopyFrom(gPos);
    AssignUnlessBothEmpty(r.currentObject, gProc.currentObject);
    AssignUnlessBothEmpty(r.methodObject, gProc.methodObject);
  }

  void Restore() {
    // A procedure that ran off the end of the program leaves its frames
    // behind: unwind them so the stores and depths are consistent.
    while (gProc.count > frames) UnwindFrame();
    gExec.pc = pc;
    gProc.pcount = pcount;
    gExec.command = command;
    gExec.args = args;
    gExec.lineCondition = lineCondition;
    AssignUnlessBothEmpty(gProc.currentObject, r.currentObject);
    AssignUnlessBothEmpty(gProc.methodObject, r.methodObject);
    gExec.handled = handled;
    gEval.endOfArgs = endOfArgs;
    gBlocks.cond = cond;
    gBlocks.sel = sel;
    gPos.CopyFrom(r.pos);
  }
};

// Runs the procedure at `header` in a nested invocation (kind 1 frame).
void RunNested(int32_t header, TParStack& ps, const std::string& object) {
  NestedRecord& record = RecordAtDepth(gNestedDepth);
  const NestedDepth depth;
  SavedRegisters saved(record);
  if (!PushFrame(FrameKind::Expression)) {
    saved.Restore();
    gRes.Reset();
    gRes.ResultKind = kind::kInt;
    gRes.StrValue = IntToText(0);
    return;
  }
  gProc.pcount = 0;
  // The procedure's statements use the evaluator's cursor; the caller's goes
  // on after the arguments.
  size_t pos = 0;
  char lastSep = ' ';
  try {
    TParStack& args = record.params;
    args.CopyFrom(ps);  // a record of its own: the caller's stays unchanged
    ReadArguments(args, record.currentObject);
    record.text = gEval.text;
    pos = gEval.pos;
    lastSep = gEval.lastSep;
    if (!object.empty()) {
      gProc.currentObject = object;
      gProc.methodObject = object;
    }
    Run(args, header);
  } catch (const std::bad_alloc&) {
    // Memory ran out before the procedure's first statement or after its
    // last (the statements catch their own): the call is undone and the
    // calling statement is abandoned.
    saved.Restore();
    throw;
  } catch (const std::length_error&) {
    saved.Restore();
    throw;
  }
  if (gExec.endFlag && !saved.endFlag) {
    // END inside the procedure ends the whole program here: the statement
    // that called it must not go on.
    RunShutdown();
    ExitWith(0);
  }
  TEvalResult result = std::move(gRes);
  saved.Restore();
  gEval.text.swap(record.text);
  gEval.pos = pos;
  gEval.lastSep = lastSep;
  gRes = std::move(result);
}

bool StSkipProcedure(TParStack&) {
  int32_t end = ScanBlockEnd(BlockScan::SkipProcedure, gExec.pc);
  if (end == 0) {
    RaiseError(ScanMissingError(BlockScan::SkipProcedure));
    gExec.pc = gExec.lineCount;
    return false;
  }
  gExec.pc = ScanTarget(BlockScan::SkipProcedure, end);
  return false;
}

bool StReturn(TParStack& ps) {
  if (gProc.count == 0) {
    RaiseError(111);
    return false;
  }
  if (!gExec.args.empty()) ReadReturnValue(gExec.args, ps, nullptr);
  return ReturnFromProcedure(ps, true, 111);
}

bool StEndProc(TParStack& ps) { return ReturnFromProcedure(ps, false, 112); }

// A name of a PARAMETERS list, normalised (empty where a name is left
// out), with its kept number.
struct ParameterName {
  std::string name;
  CachedFind number;
};

// The names of a PARAMETERS list, read once per list text.
std::vector<ParameterName>& ParameterNames(std::string_view list) {
  static TextCache<std::vector<ParameterName>> names;
  return names.Of(list, [&list](std::vector<ParameterName>& out) {
    size_t start = 0;
    for (;;) {
      size_t comma = FindTopLevel(list, ',', false, start);
      ParameterName p;
      p.name = NormalizeName(std::string(list.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
      out.push_back(std::move(p));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
  });
}

bool StParameters(TParStack& ps) {
  // Only a failed declaration reports (and may run other statements while
  // its box is open); the loop ends right after it, so the kept names stay
  // valid while they are read.
  std::vector<ParameterName>& names = ParameterNames(gExec.args);
  int slot = 0;
  for (ParameterName& param : names) {
    ++slot;
    const std::string& name = param.name;
    if (name.empty()) continue;
    int32_t idx = DeclareKept(name, param.number);
    if (idx == 0) return false;  // reported; nothing further is declared
    // Names beyond the 15 argument slots keep the empty value of the
    // declaration.
    if (slot >= kParSlots) continue;
    if (name.back() == '#') {
      TVarPtr& p = gStores.ptrs[idx];
      p.Address = reinterpret_cast<void*>(static_cast<uintptr_t>(static_cast<uint32_t>(ps.IntValue[slot])));
      p.Base = nullptr;
      p.AreaKind = ps.AreaKind[slot];
      p.Size = ps.AreaSize[slot];
      p.StructIndex = ps.AreaStruct[slot];
    } else {
      // The entry just declared is the newest of its name.
      ps.GetSlot(slot, gRes);
      if (name.back() == '$') MaterializeTextIn(gRes, ps.TextFormat[slot].first, ps.TextFormat[slot].second);
      StoreAt(name.back(), idx);
    }
  }
  return false;
}

void StartErrorProc() {
  if (!PushFrame(FrameKind::ErrorProc)) return;
  int32_t header = FindErrorProc();
  if (header == 0) {
    int32_t pc = gProc.frames[gProc.count].pc;
    PopFrame();
    gExec.pc = pc;
    gErr.Level = 0;
    RaiseError(144);
    return;
  }
  gErr.InErrorProc = true;
  gExec.pc = header;
}

bool UserFunction(const std::string& upperName, TParStack& ps) {
  return CallProcedureFunction(upperName, ps, false);
}

}  // namespace

void ResetProcedures() {
  gProc.count = 0;
  gProc.pcount = 0;
  gProc.frames[0] = ProcFrame();
  gProc.currentObject.clear();
  gProc.methodObject.clear();
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

bool InsideExpressionCall() {
  for (int32_t i = 1; i <= gProc.count; ++i)
    if (gProc.frames[static_cast<size_t>(i)].kind == FrameKind::Expression) return true;
  return false;
}

FrameKind PopFrame() {
  if (gProc.count <= 0) return FrameKind::Statement;
  ProcFrame& f = gProc.frames[gProc.count];
  gExec.pc = f.pc;
  PopScope();
  TruncatePools(f.poolMarks);
  gBlocks.cond = f.condDepth;
  gBlocks.sel = f.selDepth;
  DropLoopLevels(f.loopDepth);
  --gProc.count;
  return f.kind;
}

int32_t FindProcedure(std::string_view upperName, bool subproc) {
  gHeaders.Refresh();
  auto& map = subproc ? gHeaders.subprocs : gHeaders.procs;
  auto it = map.find(upperName);
  return it == map.end() ? 0 : it->second;
}

int32_t FindErrorProc() {
  gHeaders.Refresh();
  return gHeaders.errorProc;
}

bool CallProcedureStatement(std::string_view upperName, std::string_view args, TParStack& ps) {
  int32_t header = FindProcedure(upperName, false);
  if (header == 0) return false;
  CallProcedureStatementAt(header, args, ps);
  return true;
}

void CallProcedureStatementAt(int32_t header, std::string_view args, TParStack& ps) {
  if (!PushFrame(FrameKind::Statement)) return;  // 114: the call is not made
  gProc.pcount = 0;
  gEval.SetText(args);
  ReadArguments(ps, std::string());
  gExec.pc = header;
}

bool CallProcedureFunction(const std::string& upperName, TParStack& ps, bool subproc) {
  int32_t header = FindProcedure(upperName, subproc);
  if (header == 0) return false;
  RunNested(header, ps, std::string());
  return true;
}

void CallProcedureAt(int32_t header, TParStack& ps, const std::string& object) {
  RunNested(header, ps, object);
}

bool CallSubproc(const std::string& upperName, TParStack& ps) {
  int32_t header = FindProcedure(upperName, true);
  if (header == 0) return false;
  const std::string text = gEval.text;
  const size_t pos = gEval.pos;
  const bool endOfArgs = gEval.endOfArgs;
  const char lastSep = gEval.lastSep;
  if (Trim(gEval.Rest()) == ")") gEval.pos = gEval.text.size();
  RunNested(header, ps, std::string());
  gEval.text = text;
  gEval.pos = pos;
  gEval.endOfArgs = endOfArgs;
  gEval.lastSep = lastSep;
  return true;
}

bool DelegateToSubproc(SubprocFamily family, const std::string& subCommand, TParStack& ps) {
  static const char* const kNames[] = {"SET", "GET", "OGL", "CREATE", "RTF", "TOOLBAR"};
  const int f = static_cast<int>(family);
  if (CallSubproc(std::string(kNames[f]) + "." + Upper(Trim(subCommand)), ps)) return true;
  gRes.Reset();
  gRes.ResultKind = kind::kInt;
  gRes.StrValue = IntToText(0);
  int32_t code = family == SubprocFamily::Set || family == SubprocFamily::Get ? 262
                 : family == SubprocFamily::Create                           ? 261
                                                                             : 263;
  RaiseError(code, subCommand);
  return false;
}

void ReadReturnValue(std::string_view args, TParStack& ps, TextCacheMemo* memo) {
  static TextCache<std::shared_ptr<const PrecompiledArgument>> kept;
  const std::shared_ptr<const PrecompiledArgument>& program =
      kept.Of(args, [args](std::shared_ptr<const PrecompiledArgument>& out) { out = PrecompileArgument(args); },
              memo);
  // (Nothing after RETURN reads the evaluator's text: the caller's comes
  // back, or the next statement brings its own.)
  if (!PreparedStatementsOn() || !program || !RunPrecompiled(*program, true)) {
    gEval.SetText(args);
    Evaluate(ps, ' ', 0);
  }
  ps.SetSlot(0, gRes);
}

bool ReturnFromProcedure(TParStack& ps, bool withValue, int32_t missingCode) {
  (void)ps;
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
#define KORV_UNIT_procedures 1
#include "base/bind_unit.h"
#undef KORV_UNIT_procedures
  SetErrorProcStarter(StartErrorProc);
  SetUserFunctionCaller(UserFunction);
}

}  // namespace korv
