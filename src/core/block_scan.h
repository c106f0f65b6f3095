// The forward scans that find where a block ends: each following line is
// upper-cased and trimmed and its beginning compared with the block
// keywords, counting nested blocks. They are the single definition of
// "where does this block end": the text executor uses them at run time, the
// statement compiler for the jump targets it stores.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace korv {

enum class BlockScan : uint8_t {
  FalseCondition,  // IF, IFNOT, ELSEIF: next ELSEIF/ELSE/ENDIF at depth 0; that line runs
  BranchDone,      // ELSE: the matching ENDIF; it runs
  LoopEnd,         // WHILE, WHILENOT, WHILELOOP: the matching ENDWHILE; the line after it runs
  LeaveLoop,       // BREAK: the UNTIL or ENDWHILE closing the loop; the line after it runs
  NoMatch,         // CASEOF: next CASEOF/OTHERWISE/ENDSELECT at depth 0; that line runs
  SelectionDone,   // OTHERWISE: the matching ENDSELECT; it runs
  SkipProcedure,   // PROC, SUBPROC, ERRORPROC reached in sequence: past the matching ENDPROC
};

// True when an upper-cased, trimmed line begins with the keyword. Keywords
// that take arguments are given with their trailing blank ("IF ").
bool BeginsWithKeyword(std::string_view upperLine, std::string_view keyword);

// Gives line i upper-cased and trimmed.
using UpperLineFn = std::function<std::string_view(int32_t)>;

// The line where a scan that starts after line `from` ends (the closer or
// stop line), or 0 when line `last` is passed first. Works on any line
// source (the compiler's own upper-cased copy, for example).
int32_t ScanBlockEnd(BlockScan scan, int32_t from, int32_t last, const UpperLineFn& upperLine);

// The same over the loaded program. Results are remembered per line until
// another program is loaded (the lines never change while a program runs).
int32_t ScanBlockEnd(BlockScan scan, int32_t from);

// The jump target for a scan that ended at endLine: the program counter from
// which execution goes on (endLine - 1 when that line runs next, endLine when
// execution continues after it). These are also the compiled targets.
int32_t ScanTarget(BlockScan scan, int32_t endLine);

// The error of a scan that finds no end: 106, 107, 109, 109, 142, 143, 115.
int32_t ScanMissingError(BlockScan scan);

// ScanBlockEnd + ScanTarget over the loaded program; 0 when no end exists
// (nothing is reported).
int32_t FindBlockTarget(BlockScan scan, int32_t from);

// What a line is to a scan: it opens a nested block, closes one, or is a
// stop (ends the scan at depth 0 only).
enum class ScanLine : uint8_t { Other, Opener, Closer, Stop };
ScanLine ClassifyScanLine(BlockScan scan, std::string_view upperLine);

}  // namespace korv
