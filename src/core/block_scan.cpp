#include <array>
#include <vector>

#include "core/line_store.h"
#include "base/text.h"
#include "core/block_scan.h"

namespace korv {

namespace {

struct ScanRule {
  std::array<std::string_view, 3> openers;
  std::array<std::string_view, 2> closers;
  std::array<std::string_view, 2> stops;  // only at depth 0
  bool repeatOpens;   // a line that is "REPEAT" or begins with "REPEAT " opens
  bool runEndLine;    // the end line itself runs next (target = end - 1)
  int32_t missing;    // error when the lines run out
};

const ScanRule& RuleOf(BlockScan scan) {
  static const ScanRule kRules[] = {
      // FalseCondition
      {{"IF ", "IFNOT "}, {"ENDIF"}, {"ELSEIF", "ELSE"}, false, true, 106},
      // BranchDone
      {{"IF ", "IFNOT "}, {"ENDIF"}, {}, false, true, 107},
      // LoopEnd
      {{"WHILE ", "WHILENOT ", "WHILELOOP "}, {"ENDWHILE"}, {}, false, false, 109},
      // LeaveLoop
      {{"WHILE ", "WHILENOT ", "WHILELOOP "}, {"UNTIL", "ENDWHILE"}, {}, true, false, 109},
      // NoMatch
      {{"SELECT "}, {"ENDSELECT"}, {"CASEOF ", "OTHERWISE"}, false, true, 142},
      // SelectionDone
      {{"SELECT "}, {"ENDSELECT"}, {}, false, true, 143},
      // SkipProcedure
      {{"PROC ", "SUBPROC ", "ERRORPROC"}, {"ENDPROC"}, {}, false, false, 115},
  };
  return kRules[static_cast<int>(scan)];
}

bool AnyKeyword(std::string_view line, const auto& words) {
  for (std::string_view w : words)
    if (!w.empty() && BeginsWithKeyword(line, w)) return true;
  return false;
}

constexpr int kScanKinds = 7;

// Upper-cased lines and scan results of the loaded program.
struct ScanCache {
  uint32_t generation = UINT32_MAX;
  size_t lines = 0;
  std::vector<std::string> upper;                      // built on first use
  std::array<std::vector<int32_t>, kScanKinds> ends;   // -1 unknown, 0 none

  void Refresh() {
    if (generation == gProgram.generation && lines == gProgram.lines.size()) return;
    generation = gProgram.generation;
    lines = gProgram.lines.size();
    upper.clear();
    for (auto& v : ends) v.clear();
  }
  std::string_view Upper(int32_t i) {
    if (upper.empty()) {
      upper.reserve(gProgram.lines.size());
      for (const std::string& line : gProgram.lines) upper.push_back(korv::Upper(Trim(line)));
    }
    return upper[static_cast<size_t>(i)];
  }
};

ScanCache& Cache() {
  static ScanCache cache;
  return cache;
}

}  // namespace

bool BeginsWithKeyword(std::string_view upperLine, std::string_view keyword) {
  return upperLine.size() >= keyword.size() && upperLine.compare(0, keyword.size(), keyword) == 0;
}

ScanLine ClassifyScanLine(BlockScan scan, std::string_view line) {
  const ScanRule& rule = RuleOf(scan);
  if (AnyKeyword(line, rule.openers) ||
      (rule.repeatOpens && (line == "REPEAT" || BeginsWithKeyword(line, "REPEAT "))))
    return ScanLine::Opener;
  if (AnyKeyword(line, rule.closers)) return ScanLine::Closer;
  if (AnyKeyword(line, rule.stops)) return ScanLine::Stop;
  return ScanLine::Other;
}

int32_t ScanBlockEnd(BlockScan scan, int32_t from, int32_t last, const UpperLineFn& upperLine) {
  int32_t depth = 0;
  for (int32_t i = (from < 0 ? 0 : from) + 1; i <= last; ++i) {
    switch (ClassifyScanLine(scan, upperLine(i))) {
      case ScanLine::Opener: ++depth; break;
      case ScanLine::Closer:
        if (depth == 0) return i;
        --depth;
        break;
      case ScanLine::Stop:
        if (depth == 0) return i;
        break;
      case ScanLine::Other: break;
    }
  }
  return 0;
}

int32_t ScanBlockEnd(BlockScan scan, int32_t from) {
  ScanCache& c = Cache();
  c.Refresh();
  const int32_t last = gProgram.Length();
  if (from < 0 || from > last) return 0;
  std::vector<int32_t>& ends = c.ends[static_cast<int>(scan)];
  if (ends.empty()) ends.assign(static_cast<size_t>(last) + 1, -1);
  int32_t& slot = ends[static_cast<size_t>(from)];
  if (slot < 0) slot = ScanBlockEnd(scan, from, last, [&c](int32_t i) { return c.Upper(i); });
  return slot;
}

int32_t ScanTarget(BlockScan scan, int32_t endLine) {
  return RuleOf(scan).runEndLine ? endLine - 1 : endLine;
}

int32_t ScanMissingError(BlockScan scan) { return RuleOf(scan).missing; }

int32_t FindBlockTarget(BlockScan scan, int32_t from) {
  int32_t end = ScanBlockEnd(scan, from);
  return end == 0 ? 0 : ScanTarget(scan, end);
}

}  // namespace korv
