// The byte-code executor. One statement: fetch (the statements are split
// into code, stored target and argument text once, when the program is
// loaded, after a protected program's lines are descrambled), dispatch on
// the code byte, pump every 21st statement, start the error procedure when
// one is due. Block statements run the shared block state transitions with
// the stored targets as jumps.
#include "engine/bytecode_executor.h"

#include <array>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "base/code_tables.h"
#include "core/line_store.h"
#include "base/text.h"
#include "engine/blocks.h"
#include "base/names.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "values/value_commands.h"
#include "base/pump_rhythm.h"
#include "base/host.h"
#include "base/subsystems.h"
#include "engine/procedures.h"
#include "values/def_constants.h"
#include "values/evaluator.h"

namespace korv {

namespace {

kvc::Image gImage;
int32_t gPumpCount = 0;

// A statement as the dispatch reads it, split once when the program is
// loaded: its code, the target the compiler stored with it and its
// argument text. The texts stay in place for the whole run, so a block
// statement reads its arguments there (a procedure its condition calls
// cannot change them) and a procedure call finds its header by index.
struct Decoded {
  uint8_t code = code::kNoOp;
  int32_t target = 0;
  std::string args;
  // Where the command's kept form was found last time (see PreparedRunner).
  mutable TextCacheMemo memo;
  // A block statement's precompiled condition, made on its first run.
  mutable std::shared_ptr<const PrecompiledArgument> condition;
  mutable bool conditionMade = false;
  mutable bool conditionCompiledText = false;  // the text rules it was read by
};
std::vector<Decoded> gDecoded{Decoded()};  // 1-based, as the image

// What the dispatch does with a code that is no control-flow code: the
// statement or command registered under the code's name, if any.
struct Handler {
  StatementHandler statement = nullptr;
  CommandHandler command = nullptr;
  std::string_view name = "";
  bool quiet = true;  // statements of the executor itself never reach the platform
  // Runs the command's kept form from the statement's own text, where it
  // has one (see PreparedRunnerOf).
  PreparedRunner prepared = nullptr;
};
std::array<Handler, 256> gHandlers;

void BuildHandlers() {
  for (int c = 0; c < 256; ++c) {
    Handler h;
    if (const char* name = CommandName(c)) {
      h.name = name;
      if (const CommandEntry* st = FindStatement(name)) h.statement = st->statement;
      if (const CommandEntry* ce = FindCommand(name)) {
        h.command = ce->handler;
        h.quiet = ce->quiet;
        h.prepared = PreparedRunnerOf(name);
      }
    }
    gHandlers[static_cast<size_t>(c)] = h;
  }
}

// The block operation of a control-flow code, and the scan whose target the
// compiler stored with it.
bool BlockOpOf(uint8_t c, BlockOp& op, bool& stored, BlockScan& scan) {
  stored = true;
  switch (c) {
    case code::kIf: op = BlockOp::If; scan = BlockScan::FalseCondition; return true;
    case code::kIfNot: op = BlockOp::IfNot; scan = BlockScan::FalseCondition; return true;
    case code::kElseIf: op = BlockOp::ElseIf; scan = BlockScan::FalseCondition; return true;
    case code::kElse: op = BlockOp::Else; scan = BlockScan::BranchDone; return true;
    case code::kWhile: op = BlockOp::While; scan = BlockScan::LoopEnd; return true;
    case code::kWhileNot: op = BlockOp::WhileNot; scan = BlockScan::LoopEnd; return true;
    case code::kWhileLoop: op = BlockOp::WhileLoop; scan = BlockScan::LoopEnd; return true;
    case code::kBreak: op = BlockOp::Break; scan = BlockScan::LeaveLoop; return true;
    case code::kCaseOf: op = BlockOp::CaseOf; scan = BlockScan::NoMatch; return true;
    case code::kOtherwise: op = BlockOp::Otherwise; scan = BlockScan::SelectionDone; return true;
    default: break;
  }
  stored = false;
  switch (c) {
    case code::kEndIf: op = BlockOp::EndIf; return true;
    case code::kEndWhile: op = BlockOp::EndWhile; return true;
    case code::kContinue: op = BlockOp::Continue; return true;
    case code::kRepeat: op = BlockOp::Repeat; return true;
    case code::kUntil: op = BlockOp::Until; return true;
    case code::kSelect: op = BlockOp::Select; return true;
    case code::kEndSelect: op = BlockOp::EndSelect; return true;
    case code::kCase: op = BlockOp::Case; return true;
    case code::kCaseNot: op = BlockOp::CaseNot; return true;
    default: return false;
  }
}

// Statement n, or an empty one outside the program.
const Decoded kNoStatement;
const Decoded& DecodedAt(int32_t n) {
  return n >= 1 && n < static_cast<int32_t>(gDecoded.size()) ? gDecoded[static_cast<size_t>(n)] : kNoStatement;
}

// The code of statement n (39 for an empty one).
uint8_t CodeAt(int32_t n) { return DecodedAt(n).code; }

// A block-end scan over the codes of the compiled statements, for the rare
// jumps the compiler stored no target for (a block head refused by a full
// stack skips its whole block). The same openers and closers as the scans
// over source lines, recognised by their codes.
int32_t CodeScan(BlockScan scan, int32_t from) {
  int32_t depth = 0;
  const int32_t last = static_cast<int32_t>(gDecoded.size()) - 1;
  for (int32_t i = from + 1; i <= last; ++i) {
    const uint8_t c = CodeAt(i);
    bool opener = false, closer = false, stop = false;
    switch (scan) {
      case BlockScan::FalseCondition:
      case BlockScan::BranchDone:
        opener = c == code::kIf || c == code::kIfNot;
        closer = c == code::kEndIf;
        stop = scan == BlockScan::FalseCondition && (c == code::kElseIf || c == code::kElse);
        break;
      case BlockScan::LoopEnd:
      case BlockScan::LeaveLoop:
        opener = c == code::kWhile || c == code::kWhileNot || c == code::kWhileLoop ||
                 (scan == BlockScan::LeaveLoop && c == code::kRepeat);
        closer = c == code::kEndWhile || (scan == BlockScan::LeaveLoop && c == code::kUntil);
        break;
      case BlockScan::NoMatch:
      case BlockScan::SelectionDone:
        opener = c == code::kSelect;
        closer = c == code::kEndSelect;
        stop = scan == BlockScan::NoMatch && (c == code::kCaseOf || c == code::kOtherwise);
        break;
      case BlockScan::SkipProcedure:
        opener = c == code::kProc || c == code::kSubproc || c == code::kErrorProc;
        closer = c == code::kEndProc;
        break;
    }
    if (opener) {
      ++depth;
    } else if (closer) {
      if (depth == 0) return i;
      --depth;
    } else if (stop && depth == 0) {
      return i;
    }
  }
  return 0;
}

// The arguments of a compiled block statement and its stored target.
class CompiledBlockArgs : public EvaluatedBlockArgs {
 public:
  CompiledBlockArgs(TParStack& ps, const Decoded& d, bool stored, BlockScan scan)
      : EvaluatedBlockArgs(ps, true), d_(d), args_(d.args), stored_(stored), scan_(scan), target_(d.target) {}


  int32_t Jump(BlockScan scan) override {
    if (stored_ && scan == scan_) return target_;
    int32_t end = CodeScan(scan, gExec.pc);
    if (end == 0) {
      RaiseError(ScanMissingError(scan));
      return -1;
    }
    return ScanTarget(scan, end);
  }

 private:
  std::string_view ArgText() override { return args_; }
  // The statement's text stays as it is while the program runs: its
  // condition is kept with it.
  const PrecompiledArgument* ConditionProgram() override {
    if (!d_.conditionMade || d_.conditionCompiledText != gCompiledText) {
      d_.condition = PrecompileArgument(args_);
      d_.conditionMade = true;
      d_.conditionCompiledText = gCompiledText;
    }
    return d_.condition.get();
  }
  // A CASEOF item's comparison: the characters "<", "=", ">" or the
  // operator tokens of "<>", "<=", ">=".
  void ReadComparator(std::string& cmp) override {
    const std::string& t = gEval.text;
    while (cmp.size() < 2 && !gEval.RestEmpty()) {
      char c = t[gEval.pos];
      if (c == '<' || c == '=' || c == '>') {
        cmp.push_back(c);
        ++gEval.pos;
        continue;
      }
      if (c == code::kOperatorToken && gEval.pos + 3 < t.size() && t[gEval.pos + 3] == '|') {
        const char letter = t[gEval.pos + 1];
        const char* two = letter == '#' ? "<>" : letter == 'L' ? "<=" : letter == 'G' ? ">=" : nullptr;
        if (two != nullptr && cmp.empty()) {
          cmp = two;
          gEval.pos += 4;
          continue;
        }
      }
      break;
    }
  }
  const Decoded& d_;
  // The statement's decoded text (procedures called by the arguments reuse
  // gExec.args; this text stays as it is).
  const std::string& args_;
  bool stored_;
  BlockScan scan_;
  int32_t target_;
};

bool IsProcedureHeader(int32_t slot) {
  return CodeAt(slot) == code::kProc;
}

// Code 255: a statement call of the procedure whose header is at slot.
void CallBySlot(int32_t slot, const std::string& args, TParStack& ps) {
  if (!IsProcedureHeader(slot)) {
    RaiseError(111);  // the call names no procedure of this program
    return;
  }
  CallProcedureStatementAt(slot, args, ps);
}

// "@" 0x14 slot: a procedure called from an expression.
bool CallSlotFromExpression(int32_t slot, TParStack& ps) {
  if (!IsProcedureHeader(slot)) {
    RaiseError(111);
    return false;
  }
  CallProcedureAt(slot, ps, std::string());
  return true;
}

// Whether the compiler stores a 4-byte target behind the code (block
// heads, procedure headers, calls by slot).
bool HasTarget(uint8_t c) {
  BlockOp op;
  bool stored = false;
  BlockScan scan;
  if (BlockOpOf(c, op, stored, scan)) return stored;
  return c == code::kProc || c == code::kSubproc || c == code::kErrorProc || c == code::kUserProc;
}

// The name the DEF statement at slot defines (its line text is made when
// the program is loaded).
std::string DefinedName(int32_t slot) {
  std::string name, value;
  if (slot < 1 || slot > gProgram.Length() || !SplitDefLine(gProgram.lines[static_cast<size_t>(slot)], name, value))
    return std::string();
  return name;
}

// Definitions are read with the plain rules (their "@" marks methods, not
// calls), so the operator, system-variable and DEF tokens the compiler put
// into them are spelt out again here, once: a member size then reads as
// the interpreter reads it.
std::string SpelledDefinition(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size();) {
    const char c = s[i];
    if (c == '"') {
      size_t end = s.find('"', i + 1);
      end = end == std::string_view::npos ? s.size() : end + 1;
      out.append(s.substr(i, end - i));
      i = end;
      continue;
    }
    const size_t length = c == code::kFunctionMark ? 0 : CompiledTokenLength(s, i);
    std::string spelled;
    if (length == 4 && c == code::kOperatorToken) {
      for (const code::OperatorSpelling& o : code::kOperatorSpellings)
        if (o.token == s.substr(i, 4)) spelled = o.text;
    } else if (length == 6) {
      spelled = DefinedName(GetLe32(s, i + 2));
    } else if (length == 2) {
      if (const char* name = SysVarName(static_cast<unsigned char>(s[i + 1]))) spelled = name;
    }
    if (spelled.empty()) {
      out.push_back(c);
      ++i;
      continue;
    }
    out += spelled;
    i += length;
  }
  return out;
}

Decoded Decode(const std::string& line) {
  Decoded d;
  if (line.empty()) return d;
  d.code = static_cast<uint8_t>(line[0]);
  const size_t offset = HasTarget(d.code) ? 5 : 1;
  if (offset == 5) d.target = GetLe32(line, 1);
  if (line.size() > offset) d.args.assign(line, offset, std::string::npos);
  return d;
}

// Runs one statement; true when the invocation must end.
bool Dispatch(const Decoded& d, TParStack& ps) {
  const uint8_t c = d.code;
  const Handler& h = gHandlers[c];
  gExec.command = h.name;
  BlockOp op;
  bool stored;
  BlockScan scan = BlockScan::FalseCondition;
  if (BlockOpOf(c, op, stored, scan)) {
    CompiledBlockArgs args(ps, d, stored, scan);
    gExec.handled = true;
    RunBlockStatement(op, args);
    return false;
  }
  switch (c) {
    case code::kNoOp:
    case code::kLabel:
    case code::kDef:
      gExec.handled = true;
      return false;
    case code::kProgEnd:
      gExec.handled = true;
      gExec.endFlag = true;
      return false;
    case code::kProc:
    case code::kSubproc:
    case code::kErrorProc:
      // A procedure reached in sequence: continue after its ENDPROC.
      gExec.handled = true;
      gExec.pc = d.target;
      return false;
    case code::kExpression:
      gExec.handled = true;
      gEval.SetText(d.args);
      Evaluate(ps, ' ', 0);
      return false;
    case code::kReturn:
      gExec.handled = true;
      if (gProc.count == 0) {
        RaiseError(111);
        return false;
      }
      if (!d.args.empty()) ReadReturnValue(d.args, ps, &d.memo);
      return ReturnFromProcedure(ps, true, 111);
    case code::kEndProc:
      gExec.handled = true;
      return ReturnFromProcedure(ps, false, 112);
    case code::kUserProc:
      gExec.handled = true;
      CallBySlot(d.target, d.args, ps);
      return false;
    default:
      break;
  }
  // Structure and class definitions are not tokenised for calls: their "@"
  // marks methods and must be read with the plain rules.
  const bool plain = c == code::kStruct || c == code::kClass;
  if (plain) gCompiledText = false;
  bool end = false;
  if (h.statement) {
    gExec.handled = true;
    gExec.args = d.args;
    end = h.statement(ps);
  } else if (h.command) {
    gExec.handled = true;
    if (!h.quiet) NoteOutsideWork();
    // The kept form needs no copy of the text into the evaluator.
    if (h.prepared == nullptr || !h.prepared(d.args, ps, &d.memo)) {
      gEval.SetText(d.args);
      h.command(ps);
    }
  } else {
    // A code this program has no handler for is an unknown command, as in
    // the interpreter (a damaged file may also hold codes without a name).
    gExec.handled = true;
    RaiseError(102, !h.name.empty() ? std::string(h.name) : ToDecimal(c));
  }
  if (plain) gCompiledText = true;
  return end;
}

// Inlined into the run loop, its only caller.
[[gnu::always_inline]] inline bool Step(TParStack& ps) {
  const int32_t pc = ++gExec.pc;
  const Decoded& d = DecodedAt(pc);
  gExec.handled = false;
  gPos.CompiledLine = pc;
  gPos.SourceLine = pc;
  gPos.LocationForm = TPosition::Form::Compiled;
  if (gExec.pendingMenu == 255) gExec.pendingMenu = 254;
  const uint8_t c = d.code;
  const StatementMark mark = MarkStatement();
  bool abandoned = false;
  try {
    if (Dispatch(d, ps)) return true;
  } catch (const std::bad_alloc&) {
    abandoned = true;
  } catch (const std::length_error&) {
    abandoned = true;
  }
  if (abandoned) {
    if (c == code::kStruct || c == code::kClass) gCompiledText = true;
    gPos.CompiledLine = pc;
    gPos.SourceLine = pc;
    gPos.LocationForm = TPosition::Form::Compiled;
    ReportExhaustedMemory(mark);
  }
  bool pump = false;
  if (!gExec.noPump && ++gPumpCount >= kPumpInterval) {
    gPumpCount = 0;
    pump = PumpDue();
  }
  BetweenStatements(pump);
  return false;
}

}  // namespace

void LoadCompiledProgram(kvc::Image image, const std::string& programFile) {
  gImage = std::move(image);
  // Descrambled once here instead of a copy per fetch.
  gImage.Descramble();
  gProgram.Clear();
  gProgram.files.push_back(programFile);
  const int32_t n = gImage.Length();
  gProgram.lines.resize(static_cast<size_t>(n) + 1);
  gProgram.debug.resize(static_cast<size_t>(n) + 1);
  gDecoded.assign(1, Decoded());
  gDecoded.reserve(static_cast<size_t>(n) + 1);
  for (int32_t i = 1; i <= n; ++i) {
    gProgram.debug[static_cast<size_t>(i)].Line = i;
    const Decoded& d = gDecoded.emplace_back(Decode(gImage.lines[static_cast<size_t>(i)]));
    std::string& text = gProgram.lines[static_cast<size_t>(i)];
    switch (d.code) {
      case code::kSubproc: text = "SUBPROC " + d.args; break;
      case code::kErrorProc: text = "ERRORPROC"; break;
      case code::kProc: text = "PROC"; break;
      case code::kDef: text = "DEF " + d.args; break;
      default: break;
    }
  }
  // Definitions may name DEF statements further on: spelt out once all are known.
  for (Decoded& d : gDecoded)
    if (d.code == code::kStruct || d.code == code::kClass) d.args = SpelledDefinition(d.args);
  // The decoded statements are all the run reads.
  gImage.lines.assign(1, std::string());
  gExec.compiledMode = true;
  gErr.CompiledPositions = true;
  gCompiledText = true;
  gExec.lineCount = n;
  SetCompiledRun(RunCompiled);
  SetProcedureSlotCaller(CallSlotFromExpression);
  SetRunningProgram(RunningProgram::Runtime);
  BuildHandlers();
}

void LeaveCompiledMode() {
  gImage = kvc::Image();
  gDecoded.assign(1, Decoded());
  SetRunningProgram(RunningProgram::Interpreter);
  gExec.compiledMode = false;
  gErr.CompiledPositions = false;
  gCompiledText = false;
  gProgram.Clear();
}

bool RunCompiled(TParStack& ps, int32_t startLine) {
  gExec.pc = startLine;
  while (gExec.pc < gExec.lineCount && !gExec.endFlag) {
    if (Step(ps)) break;
  }
  return gExec.endFlag;
}

void RunLoadedProgram() {
  ResetSubsystems();
  gExec.compiledMode = true;
  gErr.CompiledPositions = true;
  gCompiledText = true;
  gExec.lineCount = static_cast<int32_t>(gDecoded.size()) - 1;
  gPumpCount = 0;
  gPos = TPosition();
  TParStack ps;
  RunCompiled(ps, 0);
  RunShutdown();
}

int32_t PumpCounter() { return gPumpCount; }

}  // namespace korv
