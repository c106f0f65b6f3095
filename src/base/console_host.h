// A host without windows: boxes and debugger lines go to standard error and
// are answered with the default button, profile strings live in memory,
// Exit throws ExitRequest so a caller (a test) can regain control.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "base/host.h"

namespace korv {

struct ExitRequest {
  int code;
};

class ConsoleHost : public Host {
 public:
  struct Box {
    std::string caption, text;
    unsigned style;
  };

  int ShowMessageBox(const std::string& caption, const std::string& text, unsigned style) override;
  void DebugOutput(const std::string& line) override;
  void WriteProfileText(const std::string& file, const std::string& section,
                          const std::string& key, const std::string& value) override;
  std::string ReadProfileText(const std::string& file, const std::string& section,
                                const std::string& key, const std::string& def) override;
  bool AppendLine(const std::string& file, const std::string& line) override;
  void PumpMessages() override {}
  void ShowCursorForBox() override {}
  std::uintptr_t SaveFocus() override { return 0; }
  void RestoreFocus(std::uintptr_t) override {}
  void RedrawMainWindow() override {}
  LocalTime Now() override;
  std::uint32_t TickCount() override;
  void MirrorToStdout(const std::string& bytes) override;
  bool ReadConsoleLine(std::string& line) override;
  bool ConsoleMode() const override { return true; }
  [[noreturn]] void Exit(int code) override;

  // What happened, for tests.
  std::vector<Box> boxes;
  std::vector<std::string> debugLines;
  std::map<std::string, std::string> profile;  // "file|section|key" -> value
  std::string stdoutText;
  std::vector<std::string> inputLines;  // consumed by ReadConsoleLine
  int nextAnswer = 0;                   // 0: default button
  // A note that the echoed copy of a debugger line gets at its end (the
  // runtime names the line's source position there); null for none.
  std::string (*debugLineNote)(const std::string& line) = nullptr;
  bool echo = false;                    // also write to the real streams
  bool keepOutput = true;               // keep standard output in stdoutText
};

}  // namespace korv
