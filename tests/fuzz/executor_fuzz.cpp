// Fuzz target: short programs in both executors on the console host. The
// first byte chooses the error level the program starts with; the rest is
// the program. It runs in the interpreter and, when it compiles, as a
// compiled program in the byte-code executor, each with a budget of pumps
// between statements. When both end within their budgets they must print
// the same (blanks removed: the compiled form drops them), end with the same
// exit code and report the same error numbers. Programs that reach the file
// system, wait, or read the clock or the random generator are skipped.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "core/kvc_format.h"
#include "core/line_store.h"
#include "core/preprocessor.h"
#include "core/statement_compiler.h"
#include "base/text.h"
#include "engine/bytecode_executor.h"
#include "base/errors.h"
#include "apps/interpreter/interpreter.h"
#include "apps/subsystems.h"
#include "fuzz_host.h"

// A smaller quarantine of freed blocks: programs free strings of up to
// 64 MB, and the process must stay well below libFuzzer's memory limit
// (-rss_limit_mb). (ASan's operator new never throws std::bad_alloc, so the
// executors' handling of a failed allocation is tested by the unit tests.)
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64:detect_leaks=0"; }

namespace {

using korv::fuzz::BudgetUsedUp;
using korv::fuzz::FuzzHost;

constexpr uint32_t kInterpreterPumps = 1000;  // one pump per statement
constexpr uint32_t kRuntimePumps = 60;        // one pump per 21 statements

struct Outcome {
  bool finished = false;  // ended within the budget
  int exit = 0;
  std::string out;
  std::vector<int> errors;
  std::vector<std::string> lines;  // debugger lines
};

FuzzHost gHost;
std::string gProgramFile;

// Words that reach the file system, wait for input, run other programs, or
// give values that differ from run to run.
constexpr const char* kSkipped[] = {
    "ERASE", "RMDIR",  "MKDIR", "CHDIR",  "RENAME", "REWRITE", "APPEND", "OPENRW",   "ASSIGN", "COPY",
    "SETFATTR", "LOGFILE", "LOGOUT", "WRITEINI", "BLOCKWRITE", "PUT", "SHELL", "EXEC", "RND", "RANDOMIZE",
    "TIME", "DATE", "TICK", "PAR$", "PCOUNT", "INPUT", "KEY", "SETERRORLEVEL", "SLEEP", "WAIT", "MESSAGE",
    "DLL", "CALL", "EXTERNAL", "ADDR", "MEMPOS", "SAVE", "LOAD", "DIR", "FILE", "TEMP", "DRIVE", "DISK",
    "ENV", "FIND", "CLIP", "ADDFILES", "EXITWINDOWS", "TELMAR", "$D", "$B", "TRACE"};

bool Skipped(const std::string& upper) {
  for (const char* w : kSkipped)
    if (upper.find(w) != std::string::npos) return true;
  return false;
}

std::vector<int> ErrorNumbers(const std::vector<std::string>& lines) {
  std::vector<int> codes;
  for (const std::string& l : lines) {
    if (!korv::StartsWith(l, "ERROR:\t") && !korv::StartsWith(l, "WARN:\t")) continue;
    std::string rest = l.substr(l.find('\t') + 1);
    size_t paren = rest.find(") ");
    size_t at = paren != std::string::npos ? paren + 2 : rest.find('\t') + 1;
    codes.push_back(std::atoi(rest.c_str() + at));
  }
  return codes;
}

std::string WithoutBlanks(const std::string& s) {
  std::string r;
  for (char c : s)
    if (c != ' ') r.push_back(c);
  return r;
}

void Record(Outcome& o) {
  o.out = WithoutBlanks(gHost.stdoutText);
  o.errors = ErrorNumbers(gHost.debugLines);
  o.lines = gHost.debugLines;
}

Outcome Interpret() {
  Outcome o;
  gHost.Start(kInterpreterPumps);
  try {
    o.exit = korv::RunInterpreterProgram(gProgramFile, {gProgramFile});
    o.finished = true;
  } catch (const korv::ExitRequest& e) {
    o.exit = e.code;
    o.finished = true;
  } catch (const BudgetUsedUp&) {
    korv::RunShutdown();
  }
  Record(o);
  return o;
}

bool Compile(korv::kvc::Image& image) {
  korv::LoadOptions lo;
  lo.compiler = true;
  lo.caption = "Korvid Compiler 1.0";
  lo.symbols = {"WIN32", "VER10.0", "COMPILER", "KORVID", "KORVID1.0"};
  korv::ResetSubsystems();
  korv::gErr.Level = -1;
  gHost.Start(kRuntimePumps);
  try {
    korv::LoadProgram(gProgramFile, lo);
  } catch (const korv::ExitRequest&) {
    return false;
  }
  std::vector<std::string> bodies;
  bool ok = korv::CompileProgram(bodies);
  if (!ok || korv::gErr.Code != 0) return false;
  std::string file = korv::kvc::EncodeProgram(bodies, true, [](uint32_t bound) { return 7u % bound; });
  return korv::kvc::ReadProgram(file, 0, image).status == korv::kvc::ReadStatus::Ok;
}

Outcome Execute(korv::kvc::Image image) {
  Outcome o;
  korv::LoadCompiledProgram(std::move(image), "main.krv");
  gHost.Start(kRuntimePumps);
  try {
    korv::RunLoadedProgram();
    o.finished = true;
  } catch (const korv::ExitRequest& e) {
    o.exit = e.code;
    o.finished = true;
  } catch (const BudgetUsedUp&) {
    korv::RunShutdown();
  }
  Record(o);
  korv::LeaveCompiledMode();
  return o;
}

// Whether every statement of the loaded program has a line of its own.
bool SlotsAreLines() {
  for (int32_t i = 1; i <= korv::gProgram.Length(); ++i)
    if (korv::gProgram.LineOf(i) != i) return false;
  return true;
}

// A string literal glued to more text ("c"9 "d") makes one literal operand
// in the interpreter, from its first quote to its last with the blanks
// between, while the compiled form has dropped those blanks. A literal is
// not glued when what follows it (after blanks) ends the operand: a
// separator, a bracket, an operator or a word operator.
bool GluedLiteral(const std::string& upper) {
  static constexpr std::string_view kEnds = ",;:)]+-*/\\^=<>&|'\r\n";
  static constexpr std::string_view kWords[] = {"AND ", "OR ", "MOD "};
  bool inside = false;
  for (size_t i = 0; i < upper.size(); ++i) {
    if (upper[i] == '\n') inside = false;
    if (upper[i] != '"') continue;
    inside = !inside;
    if (inside) continue;
    size_t j = i + 1;
    while (j < upper.size() && (upper[j] == ' ' || upper[j] == '\t')) ++j;
    if (j == upper.size() || kEnds.find(upper[j]) != std::string_view::npos) continue;
    bool word = false;
    for (std::string_view w : kWords) word = word || (j > i + 1 && upper.compare(j, w.size(), w) == 0);
    if (!word) return true;
  }
  return false;
}

// Two operands with only blanks between them ("-214748 4316", "A (1)")
// are one operand compiled, where the blanks are gone; the interpreter
// reads the first and stops. Blanks next to a word operator (AND, OR, MOD,
// & and |) are no such gap; comments and DEF lines are not looked at.
bool JoinsAfter(char c) { return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_.$%&!#])\"", c); }
bool JoinsBefore(char c) { return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("_.$%&!#(\"", c); }

bool IsWordOperator(std::string_view word) {
  static constexpr std::string_view kWords[] = {"AND", "OR", "MOD", "&", "|"};
  for (std::string_view w : kWords)
    if (word == w) return true;
  return false;
}

bool GluedInLine(std::string_view line) {
  line = korv::TrimView(line);
  const size_t blank = line.find_first_of(" \t");
  if (blank == std::string_view::npos) return false;
  const std::string_view command = line.substr(0, blank);
  if (command.empty() || command[0] == '\'' || command == "REM" || command == "DEF") return false;
  // The words of the arguments, split at blanks outside string literals.
  std::vector<std::string_view> words;
  bool inside = false;
  size_t from = blank;
  for (size_t i = blank; i <= line.size(); ++i) {
    const char c = i < line.size() ? line[i] : ' ';
    if (c == '"') inside = !inside;
    if (!inside && c == '\'') break;  // a comment follows
    if (inside || (c != ' ' && c != '\t')) continue;
    if (i > from) words.push_back(line.substr(from, i - from));
    from = i + 1;
  }
  if (from < line.size() && line[from] != '\'') words.push_back(line.substr(from));
  for (size_t k = 0; k + 1 < words.size(); ++k) {
    const std::string_view a = words[k], b = words[k + 1];
    if (b[0] == '\'') break;
    if (JoinsAfter(a.back()) && JoinsBefore(b[0]) && !IsWordOperator(a) && !IsWordOperator(b)) return true;
  }
  return false;
}

// PROC, ENDIF and ENDSELECT lose their arguments when compiled, so the
// compiler never checks their brackets and quotes; the interpreter checks
// them on every statement, and a statement that fails the check is not run
// (a broken PROC line lets its body run as plain statements).
bool CheckedOnlyInterpreted(std::string_view line) {
  static constexpr std::string_view kWords[] = {"PROC", "ENDIF", "ENDSELECT"};
  line = korv::TrimView(line);
  const size_t blank = line.find_first_of(" \t");
  if (blank == std::string_view::npos || line.find_first_of("()\"", blank) == std::string_view::npos) return false;
  for (std::string_view w : kWords)
    if (line.substr(0, blank) == w) return true;
  return false;
}

// Whether some line of the program passes test.
bool AnyLine(const std::string& upper, bool (*test)(std::string_view)) {
  size_t start = 0;
  while (start < upper.size()) {
    size_t end = upper.find('\n', start);
    if (end == std::string::npos) end = upper.size();
    if (test(std::string_view(upper).substr(start, end - start))) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The program file lives in a folder of its own (libFuzzer keeps its
  // corpus and findings relative to the current one).
  char tmpl[] = "/tmp/korv-executor-fuzz-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) std::abort();
  gProgramFile = std::string(tmpl) + "/main.krv";
  korv::SetHost(&gHost);
  korv::InstallNeutralSubsystems();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1 || size > 2048) return 0;
  static const char* const kLevels[] = {"-2", "-1", "0", "1", "2"};
  std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);
  // Printable ASCII and line ends only: names with bytes above 127 are
  // read differently by the two executors (left open for now).
  for (unsigned char c : body)
    if ((c < 32 && c != '\n' && c != '\r' && c != '\t') || c > 126) return 0;
  const std::string upper = korv::Upper(body);
  if (Skipped(upper) || GluedLiteral(upper) || AnyLine(upper, GluedInLine) || AnyLine(upper, CheckedOnlyInterpreted))
    return 0;
  const std::string source = std::string("@SET(\"ERRORLEVEL\", ") + kLevels[data[0] % 5] + ")\n" + body;
  std::ofstream(gProgramFile, std::ios::binary) << source;

  const Outcome interpreted = Interpret();
  // %ERRLINE is the source line in the interpreter and the statement's
  // place (slot) compiled: the two differ on purpose once a line holds
  // several statements ("a: b") or lines are joined.
  if (!SlotsAreLines() && upper.find("ERRLINE") != std::string::npos) return 0;
  korv::kvc::Image image;
  if (!Compile(image)) return 0;
  const Outcome executed = Execute(std::move(image));
  if (!interpreted.finished || !executed.finished) return 0;
  // Differences on purpose: the runtime knows no unknown command (102 in
  // the interpreter), and the compiled form has no blanks outside strings,
  // so a name with a blank inside (122, 129) is a name there.
  // A report whose detail (the text after its last ": ") holds a blank
  // names something the compiled form knows without it.
  for (int code : interpreted.errors)
    if (code == 102 || code == 122 || code == 129) return 0;
  for (const std::string& line : interpreted.lines) {
    size_t colon = line.rfind(": ");
    if (colon != std::string::npos && line.find(' ', colon + 2) != std::string::npos) return 0;
    // Likewise "<", ">" and "=" next to each other are one operator token
    // there ("A<= 0" is no assignment to "A<").
    if (colon != std::string::npos && line.find_first_of("<>", colon + 2) != std::string::npos) return 0;
  }
  // An operand that is no name of anything is printed as its own text,
  // which compiled is tokenised ("@" and a function code for "MID$(").
  if (interpreted.out.find('@') == std::string::npos)
    for (unsigned char c : executed.out)
      if (c == '@' || c >= 0x80 || (c < 32 && c != '\n')) return 0;
  if (interpreted.exit != executed.exit || interpreted.errors != executed.errors ||
      interpreted.out != executed.out) {
    std::fprintf(stderr, "interpreted: exit %d, errors", interpreted.exit);
    for (int c : interpreted.errors) std::fprintf(stderr, " %d", c);
    std::fprintf(stderr, ", output:\n%s\ncompiled: exit %d, errors", interpreted.out.c_str(), executed.exit);
    for (int c : executed.errors) std::fprintf(stderr, " %d", c);
    std::fprintf(stderr, ", output:\n%s\n", executed.out.c_str());
    std::abort();
  }
  return 0;
}
