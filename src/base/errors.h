// Numbered errors and warnings: the message table, the error state and the
// one routine every failure goes through.
#pragma once
#include <cstdint>
#include <string>

namespace korv {

struct TErrorState {
  int32_t Code = 0;        // pending report, 0 = none
  int32_t ReportKind = 0;  // 0 none, 1 warning, 2 error
  std::string Detail;
  int32_t Line = 0;
  std::string FileName;
  int32_t Level = 1;
  bool OnError = false;
  bool InErrorProc = false;
  std::string LogFileName;
  bool Trace = false;
  bool CompiledPositions = false;
};

extern TErrorState gErr;

// Where the executing statement comes from; the executor (or the loader for
// load-time reports) keeps it current.
struct TPosition {
  std::string File;       // source file of the executing line
  // Where File was copied from, and that list's load generation: the
  // interpreter copies a line's file name only when it changes. Whoever
  // sets File otherwise leaves FileSource null.
  const void* FileSource = nullptr;
  uint32_t FileGeneration = 0;
  int32_t SourceLine = 0; // its source line number
  int32_t CompiledLine = 0;  // program counter (compiled-position form)
  // The body of error and trace boxes. The executors only say which form
  // it takes; the text is made when a box needs it (LocationText()).
  enum class Form : uint8_t { Text, Interpreter, Compiled };
  Form LocationForm = Form::Text;
  std::string Location;   // the text of the Text form
  const std::string* Statement = nullptr;  // the executing line (Interpreter form)

  // A copy that leaves out what o's form does not read: Location outside
  // the Text form, File where both were copied from the same list entry.
  // A nested invocation saves and restores the position on every call.
  void CopyFrom(const TPosition& o) {
    if (o.FileSource == nullptr || FileSource != o.FileSource || FileGeneration != o.FileGeneration) File = o.File;
    FileSource = o.FileSource;
    FileGeneration = o.FileGeneration;
    SourceLine = o.SourceLine;
    CompiledLine = o.CompiledLine;
    LocationForm = o.LocationForm;
    if (o.LocationForm == Form::Text) Location = o.Location;
    Statement = o.Statement;
  }
};
extern TPosition gPos;

// Exit code of a program ended by a fatal report.
constexpr int kExitFatal = 3;
constexpr int kExitLoadError = 1;
constexpr int kExitCancelled = 2;

void ResetErrorState();

// The table text for a code; "UNERWARTETER FEHLER!" for unknown codes.
const std::string& ErrorText(int32_t code);

// Report an error / a warning. Returns only when the error level lets the
// program go on.
void RaiseError(int32_t code, const std::string& detail = std::string());
void RaiseWarning(int32_t code, const std::string& detail = std::string());

// Builds the location text of the interpreter ("Zeile  12 in f.krv: \r\n...")
std::string InterpreterLocation(int32_t line, const std::string& file, const std::string& statement);
// ... and of the runtime ("Zeile     12!").
std::string CompiledLocation(int32_t line);
// The body of error and trace boxes for the current position.
std::string LocationText();

// Hook the executor installs so the error procedure can be started after a
// statement (set by the procedure subsystem).
void CheckErrorProc();
// Whether CheckErrorProc would start the error procedure now.
inline bool ErrorProcDue() { return !gErr.InErrorProc && gErr.OnError && gErr.Code > 0; }
using ErrorProcStarter = void (*)();
void SetErrorProcStarter(ErrorProcStarter fn);

// Interpreter's TELMAR.LOG entries.
void WriteTelmarLog(const char* type, int32_t line, const std::string& file, int32_t errNo,
                    const std::string& text);

// The program's own log file.
void AppendToLogFile(const std::string& line);  // no-op without a log file
std::string SetLogFile(const std::string& name);  // returns the old name

// Date and time stamps of the log lines.
std::string LogStamp();     // "dd.mm.yyyy - hh:mm"
std::string LongDateTime(); // "Montag, der 7. Dezember 2026 - 11:31"


// Ends the program through the fatal path (shutdown steps, exit code 3).
[[noreturn]] void FatalExit();

}  // namespace korv
