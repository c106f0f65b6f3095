// KORVAC: compiles a source file into a compiled-code file and links it with
// the runtime into a stand-alone program or screen saver. Everything here is
// platform-neutral; the Windows program adds the progress window and the
// file dialogs, the native console program writes its progress to stdout.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/host.h"

namespace korv {

extern const char* const kCompilerCaption;  // "Korvid Compiler 1.0"

struct CompilerOptions {
  std::vector<std::string> args;  // the command line without the program name
  std::string source;             // "" when the command line names none
  std::string includePath;        // ";"-separated
  std::string runtime;            // runtime module file
  std::string extension = "kvc";  // of the compiled file
  bool batch = false;             // -B
  bool map = false;               // -M
  bool link = false;              // -L
  bool linkOnly = false;          // -LINK
  bool shorten = false;           // -V
  bool screenSaver = false;       // -S
};

// Options from the command line and the environment values (nullptr when a
// variable is not set); -P and -R override TMR_PATH and TMR_RUNTIME.
CompilerOptions ParseCompilerOptions(const std::vector<std::string>& args, const char* tmrPath,
                                     const char* tmrRuntime);

// The progress display: a text grid addressed by column and row from 1.
class CompilerProgress {
 public:
  virtual ~CompilerProgress() = default;
  virtual void Put(int column, int row, const std::string& text) = 0;
  // The slot counter at column 21, row 5 (called for every slot; a display
  // may show only some of the values).
  virtual void Counter(int32_t slot) = 0;
  virtual void Pause(int milliseconds) = 0;
  // The last counter value must be visible now.
  virtual void Flush() = 0;
};

// Progress as lines on standard output (console mode and the native build):
// each Put is one line, the counter is written once when it is flushed.
class ConsoleProgress : public CompilerProgress {
 public:
  void Put(int column, int row, const std::string& text) override;
  void Counter(int32_t slot) override;
  void Pause(int) override {}
  void Flush() override;

 private:
  int32_t counter_ = -1;
};

// An open dialog: title, filter ("Text|pattern|Text|pattern"), the chosen
// name; false when cancelled.
using ChooseFileFn = std::function<bool(const std::string& title, const std::string& filter,
                                        std::string& name)>;

// The name up to and including its last "." followed by extension.
std::string ReplaceExtension(const std::string& name, const std::string& extension);
// True when the last path component of name contains a ".".
bool NameHasDot(const std::string& name);

// One map line: "12=main.krv (    10)".
std::string MapLine(int32_t slot, const std::string& file, int32_t line);

// A host that ends the compiler: a fatal report (exit code 3 in the
// programs) ends it with 1, and the half-written files are removed first.
class CompilerHost : public Host {
 public:
  explicit CompilerHost(Host& inner) : inner_(inner) {}
  int ShowMessageBox(const std::string& c, const std::string& t, unsigned s) override {
    return inner_.ShowMessageBox(c, t, s);
  }
  void DebugOutput(const std::string& line) override { inner_.DebugOutput(line); }
  void WriteProfileText(const std::string& f, const std::string& s, const std::string& k,
                        const std::string& v) override {
    inner_.WriteProfileText(f, s, k, v);
  }
  std::string ReadProfileText(const std::string& f, const std::string& s, const std::string& k,
                              const std::string& d) override {
    return inner_.ReadProfileText(f, s, k, d);
  }
  bool AppendLine(const std::string& f, const std::string& l) override { return inner_.AppendLine(f, l); }
  void PumpMessages() override { inner_.PumpMessages(); }
  void ShowCursorForBox() override { inner_.ShowCursorForBox(); }
  std::uintptr_t SaveFocus() override { return inner_.SaveFocus(); }
  void RestoreFocus(std::uintptr_t h) override { inner_.RestoreFocus(h); }
  void RedrawMainWindow() override { inner_.RedrawMainWindow(); }
  LocalTime Now() override { return inner_.Now(); }
  std::uint32_t TickCount() override { return inner_.TickCount(); }
  void MirrorToStdout(const std::string& b) override { inner_.MirrorToStdout(b); }
  bool ReadConsoleLine(std::string& l) override { return inner_.ReadConsoleLine(l); }
  bool ConsoleMode() const override { return inner_.ConsoleMode(); }
  [[noreturn]] void Exit(int code) override;

 private:
  Host& inner_;
};

// The whole compiler. Failures show their boxes and end the process through
// the host (exit code 1, 2 for a cancelled dialog); the result is the exit
// code of a success (0).
int RunCompiler(const CompilerOptions& options, CompilerProgress& progress,
                const ChooseFileFn& choose);

}  // namespace korv
