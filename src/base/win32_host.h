// The Windows host: real boxes, OutputDebugString, profile strings and the
// message pump; in console mode (KORV_CONSOLE=1) boxes and debugger lines
// also go to standard error and are answered at once, and the text screen
// is mirrored to standard output. KORV_CONSOLE=utf8 is console mode with
// standard output and standard error converted from Windows-1252 to UTF-8
// (and input lines that are valid UTF-8 converted back).
#pragma once
#include "base/host.h"

#include <cstdint>
#include <string>

namespace korv {

// Registers the common-control classes the first time a control, dialog or
// foreign DLL may need them (not at start: loading the library costs Wine
// tens of milliseconds that a program without controls need not wait).
void EnsureCommonControls();

class Win32Host : public Host {
 public:
  explicit Win32Host(bool consoleMode);
  int ShowMessageBox(const std::string& caption, const std::string& text, unsigned style) override;
  void DebugOutput(const std::string& line) override;
  void WriteProfileText(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override;
  std::string ReadProfileText(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& def) override;
  bool AppendLine(const std::string& file, const std::string& line) override;
  void PumpMessages() override;
  void ShowCursorForBox() override;
  std::uintptr_t SaveFocus() override;
  void RestoreFocus(std::uintptr_t handle) override;
  void RedrawMainWindow() override;
  LocalTime Now() override;
  std::uint32_t TickCount() override;
  void MirrorToStdout(const std::string& bytes) override;
  bool ReadConsoleLine(std::string& line) override;
  bool ConsoleMode() const override { return console_; }
  [[noreturn]] void Exit(int code) override;

 private:
  void WriteStd(unsigned long which, const std::string& bytes);
  bool console_;
  bool utf8_;
};

// True when the environment asks for console mode ("1" or "utf8").
bool ConsoleModeRequested();
// True when it asks for UTF-8 on the standard handles ("utf8").
bool ConsoleUtf8Requested();

// Console mode: standard input is read a line at a time in the background
// while WAITINPUT waits. Returns the key of a line that has arrived (its
// first character, 13 for an empty line) and takes the line; 0 while none
// has come, at the end of the input and outside console mode. INPUT reads
// the lines after it in order.
int32_t PollConsoleKey();

// Console mode: a note that the standard-error copy of a debugger line gets
// at its end (empty for none).
using DebugLineNote = std::string (*)(const std::string& line);
void SetDebugLineNote(DebugLineNote note);

// The window that owns boxes and receives redraws (0 until there is one).
using MainWindowProvider = std::uintptr_t (*)();
void SetMainWindowProvider(MainWindowProvider provider);
std::uintptr_t MainWindowHandle();

// Message pump of the window layer; installed by the window subsystem.
using PumpHook = void (*)();
void SetPumpHook(PumpHook hook);

}  // namespace korv
