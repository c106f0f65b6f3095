// The text executor: fetches a line, splits it, runs the debugging aids,
// dispatches it, pumps messages and starts the error procedure when due.
#include "engine/executor.h"
#include "base/pump_rhythm.h"

#include <new>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "core/line_store.h"
#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "base/host.h"
#include "engine/procedures.h"
#include "values/evaluator.h"
#include "values/value_commands.h"

namespace korv {

ExecState gExec;

namespace {

InfoBoxHook gInfoBoxHook = nullptr;

int DebugBox(const std::string& caption, const std::string& body) {
  Host& h = host();
  std::uintptr_t focus = h.SaveFocus();
  int answer = h.ShowMessageBox(caption, body, mb::kOkCancel | mb::kIconInfo);
  h.RedrawMainWindow();
  h.RestoreFocus(focus);
  if (answer == id::kCancel) RaiseError(999);
  return answer;
}

std::string ShortLocation() {
  return ErrorText(801) + " " + ToDecimal(gPos.SourceLine) + " in " + gPos.File;
}

void Breakpoint(std::string_view view) {
  const std::string text(view);
  WriteTelmarLog("BREAKPOINT", gPos.SourceLine, gPos.File, 0, text);
  std::string body = ShortLocation();
  DebugBox("BREAKPOINT: " + text, body);
  AppendToLogFile(body);
}

void DebugInfo(TParStack& ps, std::string_view args) {
  gEval.SetText(args);
  std::string value = EvalString(ps, ',');
  std::string listing;
  while (!gEval.RestEmpty()) {
    std::string rest = gEval.Rest();
    size_t comma = FindTopLevel(rest, ',');
    std::string name = Upper(Trim(std::string_view(rest).substr(0, comma)));
    gEval.pos = comma == std::string::npos ? gEval.text.size() : gEval.pos + comma + 1;
    bool badSuffix = name.empty() || std::string("!#$%&").find(name.back()) == std::string::npos;
    if (badSuffix || name.find(' ') != std::string::npos) {
      RaiseError(122, name);
      return;
    }
    if (name.find('[') != std::string::npos) continue;
    listing += DebugListingEntry(name);
  }
  WriteTelmarLog("DEBUGINFO", gPos.SourceLine, gPos.File, 0, Trim(value));
  std::string body = ShortLocation() + "\r\r" + listing;
  DebugBox("DEBUGINFO: " + value, body);
  AppendToLogFile(body);
}

void Trace() {
  WriteTelmarLog("TRACE", gPos.SourceLine, gPos.File, 0, std::string());
  DebugBox("TRACE:", LocationText());
}

// Cuts a top-level apostrophe comment off the argument text.
void CutComment(std::string& args) {
  size_t p = FindTopLevel(args, '\'');
  if (p != std::string::npos) args = Trim(std::string_view(args).substr(0, p));
}

void EvaluateAndDrop(TParStack& ps, std::string_view text) {
  gEval.SetText(text);
  Evaluate(ps, ' ', 0);
}

// What a command word names: looked up once per line, since the lines and
// the name tables of a running program do not change.
struct Resolved {
  const CommandEntry* statement = nullptr;
  const CommandEntry* command = nullptr;
  PreparedRunner prepared = nullptr;  // the command's kept form, if it has one
  bool skipped = false;  // REM, an apostrophe comment, SETLFN, DEF
};

Resolved Resolve(std::string_view cmd) {
  Resolved r;
  r.statement = FindStatement(cmd);
  r.command = FindCommand(cmd);
  if (r.command) r.prepared = PreparedRunnerOf(cmd);
  r.skipped = cmd == "REM" || (!cmd.empty() && cmd[0] == '\'') || cmd == "SETLFN" || cmd == "DEF";
  return r;
}

// What a statement's line gives before it runs: the lines do not change
// while a program runs, so each is split once. The argument check is kept
// only when it passed; a failing check runs (and reports) every time.
struct SplitLine {
  enum class Kind : uint8_t { Plain, Rem, Breakpoint, DebugInfo };
  bool made = false;
  bool argumentsChecked = false;
  Kind kind = Kind::Plain;
  std::string statement, command, args;
  std::string argsCut;  // args without a top-level apostrophe comment
  Resolved resolved;
  TextCacheMemo memo;  // where argsCut's kept form was found last time
  KeptLineCondition condition;  // argsCut's, for a block statement
  bool resolvedMade = false;
  RunningProgram resolvedFor = RunningProgram::Interpreter;
};

struct SplitCache {
  uint32_t generation = ~0u;
  std::vector<SplitLine> lines;
};
SplitCache gSplit;

// Splits a line the first time it runs (and every line anew when the
// program changed).
[[gnu::noinline]] SplitLine& SplitFirst(int32_t pc) {
  if (gSplit.generation != gProgram.generation || gSplit.lines.size() != gProgram.lines.size()) {
    gSplit.lines.assign(gProgram.lines.size(), SplitLine());
    gSplit.generation = gProgram.generation;
  }
  SplitLine& l = gSplit.lines[static_cast<size_t>(pc)];
  if (!l.made) {
    l.statement = Trim(gProgram.lines[pc]);
    if (l.statement.empty()) {
      l.command = "REM";
    } else {
      SplitStatement(l.statement, l.command, l.args);
    }
    using Kind = SplitLine::Kind;
    l.kind = l.command == "REM" ? Kind::Rem : l.command == "$B" ? Kind::Breakpoint
           : l.command == "$D" ? Kind::DebugInfo : Kind::Plain;
    l.made = true;
  }
  return l;
}

// Asked before every statement: the split line, once made, is one load.
inline SplitLine& SplitOf(int32_t pc) {
  if (gSplit.generation == gProgram.generation && gSplit.lines.size() == gProgram.lines.size()) {
    SplitLine& l = gSplit.lines[static_cast<size_t>(pc)];
    if (l.made) return l;
  }
  return SplitFirst(pc);
}

bool DispatchResolved(TParStack& ps, const Resolved& r, const std::string* argsCut, TextCacheMemo* memo);

// The command word's entries and the comment-free arguments of a line.
const Resolved& ResolvedOf(SplitLine& line) {
  if (!line.resolvedMade || line.resolvedFor != CurrentProgram()) {
    line.resolved = Resolve(line.command);
    line.argsCut = line.args;
    CutComment(line.argsCut);
    line.condition = KeptLineCondition();
    line.resolvedFor = CurrentProgram();
    line.resolvedMade = true;
  }
  return line.resolved;
}

// The position's file name, copied only when the line's file changes.
void ShowFileOf(int32_t pc) {
  const std::string& file = gProgram.FileOf(pc);
  if (gPos.FileSource == &file && gPos.FileGeneration == gProgram.generation) return;
  gPos.File = file;
  gPos.FileSource = &file;
  gPos.FileGeneration = gProgram.generation;
}

// One statement of the interpreter: steps 3 to 16.
bool Step(TParStack& ps) {
  int32_t pc = ++gExec.pc;
  SplitLine& line = SplitOf(pc);
  ShowFileOf(pc);
  gPos.SourceLine = gProgram.LineOf(pc);
  gPos.CompiledLine = pc;
  gPos.LocationForm = TPosition::Form::Interpreter;
  // The split lines stay in place while the program runs.
  gPos.Statement = &line.statement;
  gExec.handled = false;
  gExec.command = line.command;
  gExec.args = line.args;
  using Kind = SplitLine::Kind;
  if (line.kind != Kind::Rem && !line.argumentsChecked) line.argumentsChecked = CheckArguments(line.args);
  if (line.kind != Kind::Rem && !line.argumentsChecked) {
    // The report returned (error level below 0): the statement is not run.
    gExec.handled = true;
  } else {
    // The debugging aids turn their line into a REM for this run.
    bool aid = true;
    if (line.kind == Kind::Breakpoint) {
      Breakpoint(gExec.args);
      gExec.command = "REM";
    } else if (line.kind == Kind::DebugInfo) {
      DebugInfo(ps, gExec.args);
      gExec.command = "REM";
    } else {
      aid = false;
      if (gErr.Trace && !gExec.command.empty() && line.kind != Kind::Rem) Trace();
    }
    const StatementMark mark = MarkStatement();
    bool abandoned = false;
    try {
      if (aid) {
        if (DispatchStatement(ps)) return true;
      } else {
        const Resolved& resolved = ResolvedOf(line);
        gExec.lineCondition = &line.condition;
        if (DispatchResolved(ps, resolved, &line.argsCut, &line.memo)) return true;
      }
    } catch (const std::bad_alloc&) {
      abandoned = true;
    } catch (const std::length_error&) {
      abandoned = true;
    }
    if (abandoned) {
      gPos.Statement = &line.statement;
      ShowFileOf(pc);
      gPos.SourceLine = gProgram.LineOf(pc);
      gPos.CompiledLine = pc;
      gPos.LocationForm = TPosition::Form::Interpreter;
      ReportExhaustedMemory(mark);
    }
  }
  BetweenStatements(!gExec.noPump && PumpDue());
  return false;
}

}  // namespace

void ResetExecutor() {
  bool compiled = gExec.compiledMode;
  gExec = ExecState();
  gExec.compiledMode = compiled;
  gExec.lineCount = gProgram.Length();
  ResetPumpRhythm();
}

void SetInfoBoxHook(InfoBoxHook hook) { gInfoBoxHook = hook; }

bool DispatchStatement(TParStack& ps) { return DispatchResolved(ps, Resolve(gExec.command), nullptr, nullptr); }

namespace {

// argsCut: gExec.args without its comment when the caller has it already;
// memo: where that text's kept form was found last time.
bool DispatchResolved(TParStack& ps, const Resolved& r, const std::string* argsCut, TextCacheMemo* memo) {
  const std::string_view cmd = gExec.command;
  // A label only marks a place.
  if (!cmd.empty() && cmd.back() == ':' && gExec.args.empty()) {
    gExec.handled = true;
    return false;
  }
  if (gExec.pendingMenu == 255) {
    if (gInfoBoxHook && !gExec.compiledMode) gInfoBoxHook();
    gExec.pendingMenu = 254;
  }
  const CommandEntry* st = r.statement;
  if (st && st->phase == StatementPhase::BeforeComment) {
    gExec.handled = true;
    return st->statement(ps);
  }
  if (r.skipped) {
    gExec.handled = true;
    return false;
  }
  if (argsCut) {
    gExec.args = *argsCut;
  } else {
    // Only a statement without a split line of its own comes here: its
    // cut text is kept until the next such statement.
    static std::string cut;
    cut = gExec.args;
    CutComment(cut);
    gExec.args = cut;
    gExec.lineCondition = nullptr;
  }
  if (cmd == "@") {
    EvaluateAndDrop(ps, gExec.args);
    gExec.handled = true;
    return false;
  }
  if (st) {
    gExec.handled = true;
    return st->statement(ps);
  }
  if (const CommandEntry* ce = r.command) {
    gExec.handled = true;
    if (!ce->quiet) NoteOutsideWork();
    // The line's arguments stay in place: a kept form runs from them
    // without a copy into the evaluator.
    if (r.prepared == nullptr || !r.prepared(gExec.args, ps, argsCut ? memo : nullptr)) {
      gEval.SetText(gExec.args);
      ce->handler(ps);
    }
    return false;
  }
  if (gExec.endFlag) return false;
  if (CallProcedureStatement(cmd, gExec.args, ps)) {
    gExec.handled = true;
    return false;
  }
  std::string asCall = std::string(cmd).append(gExec.args);
  if (HasFunctionCallForm(asCall)) {
    EvaluateAndDrop(ps, asCall);
    gExec.handled = true;
    return false;
  }
  RaiseError(102, std::string(cmd));
  return false;
}

}  // namespace

void RunBetweenStatements(bool pump) {
  const StatementMark settled = MarkStatement();
  try {
    if (pump) host().PumpMessages();
    CheckErrorProc();
  } catch (const std::bad_alloc&) {
    ReportExhaustedMemory(settled);
  } catch (const std::length_error&) {
    ReportExhaustedMemory(settled);
  }
}

StatementMark MarkStatement() { return StatementMark{gExec.pc, gProc.count, MarkOperations()}; }

void ReportExhaustedMemory(const StatementMark& mark) {
  RestoreOperations(mark.operations);
  while (gProc.count > mark.frames) PopFrame();
  gExec.pc = mark.pc;
  gExec.handled = true;
  RaiseError(219);
}

namespace {
RunFunction gCompiledRun = nullptr;
}  // namespace

void SetCompiledRun(RunFunction run) { gCompiledRun = run; }

bool Run(TParStack& ps, int32_t startLine) {
  if (gExec.compiledMode && gCompiledRun) return gCompiledRun(ps, startLine);
  gExec.pc = startLine;
  while (gExec.pc < gExec.lineCount && !gExec.endFlag) {
    if (Step(ps)) break;
  }
  return gExec.endFlag;
}

}  // namespace korv
