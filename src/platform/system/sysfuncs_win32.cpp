// Functions and system variables that ask Windows: other windows and their
// messages, the environment, program start, code pages, system error
// texts, keys, joysticks, MCI, icons, folders, versions and metrics.
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "base/host.h"
#include "graphics/text_screen.h"
#include "system/sysfuncs.h"
#include "base/win32_host.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"

namespace korv {

namespace {

using namespace fn;

HWND ToWindow(int32_t h) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(h))); }
int32_t FromHandle(const void* h) { return static_cast<int32_t>(reinterpret_cast<uintptr_t>(h)); }

// Show modes 0..9; any other value counts as 0 (SW_HIDE).
int ShowMode(int32_t mode) { return mode >= 0 && mode <= 9 ? mode : 0; }

// A text that the system fills: asks for the length first, so any length fits.
template <typename Fill>
std::string SystemText(Fill fill) {
  std::vector<char> buf(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    DWORD n = fill(buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return std::string();
    if (n < buf.size()) return std::string(buf.data(), n);
    buf.assign(static_cast<size_t>(n) + 1, '\0');
  }
  return std::string();
}

// --- Windows and messages -------------------------------------------------

struct FindWindowSearch {
  std::string prefix;
  HWND found = nullptr;
};

BOOL CALLBACK FindWindowStep(HWND w, LPARAM lp) {
  auto* s = reinterpret_cast<FindWindowSearch*>(lp);
  int len = GetWindowTextLengthA(w);
  if (static_cast<size_t>(len) < s->prefix.size()) return TRUE;
  std::vector<char> title(static_cast<size_t>(len) + 1, '\0');
  int got = GetWindowTextA(w, title.data(), len + 1);
  if (got < 0 || static_cast<size_t>(got) < s->prefix.size()) return TRUE;
  if (EqualsNoCase(std::string_view(title.data(), s->prefix.size()), s->prefix)) {
    s->found = w;
    return FALSE;
  }
  return TRUE;
}

void FnFindWindow(TParStack& ps) {
  FindWindowSearch search;
  if (!StrArg(ps, true, search.prefix)) return SetEmpty(kind::kInt);
  EnumWindows(FindWindowStep, reinterpret_cast<LPARAM>(&search));
  SetInt(FromHandle(search.found));
}

bool ReadMessageArgs(TParStack& ps, int32_t& h, int32_t& msg, int32_t& wp, int32_t& lp) {
  return IntArg(ps, false, h) && IntArg(ps, false, msg) && IntArg(ps, false, wp) && IntArg(ps, true, lp);
}

void FnSendMessage(TParStack& ps) {
  int32_t h, msg, wp, lp;
  if (!ReadMessageArgs(ps, h, msg, wp, lp)) return SetEmpty(kind::kInt);
  LRESULT r = SendMessageA(ToWindow(h), static_cast<UINT>(msg), static_cast<WPARAM>(static_cast<uint32_t>(wp)),
                           static_cast<LPARAM>(lp));
  SetInt(static_cast<int32_t>(r));
}

void FnPostMessage(TParStack& ps) {
  int32_t h, msg, wp, lp;
  if (!ReadMessageArgs(ps, h, msg, wp, lp)) return SetEmpty(kind::kInt);
  BOOL ok = PostMessageA(ToWindow(h), static_cast<UINT>(msg), static_cast<WPARAM>(static_cast<uint32_t>(wp)),
                         static_cast<LPARAM>(lp));
  SetInt(ok ? 1 : 0);
}

void FnGetActiveWindow(TParStack&) {
  NoArgs();
  SetInt(FromHandle(GetForegroundWindow()));
}

void FnSetActiveWindow(TParStack& ps) {
  int32_t h;
  if (!IntArg(ps, true, h)) return SetEmpty(kind::kInt);
  HWND previous = GetForegroundWindow();
  SetForegroundWindow(ToWindow(h));
  SetInt(FromHandle(previous));
}

void FnShowWindow(TParStack& ps) {
  int32_t h, mode;
  if (!IntArg(ps, false, h) || !IntArg(ps, true, mode)) return SetEmpty(kind::kInt);
  SetInt(ShowWindow(ToWindow(h), ShowMode(mode)) ? 1 : 0);
}

void FnSetFocus(TParStack& ps) {
  int32_t h;
  if (!IntArg(ps, true, h)) return SetEmpty(kind::kInt);
  SetInt(FromHandle(SetFocus(ToWindow(h))));
}

void FnGetFocus(TParStack& ps) {
  int32_t h;
  if (!IntArg(ps, true, h)) return SetEmpty(kind::kInt);
  int32_t focus = FromHandle(GetFocus());
  if (gScreen.f1WhileWaiting) focus = WrapNeg(focus);  // the help flag
  SetInt(focus == h ? 1 : 0);
}

void FnDestroyWindow(TParStack& ps) {
  int32_t h;
  if (!IntArg(ps, true, h)) return SetEmpty(kind::kInt);
  SetInt(DestroyWindow(ToWindow(h)) ? 1 : 0);
}

// --- Environment, program start, texts ------------------------------------

void FnGetEnv(TParStack& ps) {
  std::string name;
  if (!StrArg(ps, true, name)) return SetEmpty(kind::kString);
  SetString(SystemText([&](char* b, DWORD n) { return GetEnvironmentVariableA(name.c_str(), b, n); }));
}

void FnWinExec(TParStack& ps) {
  std::string command;
  int32_t show;
  if (!StrArg(ps, false, command) || !IntArg(ps, true, show)) return SetEmpty(kind::kInt);
  SetInt(static_cast<int32_t>(WinExec(command.c_str(), static_cast<UINT>(ShowMode(show)))));
}

void FnShellExec(TParStack& ps) {
  std::string file, operation;
  int32_t show;
  if (!StrArg(ps, false, file) || !StrArg(ps, false, operation) || !IntArg(ps, true, show))
    return SetEmpty(kind::kInt);
  HINSTANCE r = ShellExecuteA(reinterpret_cast<HWND>(MainWindowHandle()),
                              operation.empty() ? nullptr : operation.c_str(), file.c_str(), nullptr, nullptr,
                              ShowMode(show));
  SetInt(FromHandle(r));
}

void FnOemToAnsi(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kString);
  if (!s.empty()) OemToCharBuffA(s.data(), s.data(), static_cast<DWORD>(s.size()));
  SetString(std::move(s));
}

void FnAnsiToOem(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kString);
  if (!s.empty()) CharToOemBuffA(s.data(), s.data(), static_cast<DWORD>(s.size()));
  SetString(std::move(s));
}

void FnWinErrorText(TParStack& ps) {
  int32_t code;
  if (!IntArg(ps, true, code)) return SetEmpty(kind::kString);
  char* text = nullptr;
  DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                           nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string r = n && text ? Trim(std::string(text, n)) : std::string();
  if (text) LocalFree(text);
  SetString(std::move(r));
}

// --- Keys, joysticks, MCI, icons ------------------------------------------

void FnIsKey(TParStack& ps) {
  int32_t vk;
  if (!IntArg(ps, true, vk)) return SetEmpty(kind::kInt);
  SetInt(GetAsyncKeyState(vk & 0xFF) < 0 ? 1 : 0);
}

void FnJoy(TParStack& ps) {
  int32_t n, item;
  if (!IntArg(ps, false, n) || !IntArg(ps, true, item)) return SetEmpty(kind::kInt);
  if (item < 0 || item > 8) return Fail(200, kind::kInt);
  JOYINFOEX info{};
  info.dwSize = sizeof info;
  info.dwFlags = JOY_RETURNALL;
  if (joyGetPosEx(static_cast<UINT>(n), &info) != JOYERR_NOERROR) return SetInt(-1);
  DWORD v = 0;
  switch (item) {
    case 0: v = info.dwButtons; break;
    case 1: v = info.dwXpos; break;
    case 2: v = info.dwYpos; break;
    case 3: v = info.dwZpos; break;
    case 4: v = info.dwRpos; break;
    case 5: v = info.dwUpos; break;
    case 6: v = info.dwVpos; break;
    case 7: v = info.dwPOV; break;
    default: v = info.dwButtonNumber; break;
  }
  SetInt(static_cast<int32_t>(v));
}

void FnMciSend(TParStack& ps) {
  std::string command;
  if (!StrArg(ps, true, command)) return SetEmpty(kind::kString);
  char reply[256] = {0};
  MCIERROR err = mciSendStringA(command.c_str(), reply, 255, nullptr);
  gBuiltins.MciError = static_cast<int32_t>(err);
  if (err != 0) {
    char text[256] = {0};
    if (!mciGetErrorStringA(err, text, sizeof text)) text[0] = '\0';
    return SetString(text);
  }
  SetString(reply);
}

void FnIconCount(TParStack& ps) {
  std::string file;
  if (!StrArg(ps, true, file)) return SetEmpty(kind::kInt);
  HICON n = ExtractIconA(GetModuleHandleA(nullptr), file.c_str(), static_cast<UINT>(-1));
  SetInt(FromHandle(n));
}

// --- System variables -----------------------------------------------------

void StringVar(TEvalResult& r, const std::string& s) {
  r.StrValue = s;
  TextToNumbers(s, r.IntValue, r.FloatValue);
  r.ResultKind = kind::kString;
}

void IntVar(TEvalResult& r, int32_t v) {
  r.IntValue = v;
  r.FloatValue = v;
  r.StrValue = IntToText(v);
  r.ResultKind = kind::kInt;
}

std::string CurrentDirectoryA() {
  return SystemText([](char* b, DWORD n) { return GetCurrentDirectoryA(n, b); });
}

void VarWinPath(TEvalResult& r) {
  StringVar(r, SystemText([](char* b, DWORD n) { return GetWindowsDirectoryA(b, n); }));
}
void VarSysPath(TEvalResult& r) {
  StringVar(r, SystemText([](char* b, DWORD n) { return GetSystemDirectoryA(b, n); }));
}
void VarTempDir(TEvalResult& r) {
  StringVar(r, SystemText([](char* b, DWORD n) { return GetTempPathA(n, b); }));
}
void VarDrive(TEvalResult& r) { StringVar(r, CurrentDirectoryA().substr(0, 2)); }

// The version value: low byte major, next byte minor; top byte and the one
// below it the other half.
void VarWinVer(TEvalResult& r) {
  DWORD v = GetVersion();
  StringVar(r, ToDecimal(v & 0xFF) + "." + ToDecimal((v >> 8) & 0xFF));
  r.IntValue = static_cast<int32_t>(v);
  r.FloatValue = r.IntValue;
}
void VarDosVer(TEvalResult& r) {
  DWORD v = GetVersion();
  StringVar(r, ToDecimal(v >> 24) + "." + ToDecimal((v >> 16) & 0xFF));
}

template <int Metric>
void VarMetric(TEvalResult& r) {
  IntVar(r, GetSystemMetrics(Metric));
}

void VarBitsPixel(TEvalResult& r) {
  HDC dc = GetDC(nullptr);
  int bits = dc ? GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) : 0;
  if (dc) ReleaseDC(nullptr, dc);
  IntVar(r, bits);
}

void VarDesktop(TEvalResult& r) { IntVar(r, FromHandle(GetDesktopWindow())); }

void VarWinError(TEvalResult& r) {
  DWORD e = GetLastError();
  SetLastError(0);
  IntVar(r, static_cast<int32_t>(e));
}

}  // namespace

void RegisterSystemFunctions() {
#define KORV_UNIT_system_win32 1
#include "base/bind_unit.h"
#undef KORV_UNIT_system_win32


  SetCurrentDirectoryReader(CurrentDirectoryA);
}

}  // namespace korv
