// Source loading: turns a source file with its includes, headers, macros and
// conditional blocks into the line store.
#pragma once
#include <functional>
#include <string>
#include <vector>

namespace korv {

struct LoadOptions {
  bool compiler = false;                 // compiler rules ($P, $K, captions)
  std::string caption = "Korvid";        // caption of the load-failure boxes
  std::vector<std::string> includePath;  // searched after the current directory
  std::vector<std::string> symbols;      // predefined conditional symbols
  std::string headerTable = ";";         // initial header table
  bool conditionalPass = true;           // false: pass 1 only (the compiler's -V runs between)
  // Reads source, include and header files in place of the file system when
  // set (content nullptr: only whether the file can be read).
  std::function<bool(const std::string& name, std::string* content)> readFile;
};

struct LoadResult {
  bool protect = true;   // last $P+/$P- of the compiler's main file (on without one)
};

struct PreprocessorState {
  std::string headerTable = ";";
  std::vector<std::string> symbols;
  bool condition = true;
  std::vector<bool> condStack = std::vector<bool>(65536, false);
  int depth = 0;
};
extern PreprocessorState gPre;

// Limits that end an expansion or include chain that would never end.
constexpr int kMaxMacroExpansions = 10000;
constexpr int kMaxIncludeDepth = 64;

// Loads the main file into gProgram. Load failures show their box and end
// the process with exit code 1 (through host().Exit).
LoadResult LoadProgram(const std::string& mainFile, const LoadOptions& options);

// The two passes separately (for tests and the compiler). afterSlot, when
// given, is called with each slot's number as pass 2 leaves it.
void ConditionalPass(const std::function<void(int32_t)>& afterSlot = {});

// Include path from a ";"-separated list.
std::vector<std::string> SplitPathList(const std::string& list);

// Splits file content into physical lines (LF, CR LF or CR end a line).
std::vector<std::string> SplitLines(const std::string& content);

}  // namespace korv

namespace korv {
// One header-file line as it enters the header table (for tests).
std::string HeaderEntryForTest(const std::string& line);
}  // namespace korv
