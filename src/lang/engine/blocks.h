// Block control flow: the IF, SELECT and loop stacks of the running program,
// the block statements that act on them, and the forward scans that find
// where a block ends.
//
// The scans are the single definition of "where does this block end": the
// text executor uses them at run time, the statement compiler uses them for
// the jump targets it stores. The statements themselves are written against
// BlockArgs, so an executor that reads its arguments differently (compiled
// lines with stored targets) runs the very same state transitions.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/block_scan.h"
#include "values/evaluator.h"
#include "values/value.h"

namespace korv {

// ---------------------------------------------------------------------------
// Depths and limits

constexpr int32_t kMaxCondDepth = 9830250;  // open IF/IFNOT levels (137 beyond)
constexpr int32_t kMaxSelDepth = 65535;     // open SELECT levels (141 beyond)
constexpr int32_t kMaxLoopDepth = 30;       // open loops (108 beyond)

struct BlockDepths {
  int32_t cond = 0;  // open IF/IFNOT levels
  int32_t sel = 0;   // open SELECT levels
  int32_t loop = 0;  // open loop levels
};
extern BlockDepths gBlocks;

// One level of the loop stack. The head line is the line of the WHILE,
// WHILENOT, WHILELOOP or REPEAT statement; the end of the body jumps back to
// it (head - 1), and the head pushes the level again on every pass.
struct LoopLevel {
  int32_t head = 0;
  // Counting record of WHILELOOP; current is kept wider than 32 bits so the
  // end test cannot overflow.
  int64_t current = 0;
  int32_t end = 0;
  int32_t step = 0;
  bool active = false;
  // Condition and selection depths when the head ran: BREAK, CONTINUE,
  // ENDWHILE and UNTIL restore them, closing blocks the body left open.
  int32_t cond = 0;
  int32_t sel = 0;
};

// One level of the selection stack: the value of SELECT in its three forms.
struct SelectLevel {
  bool matched = false;
  uint8_t kind = kind::kInt;  // 1 string, 2 integer, 3 long integer, 4 float
  std::string str;
  int32_t i = 0;
  double f = 0.0;
};

// Empties all three stacks (program start).
void ResetBlocks();

const LoopLevel& LoopAt(int32_t level);  // 1..kMaxLoopDepth

// Levels at or below this depth belong to the callers of the running
// procedure: for its loop statements they are no open loop (110).
int32_t LoopFloor();
// Drops the loop levels above depth (a procedure frame is popped): their
// counting records become inactive.
void DropLoopLevels(int32_t depth);

// The counter of the innermost running counting loop (&LOOP); 0 when none.
int32_t CurrentLoopCounter();

// ---------------------------------------------------------------------------
// Forward scans (the rules are in core/block_scan.h)

// The interpreter's jump: the target of the scan from the current line
// (gExec.pc); when the end is missing, the scan's error is raised and -1
// returned.
int32_t ScanJump(BlockScan scan);

// ---------------------------------------------------------------------------
// Block statements shared by the executors

enum class BlockOp : uint8_t {
  If, IfNot, ElseIf, Else, EndIf,
  While, WhileNot, WhileLoop, EndWhile, Continue, Break, Repeat, Until,
  Select, CaseOf, Otherwise, EndSelect,
  Case, CaseNot,
};

// What a block statement needs from the executor that runs it: its
// arguments, evaluated on demand (some statements refuse before they
// evaluate anything), and where to go when it skips.
class BlockArgs {
 public:
  virtual ~BlockArgs() = default;
  // The condition (IF, WHILE, UNTIL, CASE ...): its integer form is tested.
  // failed is set when the evaluation ended in a report that returned.
  virtual bool Condition(bool& failed) = 0;
  // WHILELOOP: end; start, end; or start, end, step (step 1 when missing).
  // False after a report that returned.
  virtual bool Counting(int32_t& start, int32_t& end, int32_t& step) = 0;
  // SELECT: the value into out (a number without its text form); false
  // after a report that returned.
  virtual bool Value(TEvalResult& out) = 0;
  // The argument text, for the detail of 216.
  virtual std::string Text() = 0;
  // CASEOF: evaluates every item and tells whether at least one matched.
  virtual bool AnyItemMatches(const SelectLevel& selection) = 0;
  // The program counter to continue from when the statement skips with this
  // scan (the executor's stored target, or ScanJump); -1 after reporting a
  // missing end (the statement then leaves the counter on the last line, so
  // the program ends after it). Besides the scan each statement uses, a head
  // refused by a full stack (108, 137, 141) asks for the scan that skips its
  // whole block: BranchDone from IF/IFNOT, SelectionDone from SELECT,
  // LoopEnd from WHILE/WHILENOT/WHILELOOP and LeaveLoop from REPEAT.
  virtual int32_t Jump(BlockScan scan) = 0;
};

// The evaluated parts of BlockArgs, shared by both executors: they differ in
// where the argument text lives and in whether it holds operator tokens.
class EvaluatedBlockArgs : public BlockArgs {
 public:
  EvaluatedBlockArgs(TParStack& ps, bool compiledText) : ps_(ps), compiledText_(compiledText) {}
  bool Condition(bool& failed) override;
  bool Counting(int32_t& start, int32_t& end, int32_t& step) override;
  bool Value(TEvalResult& out) override;
  bool AnyItemMatches(const SelectLevel& selection) override;
  std::string Text() override { return std::string(ArgText()); }

 protected:
  virtual std::string_view ArgText() = 0;
  // The precompiled program of the condition text, or null for the general
  // path: kept per program line (an executor whose statement texts stay in
  // place may keep it with the statement instead).
  virtual const PrecompiledArgument* ConditionProgram();
  // Reads an item's comparison ("<", "<>", ...) at the cursor, by the
  // executor's rules; cmp stays empty where none is written.
  virtual void ReadComparator(std::string& cmp) = 0;
  TParStack& ps_;

 private:
  struct KeptItems;
  const KeptItems& KeptItemsOf(std::string_view text);
  bool ItemsMatchFrom(const SelectLevel& selection, bool any);
  bool compiledText_;
};

// Runs one block statement at the current program counter (gExec.pc).
void RunBlockStatement(BlockOp op, BlockArgs& args);

// CASEOF comparison: cmp is "" or up to two characters of "<", "=", ">";
// combinations other than = <> < > <= >= never match.
bool SelectionMatches(const SelectLevel& selection, std::string_view cmp, const TEvalResult& item);
// The same for an item read with its text form pending (EvaluateListArgument):
// the text is made only where a string selection compares it.
bool ItemMatches(const SelectLevel& selection, std::string_view cmp, TEvalResult& item);

// Registers the block statements of the text executor and &LOOP.
void RegisterBlockStatements();

}  // namespace korv
