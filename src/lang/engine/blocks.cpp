// The block statements: IF/IFNOT/ELSEIF/ELSE/ENDIF, the loops WHILE,
// WHILENOT, WHILELOOP and REPEAT/UNTIL with BREAK and CONTINUE, SELECT/
// CASEOF/OTHERWISE/ENDSELECT and the one-line conditions CASE/CASENOT.
#include "engine/blocks.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "base/text.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "engine/procedures.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/text_cache.h"

namespace korv {

BlockDepths gBlocks;

namespace {

// Taken bytes of the open IF levels (index = level), grown on demand.
std::vector<uint8_t> gTaken;
std::vector<SelectLevel> gSelects;
std::array<LoopLevel, kMaxLoopDepth + 1> gLoops{};

uint8_t& Taken(int32_t level) {
  if (gTaken.size() <= static_cast<size_t>(level))
    gTaken.resize(std::max<size_t>(static_cast<size_t>(level) + 1, gTaken.size() * 2), 0);
  return gTaken[static_cast<size_t>(level)];
}

SelectLevel& Selection(int32_t level) {
  if (gSelects.size() <= static_cast<size_t>(level))
    gSelects.resize(std::max<size_t>(static_cast<size_t>(level) + 1, gSelects.size() * 2));
  return gSelects[static_cast<size_t>(level)];
}

// Sets the counter to the scan's target. False when the end is missing (the
// report is made and the counter left on the last line).
bool Goto(BlockArgs& a, BlockScan scan) {
  int32_t target = a.Jump(scan);
  if (target < 0) {
    gExec.pc = gExec.lineCount;
    return false;
  }
  gExec.pc = target;
  return true;
}

// Skips a whole block whose head was refused (a full stack): execution goes
// on after the block's end line, which must not run since no level was
// pushed for it.
void SkipBlock(BlockArgs& a, BlockScan scan) {
  if (!Goto(a, scan)) return;
  if (scan == BlockScan::BranchDone || scan == BlockScan::SelectionDone) ++gExec.pc;
}

// A condition that ended in a report counts as not met: the code it guards
// does not run.
bool Met(BlockArgs& a, bool inverted) {
  bool failed = false;
  bool c = a.Condition(failed);
  if (inverted) c = !c;
  return c && !failed;
}

LoopLevel& PushLoop() {
  LoopLevel& l = gLoops[static_cast<size_t>(++gBlocks.loop)];
  l.head = gExec.pc;
  l.active = false;
  l.cond = gBlocks.cond;
  l.sel = gBlocks.sel;
  return l;
}

bool LoopOpen() {
  if (gBlocks.loop > LoopFloor() && gBlocks.loop > 0) return true;
  RaiseError(110);
  return false;
}

// The end of a pass (ENDWHILE, CONTINUE): back to the head line.
void EndPass() {
  if (!LoopOpen()) return;
  const LoopLevel& l = gLoops[static_cast<size_t>(gBlocks.loop)];
  gBlocks.cond = l.cond;
  gBlocks.sel = l.sel;
  gExec.pc = l.head - 1;
  --gBlocks.loop;
}

void DoIf(BlockArgs& a, bool inverted) {
  if (gBlocks.cond >= kMaxCondDepth) {
    RaiseError(137);
    SkipBlock(a, BlockScan::BranchDone);
    return;
  }
  const int32_t level = ++gBlocks.cond;
  Taken(level) = 1;
  if (!Met(a, inverted)) {
    Taken(level) = 0;
    Goto(a, BlockScan::FalseCondition);
  }
}

void DoElseIf(BlockArgs& a) {
  if (gBlocks.cond <= 0) {
    RaiseError(126);
    return;
  }
  bool met = Met(a, false);
  uint8_t& taken = Taken(gBlocks.cond);
  if (met && taken != 1) {
    taken = 1;
  } else {
    Goto(a, BlockScan::FalseCondition);
  }
}

void DoElse(BlockArgs& a) {
  if (gBlocks.cond <= 0) {
    RaiseError(126);
    return;
  }
  uint8_t& taken = Taken(gBlocks.cond);
  if (taken == 1) {
    Goto(a, BlockScan::BranchDone);
  } else {
    taken = 1;
  }
}

void DoEndIf() {
  if (gBlocks.cond <= 0) {
    RaiseError(126);
    return;
  }
  --gBlocks.cond;
}

void DoWhile(BlockArgs& a, bool inverted) {
  if (gBlocks.loop >= kMaxLoopDepth) {
    RaiseError(108);
    SkipBlock(a, BlockScan::LoopEnd);
    return;
  }
  bool met = Met(a, inverted);
  PushLoop();
  if (!met) {
    Goto(a, BlockScan::LoopEnd);
    --gBlocks.loop;
  }
}

void DoWhileLoop(BlockArgs& a) {
  if (gBlocks.loop >= kMaxLoopDepth) {
    RaiseError(108);
    SkipBlock(a, BlockScan::LoopEnd);
    return;
  }
  const int32_t head = gExec.pc;
  const int32_t level = ++gBlocks.loop;
  LoopLevel& l = gLoops[static_cast<size_t>(level)];
  // A record left active by another loop head is stale: set up anew.
  if (!l.active || l.head != head) {
    l.active = false;
    int32_t start = 1, end = 0, step = 1;
    bool ok = a.Counting(start, end, step);
    if (ok && step == 0) {
      RaiseError(264);
      ok = false;
    }
    if (!ok) {
      // No pass runs.
      Goto(a, BlockScan::LoopEnd);
      gBlocks.loop = level - 1;
      return;
    }
    l.head = head;
    l.end = end;
    l.step = step;
    l.current = static_cast<int64_t>(start) - step;
    l.active = true;
  }
  l.cond = gBlocks.cond;
  l.sel = gBlocks.sel;
  l.current += l.step;
  if ((l.step > 0 && l.current > l.end) || (l.step < 0 && l.current < l.end)) {
    l.active = false;
    Goto(a, BlockScan::LoopEnd);
    gBlocks.loop = level - 1;
  }
}

void DoBreak(BlockArgs& a) {
  if (!LoopOpen()) return;
  LoopLevel& l = gLoops[static_cast<size_t>(gBlocks.loop)];
  bool found = Goto(a, BlockScan::LeaveLoop);
  l.active = false;
  if (!found) return;
  gBlocks.cond = l.cond;
  gBlocks.sel = l.sel;
  --gBlocks.loop;
}

void DoRepeat(BlockArgs& a) {
  if (gBlocks.loop >= kMaxLoopDepth) {
    RaiseError(108);
    SkipBlock(a, BlockScan::LeaveLoop);
    return;
  }
  PushLoop();
}

void DoUntil(BlockArgs& a) {
  if (!LoopOpen()) return;
  bool failed = false;
  bool c = a.Condition(failed);
  const LoopLevel& l = gLoops[static_cast<size_t>(gBlocks.loop)];
  gBlocks.cond = l.cond;
  gBlocks.sel = l.sel;
  // A condition that ended in a report leaves the loop.
  if (!c && !failed) gExec.pc = l.head - 1;
  --gBlocks.loop;
}

void DoSelect(BlockArgs& a) {
  if (gBlocks.sel >= kMaxSelDepth) {
    RaiseError(141);
    SkipBlock(a, BlockScan::SelectionDone);
    return;
  }
  const int32_t level = ++gBlocks.sel;
  Selection(level) = SelectLevel();
  TEvalResult v;
  bool ok = a.Value(v);
  if (ok && v.ResultKind > kind::kFloat) {
    RaiseError(216, a.Text());
    ok = false;
  }
  SelectLevel& s = Selection(level);
  s = SelectLevel();
  if (!ok) return;  // the level stays open with the value 0
  s.kind = v.ResultKind == kind::kNone ? kind::kInt : v.ResultKind;
  s.str = std::move(v.StrValue);
  s.i = v.IntValue;
  s.f = v.FloatValue;
}

void DoCaseOf(BlockArgs& a) {
  if (gBlocks.sel <= 0) {
    RaiseError(140);
    return;
  }
  // A copy: procedures called by the items may open selections of their own.
  const SelectLevel value = Selection(gBlocks.sel);
  bool any = a.AnyItemMatches(value);
  SelectLevel& s = Selection(gBlocks.sel);
  if (any && !s.matched) {
    s.matched = true;
  } else {
    Goto(a, BlockScan::NoMatch);
  }
}

void DoOtherwise(BlockArgs& a) {
  if (gBlocks.sel <= 0) {
    RaiseError(140);
    return;
  }
  SelectLevel& s = Selection(gBlocks.sel);
  if (s.matched) {
    Goto(a, BlockScan::SelectionDone);
  } else {
    s.matched = true;
  }
}

void DoEndSelect() {
  if (gBlocks.sel <= 0) {
    RaiseError(140);
    return;
  }
  Selection(gBlocks.sel).str.clear();
  --gBlocks.sel;
}

void DoCase(BlockArgs& a, bool inverted) {
  if (!Met(a, inverted)) ++gExec.pc;
}

// ---------------------------------------------------------------------------
// Arguments of either executor

// The precompiled program of each line's condition, kept by line number and
// checked against the text and its form, so a loop head does not look its
// program up by text on every pass.
struct KeptCondition {
  bool made = false;
  bool compiledText = false;
  std::string text;
  std::shared_ptr<const PrecompiledArgument> program;
};
std::vector<KeptCondition> gKeptConditions;

const PrecompiledArgument* KeptConditionOf(std::string_view text) {
  const int32_t pc = gExec.pc;
  if (pc < 0 || pc > gExec.lineCount) return nullptr;
  const auto line = static_cast<size_t>(pc);
  if (line >= gKeptConditions.size()) gKeptConditions.resize(static_cast<size_t>(gExec.lineCount) + 1);
  KeptCondition& k = gKeptConditions[line];
  if (!k.made || k.compiledText != gCompiledText || k.text != text) {
    k.text = text;
    k.compiledText = gCompiledText;
    k.program = PrecompileArgument(text);
    k.made = true;
  }
  return k.program.get();
}

}  // namespace

const PrecompiledArgument* EvaluatedBlockArgs::ConditionProgram() { return KeptConditionOf(ArgText()); }

bool EvaluatedBlockArgs::Condition(bool& failed) {
  // The kept program reads no text: the evaluator is given the condition's
  // text only for the general path.
  if (const PrecompiledArgument* p = ConditionProgram(); p != nullptr && RunPrecompiled(*p, false)) {
    failed = gEval.failed;
    return gRes.IntValue != 0;
  }
  gEval.SetText(ArgText());
  EvaluateCondition(ps_);
  failed = gEval.failed;
  return gRes.IntValue != 0;
}

bool EvaluatedBlockArgs::Counting(int32_t& start, int32_t& end, int32_t& step) {
  const std::string_view t = ArgText();
  int commas = 0;
  for (size_t p = FindTopLevel(t, ','); p != std::string::npos && commas < 3;
       p = FindTopLevel(t, ',', compiledText_, p + 1))
    ++commas;
  gEval.SetText(t);
  start = 1;
  step = 1;
  if (commas == 0) {
    end = EvalInt(ps_, ' ');
    return !gEval.failed;
  }
  start = EvalInt(ps_, ',');
  if (gEval.failed) return false;
  end = EvalInt(ps_, commas == 1 ? ' ' : ',');
  if (gEval.failed || commas == 1) return !gEval.failed;
  step = EvalInt(ps_, commas == 2 ? ' ' : ',');
  return !gEval.failed;
}

// A CASEOF list whose items are all plain arithmetic, read once per list
// text: each item's comparison, where it starts, and its kept argument.
struct EvaluatedBlockArgs::KeptItems {
  struct Item {
    size_t start = 0;
    std::string cmp;
    KeptListArgument argument;
  };
  bool kept = false;
  std::vector<Item> items;
  size_t end = 0;  // the cursor after the list
};

const EvaluatedBlockArgs::KeptItems& EvaluatedBlockArgs::KeptItemsOf(std::string_view text) {
  static TextCache<KeptItems> lists[2];
  return lists[compiledText_ ? 1 : 0].Of(text, [this](KeptItems& out) {
    const size_t from = gEval.pos;
    out.kept = true;
    while (!gEval.RestEmpty()) {
      KeptItems::Item item;
      item.start = gEval.pos;
      ReadComparator(item.cmp);
      if (gEval.RestEmpty()) break;
      if (!KeepListArgument(item.argument)) {
        out.kept = false;
        break;
      }
      gEval.pos = item.argument.end;
      out.items.push_back(std::move(item));
    }
    out.end = gEval.pos;
    gEval.pos = from;
  });
}

// Every item is evaluated (each may have effects), matched or not.
bool EvaluatedBlockArgs::AnyItemMatches(const SelectLevel& selection) {
  gEval.SetText(ArgText());
  bool any = false;
  const KeptItems& kept = KeptItemsOf(gEval.text);
  if (!kept.kept) return ItemsMatchFrom(selection, any);
  // Nothing below asks the kept lists for another text, so this list stays
  // in place while it is read.
  for (const KeptItems::Item& item : kept.items) {
    if (!RunKeptListArgument(item.argument)) {
      gEval.pos = item.start;
      return ItemsMatchFrom(selection, any);
    }
    if (!gEval.failed && ItemMatches(selection, item.cmp, gRes)) any = true;
  }
  gEval.pos = kept.end;
  return any;
}

bool EvaluatedBlockArgs::ItemsMatchFrom(const SelectLevel& selection, bool any) {
  std::string cmp;
  while (!gEval.RestEmpty()) {
    const size_t before = gEval.pos;
    cmp.clear();
    ReadComparator(cmp);
    if (gEval.RestEmpty()) break;
    EvaluateListArgument(ps_);
    if (!gEval.failed && ItemMatches(selection, cmp, gRes)) any = true;
    if (gEval.pos <= before) break;  // no progress: the rest is unreadable
  }
  return any;
}

bool EvaluatedBlockArgs::Value(TEvalResult& out) {
  gEval.SetText(ArgText());
  // A selection compares by its number forms unless it is a string: no
  // text form is made for a number.
  EvaluateCondition(ps_);
  out = gRes;
  return !gEval.failed;
}

namespace {

// ---------------------------------------------------------------------------
// The text executor's arguments

class TextBlockArgs : public EvaluatedBlockArgs {
 public:
  explicit TextBlockArgs(TParStack& ps) : EvaluatedBlockArgs(ps, false) {}


  int32_t Jump(BlockScan scan) override { return ScanJump(scan); }

 protected:
  std::string_view ArgText() override { return gExec.args; }
  const PrecompiledArgument* ConditionProgram() override {
    KeptLineCondition* k = gExec.lineCondition;
    if (k == nullptr) return EvaluatedBlockArgs::ConditionProgram();
    if (!k->made || k->compiledText != gCompiledText) {
      k->program = PrecompileArgument(gExec.args);
      k->compiledText = gCompiledText;
      k->made = true;
    }
    return k->program.get();
  }
  // Blanks around the comparison are skipped.
  void ReadComparator(std::string& cmp) override {
    while (!gEval.RestEmpty() && IsBlankChar(gEval.text[gEval.pos])) ++gEval.pos;
    while (cmp.size() < 2 && !gEval.RestEmpty()) {
      char c = gEval.text[gEval.pos];
      if (c != '<' && c != '=' && c != '>') break;
      cmp.push_back(c);
      ++gEval.pos;
    }
    while (!gEval.RestEmpty() && IsBlankChar(gEval.text[gEval.pos])) ++gEval.pos;
  }
};

template <BlockOp op>
bool TextStatement(TParStack& ps) {
  TextBlockArgs args(ps);
  RunBlockStatement(op, args);
  return false;
}

void VarLoop(TEvalResult& r) {
  int32_t v = CurrentLoopCounter();
  r.IntValue = v;
  r.FloatValue = v;
  r.PendingText = TEvalResult::kTextFromInt;  // a counting loop reads it on every pass
  r.ResultKind = kind::kLong;
}

}  // namespace

void ResetBlocks() {
  gBlocks = BlockDepths();
  gTaken.clear();
  gTaken.shrink_to_fit();
  gSelects.clear();
  gSelects.shrink_to_fit();
  gLoops.fill(LoopLevel());
}

const LoopLevel& LoopAt(int32_t level) {
  return gLoops[static_cast<size_t>(std::clamp(level, 0, kMaxLoopDepth))];
}

int32_t LoopFloor() { return gProc.frames[static_cast<size_t>(gProc.count)].loopDepth; }

void DropLoopLevels(int32_t depth) {
  depth = std::clamp(depth, 0, kMaxLoopDepth);
  for (int32_t i = depth + 1; i <= gBlocks.loop && i <= kMaxLoopDepth; ++i)
    gLoops[static_cast<size_t>(i)].active = false;
  gBlocks.loop = depth;
}

int32_t CurrentLoopCounter() {
  for (int32_t i = std::min(gBlocks.loop, kMaxLoopDepth); i >= 1; --i) {
    const LoopLevel& l = gLoops[static_cast<size_t>(i)];
    if (l.active) return static_cast<int32_t>(l.current);
  }
  return 0;
}

bool ItemMatches(const SelectLevel& s, std::string_view cmp, TEvalResult& item) {
  if (s.kind == kind::kString) MaterializeText(item);
  return SelectionMatches(s, cmp, item);
}

bool SelectionMatches(const SelectLevel& s, std::string_view cmp, const TEvalResult& item) {
  int c;  // sign of selection value minus item
  if (s.kind == kind::kString) {
    int r = std::string_view(s.str).compare(item.StrValue);
    c = r < 0 ? -1 : (r > 0 ? 1 : 0);
  } else if (s.kind == kind::kFloat) {
    c = s.f < item.FloatValue ? -1 : (s.f > item.FloatValue ? 1 : 0);
  } else {
    c = s.i < item.IntValue ? -1 : (s.i > item.IntValue ? 1 : 0);
  }
  if (cmp.empty() || cmp == "=") return c == 0;
  if (cmp == "<>") return c != 0;
  if (cmp == "<") return c < 0;
  if (cmp == ">") return c > 0;
  if (cmp == "<=") return c <= 0;
  if (cmp == ">=") return c >= 0;
  return false;
}

void RunBlockStatement(BlockOp op, BlockArgs& a) {
  switch (op) {
    case BlockOp::If: DoIf(a, false); break;
    case BlockOp::IfNot: DoIf(a, true); break;
    case BlockOp::ElseIf: DoElseIf(a); break;
    case BlockOp::Else: DoElse(a); break;
    case BlockOp::EndIf: DoEndIf(); break;
    case BlockOp::While: DoWhile(a, false); break;
    case BlockOp::WhileNot: DoWhile(a, true); break;
    case BlockOp::WhileLoop: DoWhileLoop(a); break;
    case BlockOp::EndWhile:
    case BlockOp::Continue: EndPass(); break;
    case BlockOp::Break: DoBreak(a); break;
    case BlockOp::Repeat: DoRepeat(a); break;
    case BlockOp::Until: DoUntil(a); break;
    case BlockOp::Select: DoSelect(a); break;
    case BlockOp::CaseOf: DoCaseOf(a); break;
    case BlockOp::Otherwise: DoOtherwise(a); break;
    case BlockOp::EndSelect: DoEndSelect(); break;
    case BlockOp::Case: DoCase(a, false); break;
    case BlockOp::CaseNot: DoCase(a, true); break;
  }
}

void RegisterBlockStatements() {
#define KORV_UNIT_blocks 1
#include "base/bind_unit.h"
#undef KORV_UNIT_blocks
}

}  // namespace korv
