// The narrow seam between the language core and the operating system.
// The core never talks to Windows directly: message boxes, debugger output,
// profile strings, the message pump, the clock and process exit all go
// through the Host installed at start-up. The Windows programs install the
// Win32 host; native builds and unit tests install the console host.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

namespace korv {

// Message-box style bits; the values are those of the Windows API so the
// Win32 host can pass them straight through.
namespace mb {
constexpr unsigned kOk = 0x0;
constexpr unsigned kOkCancel = 0x1;
constexpr unsigned kYesNoCancel = 0x3;
constexpr unsigned kYesNo = 0x4;
constexpr unsigned kIconError = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconWarning = 0x30;
constexpr unsigned kIconInfo = 0x40;
constexpr unsigned kButtonMask = 0xF;
}  // namespace mb

// Answers of a message box (Windows IDOK ... values).
namespace id {
constexpr int kOk = 1;
constexpr int kCancel = 2;
constexpr int kYes = 6;
constexpr int kNo = 7;
}  // namespace id

struct LocalTime {
  int year = 0, month = 0, day = 0;  // month 1..12
  int hour = 0, minute = 0, second = 0, millis = 0;
  int weekday = 0;  // 0 = Sunday
};

class Host {
 public:
  virtual ~Host() = default;

  // Shows a modal box (owned by the main window when it exists) and returns
  // the button pressed. Console mode answers with the default button.
  virtual int ShowMessageBox(const std::string& caption, const std::string& text, unsigned style) = 0;
  // One line for the debugger (OutputDebugString).
  virtual void DebugOutput(const std::string& line) = 0;
  // Private-profile (INI) access; a bare file name lands in the Windows directory.
  virtual void WriteProfileText(const std::string& file, const std::string& section,
                                  const std::string& key, const std::string& value) = 0;
  virtual std::string ReadProfileText(const std::string& file, const std::string& section,
                                        const std::string& key, const std::string& def) = 0;
  // Appends one line (CR LF added) to a text file; false when it cannot.
  virtual bool AppendLine(const std::string& file, const std::string& line) = 0;
  // Runs the pending window messages once.
  virtual void PumpMessages() = 0;
  // Cursor made visible before a fatal box.
  virtual void ShowCursorForBox() = 0;
  // Focus remembered before a debugging box and given back afterwards.
  virtual std::uintptr_t SaveFocus() = 0;
  virtual void RestoreFocus(std::uintptr_t handle) = 0;
  // Redraws the main window after a box covered it (no-op without a window).
  virtual void RedrawMainWindow() = 0;
  virtual LocalTime Now() = 0;
  virtual std::uint32_t TickCount() = 0;
  // Text written to the text screen that console mode mirrors to stdout.
  virtual void MirrorToStdout(const std::string& bytes) = 0;
  // One line from the keyboard (console mode: from standard input).
  virtual bool ReadConsoleLine(std::string& line) = 0;
  virtual bool ConsoleMode() const = 0;
  // Ends the process. Runs the registered shutdown steps first.
  [[noreturn]] virtual void Exit(int code) = 0;
};

Host& host();
void SetHost(Host* h);

// Shutdown steps that subsystems register (release DCs, GDI objects, memory
// areas, DLLs, the window). Run in reverse order of registration, once.
void AtShutdown(std::function<void()> step);
void RunShutdown();

// Ends the process through the host (never returns).
[[noreturn]] void ExitWith(int code);

}  // namespace korv
