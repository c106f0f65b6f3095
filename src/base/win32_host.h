// The Windows host: real boxes, OutputDebugString, profile strings and the
// message pump; in console mode (KORV_CONSOLE=1) boxes and debugger lines
// also go to standard error and are answered at once, and the text screen
// is mirrored to standard output.
#pragma once
#include "base/host.h"

namespace korv {

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
};

// True when the environment asks for console mode.
bool ConsoleModeRequested();

// The window that owns boxes and receives redraws (0 until there is one).
using MainWindowProvider = std::uintptr_t (*)();
void SetMainWindowProvider(MainWindowProvider provider);
std::uintptr_t MainWindowHandle();

// Message pump of the window layer; installed by the window subsystem.
using PumpHook = void (*)();
void SetPumpHook(PumpHook hook);

}  // namespace korv
