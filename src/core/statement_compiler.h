// The statement compiler: turns each slot of the line store into one
// compiled statement (code byte, optional jump target, tokenised arguments).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <memory>
#include <unordered_map>
#include <vector>

#include "core/block_scan.h"

namespace korv {

struct CompileCounters {
  int32_t ifs = 0;
  int32_t selects = 0;
  int32_t whiles = 0;
  int32_t procs = 0;
};

// The slot where a block-end scan from slot `from` ends, as ScanBlockEnd
// finds it over slots up to last (0 when none), in logarithmic time per
// query: deeply nested blocks would otherwise make compiling quadratic.
class BlockEnds {
 public:
  explicit BlockEnds(const std::vector<std::string>& upperSlots, int32_t last)
      : upper_(upperSlots), last_(last) {}
  int32_t Find(BlockScan scan, int32_t from);

 private:
  struct Index {
    bool built = false;
    std::vector<int32_t> depthBefore;  // 1..last_ + 1
    std::unordered_map<int32_t, std::vector<int32_t>> ends;
  };
  const std::vector<std::string>& upper_;
  int32_t last_;
  std::array<Index, 7> index_;
};

// Compiles the slots of gProgram in order. Errors go through the error
// routine with the source position of the slot; a report that returns (an
// error level below 0) makes Compile return false.
class StatementCompiler {
 public:
  // Indexes the PROC and DEF lines and finds the last slot to compile (the
  // first PROGEND slot, else the program length). Name and block searches
  // look only at slots up to that one.
  void Begin();

  // Compiles one slot into out (the statement body). False after an error.
  bool Compile(int32_t slot, std::string& out);

  // The end checks (open IF, SELECT, WHILE, PROC blocks). False after an error.
  bool Finish();

  // The last slot that is compiled (0 for an empty program).
  int32_t LastSlot() const { return last_; }
  const CompileCounters& Counters() const { return counters_; }

  // Header slot of "PROC name" / DEF slot of a sigil name (0 when none).
  int32_t ProcSlot(const std::string& upperName) const;
  int32_t DefSlot(const std::string& upperName) const;

  // The argument steps, separately for tests. Each returns false after an
  // error report that returned.
  static std::string ReplaceOperators(std::string_view args);
  std::string ReplaceSystemVariables(std::string_view args) const;
  bool TokeniseCalls(std::string_view args, bool structOrClass, std::string& out) const;
  bool RewriteClass(const std::string& args, std::string& out) const;

 private:
  void SetPosition(int32_t slot) const;
  // The block-end scan from a slot over slots up to last_; reports the
  // scan's error when it finds no end.
  bool Jump(BlockScan scan, int32_t slot, int32_t& target);
  bool Target(uint8_t code, int32_t slot, int32_t& target);

  std::vector<std::string> upper_;  // trimmed, upper-cased slots 1..last_
  std::unique_ptr<BlockEnds> ends_;
  std::unordered_map<std::string, int32_t> procs_;
  std::unordered_map<std::string, int32_t> defs_;
  int32_t last_ = 0;
  CompileCounters counters_;
};

// The whole program: slots 1..LastSlot compiled in order, then the end
// checks. False when an error was reported (bodies then holds what was
// compiled so far).
bool CompileProgram(std::vector<std::string>& bodies);

// True when the text has the form of a function call at position at (the
// rest of the text from there passes the call test of the statement split).
bool CallFormAt(std::string_view text, size_t at);

}  // namespace korv
