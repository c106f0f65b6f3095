// The text executor: fetches a line, splits it, runs the debugging aids,
// dispatches it, pumps messages and starts the error procedure when due.
#include "engine/executor.h"
#include "engine/pump_rhythm.h"

#include <new>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "core/line_store.h"
#include "core/text.h"
#include "engine/commands.h"
#include "engine/errors.h"
#include "engine/host.h"
#include "engine/procedures.h"
#include "values/evaluator.h"

namespace korv {

ExecState gExec;

namespace {

std::unordered_map<std::string, StatementEntry>& Statements() {
  static std::unordered_map<std::string, StatementEntry> table;
  return table;
}

InfoBoxHook gInfoBoxHook = nullptr;

// Characters that may not stand before the "(" of a function call.
bool IsCallBreaker(unsigned char c) {
  switch (c) {
    case '\'': case '"': case '/': case ')': case '[': case '\\': case ']': case '=':
    case '?': case ',': case ';': case ':': case '-': case '<': case '>': case '^':
    case '*': case '+': case '`': case 0xB4: case '{': case '|': case '}': case ' ':
    case 0xA7:
      return true;
    default:
      return false;
  }
}

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

void Breakpoint(const std::string& text) {
  WriteTelmarLog("BREAKPOINT", gPos.SourceLine, gPos.File, 0, text);
  std::string body = ShortLocation();
  DebugBox("BREAKPOINT: " + text, body);
  AppendToLogFile(body);
}

void DebugInfo(TParStack& ps, const std::string& args) {
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

void EvaluateAndDrop(TParStack& ps, const std::string& text) {
  gEval.SetText(text);
  Evaluate(ps, ' ', 0);
}

// What a statement's line gives before it runs: the lines do not change
// while a program runs, so each is split once. The argument check is kept
// only when it passed; a failing check runs (and reports) every time.
struct SplitLine {
  bool made = false;
  bool argumentsChecked = false;
  std::string statement, command, args;
};

struct SplitCache {
  uint32_t generation = ~0u;
  std::vector<SplitLine> lines;
};
SplitCache gSplit;

SplitLine& SplitOf(int32_t pc) {
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
    l.made = true;
  }
  return l;
}

// One statement of the interpreter: steps 3 to 16.
bool Step(TParStack& ps) {
  int32_t pc = ++gExec.pc;
  SplitLine& line = SplitOf(pc);
  gExec.statement = line.statement;
  gPos.File = gProgram.FileOf(pc);
  gPos.SourceLine = gProgram.LineOf(pc);
  gPos.CompiledLine = pc;
  gPos.LocationForm = TPosition::Form::Interpreter;
  gExec.handled = false;
  gExec.command = line.command;
  gExec.args = line.args;
  if (gExec.command != "REM" && !line.argumentsChecked) line.argumentsChecked = CheckArguments(gExec.args);
  if (gExec.command != "REM" && !line.argumentsChecked) {
    // The report returned (error level below 0): the statement is not run.
    gExec.handled = true;
  } else {
    const std::string& cmd = gExec.command;
    if (cmd == "$B") {
      Breakpoint(gExec.args);
      gExec.command = "REM";
    } else if (cmd == "$D") {
      DebugInfo(ps, gExec.args);
      gExec.command = "REM";
    } else if (gErr.Trace && !cmd.empty() && cmd != "REM") {
      Trace();
    }
    const StatementMark mark = MarkStatement();
    bool abandoned = false;
    try {
      if (DispatchStatement(ps)) return true;
    } catch (const std::bad_alloc&) {
      abandoned = true;
    } catch (const std::length_error&) {
      abandoned = true;
    }
    if (abandoned) {
      gExec.statement = line.statement;
      gPos.File = gProgram.FileOf(pc);
      gPos.SourceLine = gProgram.LineOf(pc);
      gPos.CompiledLine = pc;
      gPos.LocationForm = TPosition::Form::Interpreter;
      ReportExhaustedMemory(mark);
    }
  }
  if (!gExec.noPump) PumpBetweenStatements();
  CheckErrorProc();
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

void RegisterStatement(std::string name, int code, StatementPhase phase, StatementHandler handler) {
  StatementEntry e{name, code, phase, handler};
  Statements()[name] = std::move(e);
}

const StatementEntry* FindStatement(const std::string& upperName) {
  auto it = Statements().find(upperName);
  return it == Statements().end() ? nullptr : &it->second;
}

void SetInfoBoxHook(InfoBoxHook hook) { gInfoBoxHook = hook; }

bool HasFunctionCallForm(const std::string& text) {
  size_t paren = text.find('(');
  if (paren == std::string::npos || paren == 0) return false;
  // Index parts of member chains ("#[" ... "].") do not count.
  std::string head = text.substr(0, paren);
  for (size_t open = head.find("#["); open != std::string::npos; open = head.find("#[")) {
    size_t close = head.find("].", open);
    if (close == std::string::npos) break;
    head.erase(open + 1, close + 1 - open);
  }
  for (char c : head)
    if (IsCallBreaker(static_cast<unsigned char>(c))) return false;
  return true;
}

void SplitStatement(const std::string& text, std::string& command, std::string& args) {
  if (StartsWith(text, "@") || HasFunctionCallForm(text)) {
    command = "@";
    args = text;
    return;
  }
  size_t blank = FindTopLevel(text, ' ');
  size_t eq = FindTopLevel(text, '=');
  if (blank != std::string::npos && (eq == std::string::npos || eq > blank)) {
    command = Upper(Trim(std::string_view(text).substr(0, blank)));
    args = Trim(std::string_view(text).substr(blank + 1));
  } else if (eq != std::string::npos) {
    command = "LET";
    args = Trim(text);
  } else {
    command = Upper(text);
    args.clear();
  }
  if (!args.empty() && args[0] == '=') {
    args = command + args;
    command = "LET";
  }
}

bool CheckArguments(const std::string& args) {
  int open = 0, close = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    char c = args[i];
    if (c == '\'') break;
    if (c == '"') {
      size_t end = args.find('"', i + 1);
      if (end == std::string::npos) {
        RaiseError(238);
        return false;
      }
      i = end;
    } else if (c == '(') {
      ++open;
    } else if (c == ')') {
      ++close;
    }
  }
  if (open != close) {
    RaiseError(255, args);
    return false;
  }
  return true;
}

bool DispatchStatement(TParStack& ps) {
  std::string& cmd = gExec.command;
  // A label only marks a place.
  if (!cmd.empty() && cmd.back() == ':' && gExec.args.empty()) {
    gExec.handled = true;
    return false;
  }
  if (gExec.pendingMenu == 255) {
    if (gInfoBoxHook && !gExec.compiledMode) gInfoBoxHook();
    gExec.pendingMenu = 254;
  }
  const StatementEntry* st = FindStatement(cmd);
  if (st && st->phase == StatementPhase::BeforeComment) {
    gExec.handled = true;
    return st->handler(ps);
  }
  if (cmd == "REM" || cmd[0] == '\'' || cmd == "SETLFN" || cmd == "DEF") {
    gExec.handled = true;
    return false;
  }
  CutComment(gExec.args);
  if (cmd == "@") {
    EvaluateAndDrop(ps, gExec.args);
    gExec.handled = true;
    return false;
  }
  if (st) {
    gExec.handled = true;
    return st->handler(ps);
  }
  if (const CommandEntry* ce = FindCommand(cmd)) {
    gEval.SetText(gExec.args);
    gExec.handled = true;
    if (!ce->quiet) NoteOutsideWork();
    ce->handler(ps);
    return false;
  }
  if (gExec.endFlag) return false;
  if (CallProcedureStatement(cmd, gExec.args, ps)) {
    gExec.handled = true;
    return false;
  }
  std::string asCall = cmd + gExec.args;
  if (HasFunctionCallForm(asCall)) {
    EvaluateAndDrop(ps, asCall);
    gExec.handled = true;
    return false;
  }
  RaiseError(102, cmd);
  return false;
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

bool Run(const TParStack& ps, int32_t startLine) {
  if (gExec.compiledMode && gCompiledRun) return gCompiledRun(ps, startLine);
  TParStack local = ps;
  gExec.pc = startLine;
  while (gExec.pc < gExec.lineCount && !gExec.endFlag) {
    if (Step(local)) break;
  }
  return gExec.endFlag;
}

}  // namespace korv
