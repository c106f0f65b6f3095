#include "base/console_host.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#ifdef __linux__
#include <time.h>
#endif
#include <iostream>

namespace korv {

int DefaultAnswer(unsigned style) {
  switch (style & mb::kButtonMask) {
    case mb::kYesNo:
    case mb::kYesNoCancel: return id::kYes;
    default: return id::kOk;
  }
}

int ConsoleHost::ShowMessageBox(const std::string& caption, const std::string& text, unsigned style) {
  boxes.push_back({caption, text, style});
  if (echo) std::cerr << "[" << caption << "] " << text << std::endl;
  int answer = nextAnswer ? nextAnswer : DefaultAnswer(style);
  nextAnswer = 0;
  return answer;
}

void ConsoleHost::DebugOutput(const std::string& line) {
  debugLines.push_back(line);
  if (echo) std::cerr << line << (debugLineNote ? debugLineNote(line) : std::string()) << std::endl;
}

void ConsoleHost::WriteProfileText(const std::string& file, const std::string& section,
                                     const std::string& key, const std::string& value) {
  profile[file + "|" + section + "|" + key] = value;
}

std::string ConsoleHost::ReadProfileText(const std::string& file, const std::string& section,
                                           const std::string& key, const std::string& def) {
  auto it = profile.find(file + "|" + section + "|" + key);
  return it == profile.end() ? def : it->second;
}

bool ConsoleHost::AppendLine(const std::string& file, const std::string& line) {
  std::FILE* f = std::fopen(file.c_str(), "ab");
  if (!f) return false;
  std::fwrite(line.data(), 1, line.size(), f);
  std::fwrite("\r\n", 1, 2, f);
  std::fclose(f);
  return true;
}

LocalTime ConsoleHost::Now() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
#ifdef _WIN32
  localtime_s(&tm, &now);
#else
  localtime_r(&now, &tm);
#endif
  LocalTime t;
  t.year = tm.tm_year + 1900;
  t.month = tm.tm_mon + 1;
  t.day = tm.tm_mday;
  t.hour = tm.tm_hour;
  t.minute = tm.tm_min;
  t.second = tm.tm_sec;
  t.weekday = tm.tm_wday;
  return t;
}

std::uint32_t ConsoleHost::TickCount() {
#ifdef __linux__
  // Asked between every two statements: the coarse clock, in 32-bit steps.
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<std::uint32_t>(ts.tv_sec) * 1000u + static_cast<std::uint32_t>(ts.tv_nsec) / 1000000u;
#else
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
#endif
}

void ConsoleHost::MirrorToStdout(const std::string& bytes) {
  if (keepOutput)
    for (char c : bytes)
      if (c != '\r') stdoutText.push_back(c);
  if (echo)
    for (char c : bytes)
      if (c != '\r') std::cout.put(c);
}

bool ConsoleHost::ReadConsoleLine(std::string& line) {
  if (inputLines.empty()) {
    line.clear();
    return false;
  }
  line = inputLines.front();
  inputLines.erase(inputLines.begin());
  return true;
}

void ConsoleHost::Exit(int code) { throw ExitRequest{code}; }

}  // namespace korv
