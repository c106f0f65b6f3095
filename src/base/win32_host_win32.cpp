#include "base/win32_host.h"

#include "base/keep_last_error.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <vector>

namespace korv {

namespace {
MainWindowProvider gMainWindow = nullptr;
PumpHook gPumpHook = nullptr;
DebugLineNote gDebugLineNote = nullptr;
Win32Host* gConsoleHost = nullptr;  // the host in console mode
bool gUtf8 = false;                 // and its standard handles speak UTF-8

// Windows-1252 bytes as UTF-8, and UTF-8 back (false when the bytes are no
// valid UTF-8).
std::string Cp1252ToUtf8(const std::string& s) {
  if (s.empty()) return s;
  int n = MultiByteToWideChar(1252, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(1252, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  int m = WideCharToMultiByte(CP_UTF8, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  std::string r(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), n, r.data(), m, nullptr, nullptr);
  return r;
}

bool Utf8ToCp1252(const std::string& s, std::string& out) {
  if (s.empty()) {
    out.clear();
    return true;
  }
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), nullptr, 0);
  if (n <= 0) return false;
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.data(), static_cast<int>(s.size()), w.data(), n);
  int m = WideCharToMultiByte(1252, 0, w.data(), n, nullptr, 0, nullptr, nullptr);
  out.assign(static_cast<size_t>(m), '\0');
  WideCharToMultiByte(1252, 0, w.data(), n, out.data(), m, nullptr, nullptr);
  return true;
}

// One line of standard input: bytes up to LF (CR dropped); false when the
// input ended before any byte.
bool ReadStdinLine(std::string& line) {
  line.clear();
  HANDLE h = GetStdHandle(STD_INPUT_HANDLE);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
  char c;
  DWORD n = 0;
  bool any = false;
  while (ReadFile(h, &c, 1, &n, nullptr) && n == 1) {
    any = true;
    if (c == '\n') break;
    if (c != '\r') line.push_back(c);
  }
  return any;
}

// The line being read in the background for WAITINPUT. The thread owns
// line and any until it has ended.
struct BackgroundLine {
  HANDLE thread = nullptr;
  std::string line;
  bool any = false;
  bool ended = false;  // the input has ended: no more lines will come
} gBackground;

DWORD WINAPI ReadLineThread(LPVOID) {
  gBackground.any = ReadStdinLine(gBackground.line);
  return 0;
}

// Waits (up to ms) for the background line; true when it is there, and the
// thread is then gone.
bool CollectBackgroundLine(DWORD ms) {
  if (!gBackground.thread) return false;
  if (WaitForSingleObject(gBackground.thread, ms) != WAIT_OBJECT_0) return false;
  CloseHandle(gBackground.thread);
  gBackground.thread = nullptr;
  if (!gBackground.any) gBackground.ended = true;
  return true;
}

// Console lines: CR LF and lone CR become LF.
std::string ConsoleLineBreaks(const std::string& s) {
  std::string r;
  r.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r') {
      r.push_back('\n');
      if (i + 1 < s.size() && s[i + 1] == '\n') ++i;
    } else {
      r.push_back(s[i]);
    }
  }
  return r;
}

int DefaultAnswer(unsigned style) {
  switch (style & mb::kButtonMask) {
    case mb::kYesNo:
    case mb::kYesNoCancel: return id::kYes;
    default: return id::kOk;
  }
}
}  // namespace

void EnsureCommonControls() {
  static bool done = false;
  if (done) return;
  done = true;
  KeepLastError keep;
  INITCOMMONCONTROLSEX icc{sizeof icc, 0x0FFF};
  InitCommonControlsEx(&icc);
}

bool ConsoleModeRequested() {
  const char* v = std::getenv("KORV_CONSOLE");
  return v && (v[0] == '1' || ConsoleUtf8Requested());
}

bool ConsoleUtf8Requested() {
  const char* v = std::getenv("KORV_CONSOLE");
  return v && lstrcmpiA(v, "utf8") == 0;
}

int32_t PollConsoleKey() {
  KeepLastError keep;
  if (!gConsoleHost || gBackground.ended) return 0;
  if (!gBackground.thread) {
    gBackground.any = false;
    gBackground.line.clear();
    gBackground.thread = CreateThread(nullptr, 0, ReadLineThread, nullptr, 0, nullptr);
    if (!gBackground.thread) gBackground.ended = true;
    return 0;
  }
  if (!CollectBackgroundLine(0) || gBackground.ended) return 0;
  std::string bytes;
  if (gUtf8 && Utf8ToCp1252(gBackground.line, bytes)) gBackground.line = bytes;
  return gBackground.line.empty() ? 13 : static_cast<unsigned char>(gBackground.line[0]);
}

void SetDebugLineNote(DebugLineNote note) { gDebugLineNote = note; }

void SetMainWindowProvider(MainWindowProvider provider) { gMainWindow = provider; }
std::uintptr_t MainWindowHandle() { return gMainWindow ? gMainWindow() : 0; }
void SetPumpHook(PumpHook hook) { gPumpHook = hook; }

Win32Host::Win32Host(bool consoleMode) : console_(consoleMode), utf8_(consoleMode && ConsoleUtf8Requested()) {
  if (console_) gConsoleHost = this;
  gUtf8 = utf8_;
}

void Win32Host::WriteStd(unsigned long which, const std::string& bytes) {
  HANDLE h = GetStdHandle(which);
  if (h == nullptr || h == INVALID_HANDLE_VALUE || bytes.empty()) return;
  const std::string& data = utf8_ ? Cp1252ToUtf8(bytes) : bytes;
  DWORD written = 0;
  WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
}

int Win32Host::ShowMessageBox(const std::string& caption, const std::string& text, unsigned style) {
  if (console_) {
    WriteStd(STD_ERROR_HANDLE, "[" + caption + "] " + ConsoleLineBreaks(text) + "\n");
    return DefaultAnswer(style);
  }
  HWND owner = reinterpret_cast<HWND>(MainWindowHandle());
  return ::MessageBoxA(owner, text.c_str(), caption.c_str(), style | MB_SETFOREGROUND);
}

void Win32Host::DebugOutput(const std::string& line) {
  OutputDebugStringA(line.c_str());
  if (!console_) return;
  std::string note = gDebugLineNote ? gDebugLineNote(line) : std::string();
  WriteStd(STD_ERROR_HANDLE, ConsoleLineBreaks(line) + note + "\n");
}

void Win32Host::WriteProfileText(const std::string& file, const std::string& section,
                                   const std::string& key, const std::string& value) {
  WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), file.c_str());
}

std::string Win32Host::ReadProfileText(const std::string& file, const std::string& section,
                                         const std::string& key, const std::string& def) {
  std::vector<char> buf(32768);
  DWORD n = GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buf.data(),
                                     static_cast<DWORD>(buf.size()), file.c_str());
  return std::string(buf.data(), n);
}

bool Win32Host::AppendLine(const std::string& file, const std::string& line) {
  HANDLE h = CreateFileA(file.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  std::string data = line + "\r\n";
  DWORD written = 0;
  BOOL ok = WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &written, nullptr);
  CloseHandle(h);
  return ok && written == data.size();
}

void Win32Host::PumpMessages() {
  KeepLastError keep;
  if (gPumpHook) {
    gPumpHook();
    return;
  }
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

void Win32Host::ShowCursorForBox() {
  while (ShowCursor(TRUE) < 0) {
  }
}

std::uintptr_t Win32Host::SaveFocus() { return reinterpret_cast<std::uintptr_t>(GetFocus()); }

void Win32Host::RestoreFocus(std::uintptr_t handle) {
  if (handle) SetFocus(reinterpret_cast<HWND>(handle));
}

void Win32Host::RedrawMainWindow() {
  HWND w = reinterpret_cast<HWND>(MainWindowHandle());
  if (!w || !IsWindow(w)) return;
  InvalidateRect(w, nullptr, FALSE);
  UpdateWindow(w);
}

LocalTime Win32Host::Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millis = st.wMilliseconds;
  t.weekday = st.wDayOfWeek;
  return t;
}

std::uint32_t Win32Host::TickCount() { return GetTickCount(); }

void Win32Host::MirrorToStdout(const std::string& bytes) {
  if (!console_) return;
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes)
    if (c != '\r') out.push_back(c);
  WriteStd(STD_OUTPUT_HANDLE, out);
}

bool Win32Host::ReadConsoleLine(std::string& line) {
  bool any;
  if (gBackground.thread) {
    // The line that WAITINPUT started to read comes first.
    CollectBackgroundLine(INFINITE);
    line = gBackground.line;
    any = gBackground.any;
  } else {
    any = ReadStdinLine(line);
  }
  std::string bytes;
  if (any && utf8_ && Utf8ToCp1252(line, bytes)) line = bytes;
  return any;
}

void Win32Host::Exit(int code) {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out && out != INVALID_HANDLE_VALUE) FlushFileBuffers(out);
  ExitProcess(static_cast<UINT>(code));
}

}  // namespace korv
