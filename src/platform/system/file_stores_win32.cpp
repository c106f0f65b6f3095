// The registry side of READINI$/WRITEINI and the clipboard commands.
#include <windows.h>

#include <cstring>
#include <string>

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "base/host.h"
#include "values/evaluator.h"
#include "values/functions_support.h"
#include "system/file_channels.h"
#include "system/key_string.h"
#include "base/win32_host.h"

namespace korv {

namespace {

constexpr DWORD kMaxRegistryBytes = 1 << 20;  // larger values are cut
constexpr size_t kMaxRegistryText = 256;
constexpr size_t kMaxClipText = size_t{64} << 20;

// "HKEY_d" / "HKEY_DW_d": the root d (0..6) and whether the value is a number.
bool ParseRoot(const std::string& file, HKEY& root, bool& number) {
  std::string u = Upper(file);
  number = StartsWith(u, "HKEY_DW_");
  size_t pos = number ? 8 : 5;
  if (pos >= u.size() || u[pos] < '0' || u[pos] > '6') {
    RaiseWarning(305, "Ungültiger HKEY: " + file);
    return false;
  }
  root = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u + static_cast<unsigned>(u[pos] - '0')));
  return true;
}

bool ReadRegistry(const std::string& file, const std::string& section, const std::string& key,
                  std::string& out) {
  out.clear();
  HKEY root{};
  bool number = false;
  if (!ParseRoot(file, root, number)) return false;
  HKEY k{};
  if (RegOpenKeyExA(root, section.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) {
    RaiseWarning(305, "RegOpenkeyEx scheiterte für \"" + section + "\".");
    return false;
  }
  DWORD type = 0, size = 0;
  LONG rc = RegQueryValueExA(k, key.c_str(), nullptr, &type, nullptr, &size);
  std::string data;
  if (rc == ERROR_SUCCESS) {
    if (size > kMaxRegistryBytes) size = kMaxRegistryBytes;
    data.assign(size, '\0');
    DWORD got = size;
    rc = RegQueryValueExA(k, key.c_str(), nullptr, &type,
                          reinterpret_cast<BYTE*>(data.data()), &got);
    if (rc == ERROR_MORE_DATA) rc = ERROR_SUCCESS;  // cut at the cap
    else if (got < data.size()) data.resize(got);
  }
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS) {
    RaiseWarning(305, "\"" + key + "\" nicht in \"" + section + "\" gefunden.");
    return false;
  }
  if (number) {
    uint32_t v = 0;
    std::memcpy(&v, data.data(), std::min<size_t>(4, data.size()));
    out = std::to_string(static_cast<int32_t>(v));
    return true;
  }
  size_t end = data.find('\0');
  if (end != std::string::npos) data.resize(end);
  out = Trim(data);
  if (out.size() > kMaxRegistryText) out.resize(kMaxRegistryText);
  return true;
}

void WriteRegistry(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value, int32_t intValue) {
  HKEY root{};
  bool number = false;
  if (!ParseRoot(file, root, number)) return;
  HKEY k{};
  if (RegCreateKeyExA(root, section.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr) !=
      ERROR_SUCCESS) {
    RaiseWarning(305, "RegCreateKeyEx scheiterte für \"" + section + "\".");
    return;
  }
  LONG rc;
  if (number) {
    DWORD v = static_cast<DWORD>(intValue);
    rc = RegSetValueExA(k, key.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
  } else {
    rc = RegSetValueExA(k, key.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
  }
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS)
    RaiseWarning(305, "RegSetValueEX scheiterte für \"" + section + "\" : \"" + key + "\".");
}

// The clipboard owner: the program window, or a hidden window of our own
// before the program window exists.
HWND ClipOwner() {
  HWND main = reinterpret_cast<HWND>(MainWindowHandle());
  if (main != nullptr && IsWindow(main)) return main;
  static HWND hidden = nullptr;
  if (hidden == nullptr || !IsWindow(hidden))
    hidden = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  return hidden;
}

bool OpenClip() {
  for (int i = 0; i < 10; ++i) {  // another program may hold it a moment
    if (OpenClipboard(ClipOwner())) return true;
    Sleep(10);
  }
  return false;
}

std::string ClipText() {
  std::string text;
  HANDLE h = GetClipboardData(CF_TEXT);
  if (h == nullptr) return text;
  const char* p = static_cast<const char*>(GlobalLock(h));
  if (p == nullptr) return text;
  size_t cap = std::min<size_t>(GlobalSize(h), kMaxClipText);
  text.assign(p, strnlen(p, cap));
  GlobalUnlock(h);
  return text;
}

void ClearClip() {
  if (!OpenClip()) return;
  EmptyClipboard();
  CloseClipboard();
}

void PutClip(const std::string& added) {
  if (!OpenClip()) return;
  std::string text;
  if (IsClipboardFormatAvailable(CF_OEMTEXT)) text = ClipText();
  text += added;
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, text.size() + 1);
  char* p = mem ? static_cast<char*>(GlobalLock(mem)) : nullptr;
  if (p == nullptr) {
    if (mem) GlobalFree(mem);
    CloseClipboard();
    return;
  }
  std::memcpy(p, text.c_str(), text.size() + 1);
  GlobalUnlock(mem);
  // Emptying only once the new data is ready keeps the old text on failure.
  if (!EmptyClipboard() || SetClipboardData(CF_TEXT, mem) == nullptr) GlobalFree(mem);
  CloseClipboard();
}

std::string GetClip() {
  if (!OpenClip()) return std::string();
  std::string text = ClipText();
  CloseClipboard();
  return text;
}

// WINHELP file, topic
void CmdWinHelp(TParStack& ps) {
  std::string file = EvalString(ps, ',');
  if (gEval.failed) return;
  std::string topic = EvalString(ps, ' ');
  if (gEval.failed) return;
  HWND owner = reinterpret_cast<HWND>(MainWindowHandle());
  if (topic == "?") {
    WinHelpA(owner, file.c_str(), HELP_HELPONHELP, 0);
  } else if (topic == "*") {
    WinHelpA(owner, file.c_str(), HELP_INDEX, 0);
  } else {
    WinHelpA(owner, file.c_str(), HELP_PARTIALKEY, reinterpret_cast<ULONG_PTR>(topic.c_str()));
  }
}

// EXITWINDOWS mode: ends the Windows session.
void CmdExitWindows(TParStack& ps) {
  int32_t mode = EvalInt(ps, ' ');
  if (gEval.failed) return;
  static const UINT kFlags[8] = {EWX_SHUTDOWN, EWX_REBOOT, EWX_POWEROFF, EWX_LOGOFF,
                                 EWX_SHUTDOWN | EWX_FORCE, EWX_REBOOT | EWX_FORCE,
                                 EWX_POWEROFF | EWX_FORCE, EWX_LOGOFF | EWX_FORCE};
  UINT flags = mode >= 0 && mode < 8 ? kFlags[mode] : static_cast<UINT>(mode);
  HANDLE token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    TOKEN_PRIVILEGES tp{};
    if (LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &tp.Privileges[0].Luid)) {
      tp.PrivilegeCount = 1;
      tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
      AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr);
    }
    CloseHandle(token);
  }
  ExitWindowsEx(flags, 0);
}

// WINEXECWAIT(command, show): 1 when the process started, after it ended.
void FnWinExecWait(TParStack& ps) {
  std::string command;
  int32_t show = 0;
  if (!fn::StrArg(ps, false, command) || !fn::IntArg(ps, true, show)) return;
  if (show < 0 || show > 9) show = 0;
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION pi{};
  std::string line = command;  // CreateProcess may write into the buffer
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr,
                      nullptr, &si, &pi)) {
    fn::SetInt(0);
    return;
  }
  while (WaitForSingleObject(pi.hThread, 100) == WAIT_TIMEOUT) host().PumpMessages();
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  fn::SetInt(1);
}

// --- keystrokes ---------------------------------------------------------------------

void KeyEvent(BYTE vk, bool up) {
  keybd_event(vk, static_cast<BYTE>(MapVirtualKeyA(vk, 0)), up ? KEYEVENTF_KEYUP : 0, 0);
}

// Brings the target window to the front: window 0 or the window with the
// focus mean the current foreground window.
void FrontWindow(int32_t window) {
  HWND h = reinterpret_cast<HWND>(static_cast<uintptr_t>(static_cast<uint32_t>(window)));
  if (h == nullptr || h == GetFocus()) h = GetForegroundWindow();
  if (h != nullptr && IsWindow(h)) SetForegroundWindow(h);
}

void SendStroke(const keys::KeyStroke& k) {
  BYTE vk = static_cast<BYTE>(k.vk);
  bool shift = k.shift, ctrl = k.ctrl, alt = k.alt;
  if (k.isChar) {
    SHORT scan = VkKeyScanA(k.ch);
    if (scan == -1) return;  // no key of the layout gives the character
    vk = static_cast<BYTE>(scan & 0xFF);
    shift = shift || (scan & 0x100);
    ctrl = ctrl || (scan & 0x200);
    alt = alt || (scan & 0x400);
  }
  if (shift) KeyEvent(VK_SHIFT, false);
  if (ctrl) KeyEvent(VK_CONTROL, false);
  if (alt) KeyEvent(VK_MENU, false);
  KeyEvent(vk, false);
  KeyEvent(vk, true);
  if (alt) KeyEvent(VK_MENU, true);
  if (ctrl) KeyEvent(VK_CONTROL, true);
  if (shift) KeyEvent(VK_SHIFT, true);
}

void FnSendKey(TParStack& ps) {
  int32_t window = 0, key = 0;
  if (!fn::IntArg(ps, false, window) || !fn::IntArg(ps, true, key)) return;
  FrontWindow(window);
  KeyEvent(static_cast<BYTE>(key), false);
  KeyEvent(static_cast<BYTE>(key), true);
  fn::SetInt(1);
}

void FnSendString(TParStack& ps) {
  int32_t window = 0;
  std::string text;
  if (!fn::IntArg(ps, false, window) || !fn::StrArg(ps, true, text)) return;
  FrontWindow(window);
  for (const keys::KeyStroke& k : keys::ParseKeyString(text)) SendStroke(k);
  // No modifier stays pressed, whatever the string did.
  KeyEvent(VK_SHIFT, true);
  KeyEvent(VK_CONTROL, true);
  KeyEvent(VK_MENU, true);
  fn::SetInt(1);
}

}  // namespace

void InstallWin32FileStores() {
#define KORV_UNIT_file_stores_win32 1
#include "base/bind_unit.h"
#undef KORV_UNIT_file_stores_win32
  SystemStoreHooks h;
  h.readRegistry = ReadRegistry;
  h.writeRegistry = WriteRegistry;
  h.clearClip = ClearClip;
  h.putClip = PutClip;
  h.getClip = GetClip;
  SetSystemStoreHooks(h);
}

}  // namespace korv
