#include "gui/window_win32.h"

#include <commctrl.h>

#include <cstdint>

#include "base/host.h"
#include "graphics/text_screen.h"
#include "gui/window.h"
#include "base/win32_host.h"
#include "values/set_get.h"

namespace korv {

namespace {

HWND gMain = nullptr;
HBITMAP gOldBitmap = nullptr;  // the memory DC's own bitmap, selected back on release
HACCEL gHotkeys = nullptr;
bool gHotkeysLoaded = false;
HWND gTooltip = nullptr;
bool gFensterRegistered = false;
bool gCreatingMain = false;
int gScreenW = 0, gScreenH = 0;

constexpr UINT kFensterStyle = CS_VREDRAW | CS_HREDRAW | CS_OWNDC | CS_BYTEALIGNWINDOW;
constexpr DWORD kExtraStyle = 0x2000;

uint32_t H32(HWND h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }
uint32_t H32(HANDLE h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

bool IsMouseMessage(UINT m) {
  return m == WM_MOUSEMOVE || m == WM_LBUTTONDOWN || m == WM_LBUTTONUP || m == WM_RBUTTONDOWN ||
         m == WM_RBUTTONUP || m == WM_MBUTTONDOWN || m == WM_MBUTTONUP;
}

// Steps every window procedure takes first. Returns true when the message
// is a user message that gets no other handling.
bool CommonSteps(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (gTooltip && IsMouseMessage(m)) {
    MSG msg{};
    msg.hwnd = h;
    msg.message = m;
    msg.wParam = w;
    msg.lParam = l;
    SendMessageA(gTooltip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
  }
  bool user = RecordMessage(H32(h), m, static_cast<uint32_t>(w), static_cast<uint32_t>(l));
  return user && !MustPassOn(m);
}

// Scroll-bar controls: the position follows the action.
void HandleScroll(WPARAM w, LPARAM l) {
  HWND bar = reinterpret_cast<HWND>(l);
  if (!bar) return;
  char cls[32] = {0};
  GetClassNameA(bar, cls, sizeof cls);
  if (lstrcmpiA(cls, "ScrollBar") != 0) return;
  int lo = 0, hi = 0;
  GetScrollRange(bar, SB_CTL, &lo, &hi);
  int pos = GetScrollPos(bar, SB_CTL);
  // In 64 bits: the program sets the range, and hi - lo + 1 may lie beyond
  // the integer range.
  int64_t page = (int64_t{hi} - lo + 1) / 10;
  if (page < 1) page = 1;
  int64_t next = pos;
  switch (LOWORD(w)) {
    case SB_LINEUP: if (pos > lo) next = pos - 1; break;
    case SB_LINEDOWN: if (pos < hi) next = pos + 1; break;
    case SB_PAGEUP: next = pos - page; break;
    case SB_PAGEDOWN: next = pos + page; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: next = static_cast<short>(HIWORD(w)); break;
    case SB_TOP: next = lo; break;
    case SB_BOTTOM: next = hi; break;
    default: return;
  }
  if (next < lo) next = lo;
  if (next > hi) next = hi;
  SetScrollPos(bar, SB_CTL, static_cast<int>(next), TRUE);
}

void ReleaseBackBuffer(HWND h) {
  HDC mem = reinterpret_cast<HDC>(static_cast<uintptr_t>(gEvents.hdc2));
  HDC dc = reinterpret_cast<HDC>(static_cast<uintptr_t>(gEvents.hdc));
  HBITMAP bmp = reinterpret_cast<HBITMAP>(static_cast<uintptr_t>(gEvents.bitmap));
  TDcPair& pair = CurrentDcPair();
  if (pair.window == gEvents.hdc && pair.memory == gEvents.hdc2) pair = TDcPair();
  if (mem) {
    if (gOldBitmap) SelectObject(mem, gOldBitmap);
    DeleteDC(mem);
  }
  if (bmp) DeleteObject(bmp);
  if (dc) ReleaseDC(h, dc);
  gOldBitmap = nullptr;
  gEvents.hdc = gEvents.hdc2 = gEvents.bitmap = 0;
}

// WM_COMMAND in the dialog-style procedures: the dialog-style main window
// and the "DIALOG" windows, which move the focus to a control only when
// its id is 1..0xFFFF (focusNeedsId).
void DialogStyleCommand(WPARAM w, LPARAM l, bool focusNeedsId) {
  const uint32_t id = LOWORD(w), code = HIWORD(w);
  if (gSwitches.MessageMode > 0) {
    gEvents.commandFlag = true;
    SetMenuItemValue(-static_cast<int32_t>(id));
    gEvents.clickedId = static_cast<int32_t>(id);
  }
  if (l == 0 && id == IDOK) {
    RecordKeyCode(13);
    HWND next = GetWindow(GetFocus(), GW_HWNDNEXT);
    if (next) SetFocus(next);
  } else if (l == 0 && id == IDCANCEL) {
    SetFocus(nullptr);
    RecordKeyCode(2);
  } else if (l != 0) {
    if (code == 1) {
      RecordKeyCode(1);
    } else if (code == 2) {
      RecordKeyCode(3);
    } else {
      if (!focusNeedsId || (id >= 1 && id <= 0xFFFF)) {
        SetFocus(reinterpret_cast<HWND>(l));
        gEvents.lastFocus = static_cast<int32_t>(l);
      }
      RecordKeyCode(255);
    }
  } else {
    RecordMenuCommand(id);
  }
}

// Window messages shared by the main-window procedures. Returns true when
// the message is fully handled (result in out).
bool MainWindowMessage(HWND h, UINT m, WPARAM w, LPARAM l, LRESULT& out, bool dialogStyle) {
  const bool isMain = h == gMain || (gMain == nullptr && gCreatingMain);
  switch (m) {
    case WM_CREATE:
      if (gCreatingMain) CreateTextGrid(gScreenW / 8, gScreenH / 15);
      out = 0;
      return true;
    case WM_DESTROY:
      if (h == gMain) {
        // Only the main window ends the program.
        DestroyTextGrid();
        ReleaseBackBuffer(h);
        gMain = nullptr;
        gEvents.mainWindow = 0;
        PostQuitMessage(0);
      }
      out = 0;
      return true;
    case WM_SIZE:
      if (isMain) TextScreenResized(LOWORD(l), HIWORD(l));
      RecordKeyCode(4);
      return false;
    case WM_SETFOCUS:
      if (isMain) TextScreenFocus(true);
      return false;
    case WM_KILLFOCUS:
      if (isMain) TextScreenFocus(false);
      return false;
    case WM_PAINT: {
      gEvents.paintFlag = true;
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(h, &ps);
      HDC mem = reinterpret_cast<HDC>(static_cast<uintptr_t>(gEvents.hdc2));
      if (h == gMain && mem) BitBlt(dc, 0, 0, gScreenW, gScreenH, mem, 0, 0, SRCCOPY);
      EndPaint(h, &ps);
      out = 0;
      return true;
    }
    case WM_CLOSE:
      if (!gEvents.closeText.empty()) {
        int answer = host().ShowMessageBox(gEvents.closeCaption, gEvents.closeText, MB_ICONQUESTION | MB_YESNO);
        if (answer != IDYES) {
          out = 0;
          return true;
        }
      }
      return false;
    case WM_GETMINMAXINFO:
      if (isMain && gScreen.created) MeasureTextCells();
      return false;
    case WM_NOTIFY: {
      const NMHDR* n = reinterpret_cast<const NMHDR*>(l);
      RecordNotify(H32(GetDlgItem(h, static_cast<int>(w))), n ? static_cast<int32_t>(n->code) : 0);
      return false;
    }
    case WM_KEYDOWN:
      gEvents.scanKey = static_cast<uint8_t>(w & 0xFF);
      return false;
    case WM_CHAR:
      RecordKeyCode(static_cast<int>(w & 0xFF));
      return false;
    case WM_COMMAND: {
      const uint32_t id = LOWORD(w), code = HIWORD(w);
      if (!dialogStyle) {
        if (l != 0) {
          RecordControlCommand(id, code);
        } else {
          RecordMenuCommand(id);
        }
        return false;
      }
      DialogStyleCommand(w, l, false);
      return false;
    }
    case WM_TIMER:
      RecordTimer(static_cast<uint32_t>(w));
      return false;
    case WM_HSCROLL:
    case WM_VSCROLL:
      HandleScroll(w, l);
      RecordKeyCode(255);
      return false;
    case WM_MOUSEMOVE:
      RecordMouse(m, static_cast<uint32_t>(l));
      return false;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      RecordMouse(m, static_cast<uint32_t>(l));
      SetFocus(h);
      return false;
    case WM_PARENTNOTIFY: {
      const UINT event = LOWORD(w);
      if (!dialogStyle) {
        RecordParentNotify(static_cast<uint32_t>(w), static_cast<uint32_t>(l));
      } else {
        gEvents.childMessage = static_cast<int32_t>(event);
        if (event == WM_LBUTTONDOWN) {
          char cls[8] = {0};
          HWND f = GetFocus();
          if (f) GetClassNameA(f, cls, sizeof cls);
          gEvents.leftButton = true;
          gEvents.rightButton = false;
          if (cls[0] == 'S' || cls[0] == 's') RecordMouse(WM_MOUSEMOVE, static_cast<uint32_t>(l));
        } else if (event == WM_RBUTTONDOWN) {
          SetFocus(nullptr);
          gEvents.rightButton = true;
          gEvents.leftButton = false;
        }
      }
      return false;
    }
    case wm::kUser996:
      gEvents.internalWord = static_cast<uint16_t>(w);
      return false;
    default:
      return false;
  }
}

LRESULT CALLBACK MainWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  gEvents.hwnd = H32(h);
  if (CommonSteps(h, m, w, l)) return static_cast<LRESULT>(m);
  LRESULT out = 0;
  if (MainWindowMessage(h, m, w, l, out, false)) return out;
  return DefWindowProcA(h, m, w, l);
}

LRESULT CALLBACK DialogMainWindowProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  gEvents.hwnd = H32(h);
  if (CommonSteps(h, m, w, l)) return static_cast<LRESULT>(m);
  LRESULT out = 0;
  if (MainWindowMessage(h, m, w, l, out, true)) return out;
  return DefDlgProcA(h, m, w, l);
}

// The part of the "DIALOG" procedures that both share. Returns true when
// handled.
bool DialogMessage(HWND h, UINT m, WPARAM w, LPARAM l, bool resourceDialog) {
  switch (m) {
    case WM_SIZE:
      if (resourceDialog) return false;
      RecordKeyCode(4);
      return false;
    case WM_SETFOCUS:
      return false;
    case WM_NOTIFY: {
      const NMHDR* n = reinterpret_cast<const NMHDR*>(l);
      RecordNotify(H32(GetDlgItem(h, static_cast<int>(w))), n ? static_cast<int32_t>(n->code) : 0);
      return false;
    }
    case WM_COMMAND:
      DialogStyleCommand(w, l, true);
      return false;
    case WM_TIMER:
      RecordTimer(static_cast<uint32_t>(w));
      return false;
    case WM_HSCROLL:
    case WM_VSCROLL:
      HandleScroll(w, l);
      RecordKeyCode(255);
      return false;
    case WM_MOUSEMOVE:
      RecordMouse(m, static_cast<uint32_t>(l));
      return false;
    case WM_PARENTNOTIFY:
      RecordParentNotify(static_cast<uint32_t>(w), static_cast<uint32_t>(l));
      return false;
    default:
      return false;
  }
}

// --- The pump -----------------------------------------------------------------

void Pump() {
  if ((static_cast<unsigned short>(GetAsyncKeyState(VK_F1)) & 0x8001) == 0x8001) QueueKey(5);
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if ((msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) || (msg.message >= WM_MOUSEFIRST && msg.message <= WM_MOUSEWHEEL))
      gEvents.inputSeen = true;
    if (msg.message == WM_QUIT) ExitWith(0);
    HACCEL accel = HotkeyTable();
    if (accel && gMain && TranslateAcceleratorA(gMain, accel, &msg)) {
      DispatchMessageA(&msg);
      continue;
    }
    const int32_t style = gWindowSettings.styleValue;
    if ((style & 512) && gMain && IsDialogMessageA(gMain, &msg)) continue;
    HWND dlg = reinterpret_cast<HWND>(static_cast<uintptr_t>(gEvents.dialogWindow));
    if (dlg && IsWindow(dlg) && IsDialogMessageA(dlg, &msg)) continue;
    if (((style & 128) && (msg.message == WM_SYSKEYDOWN || msg.message == WM_SYSCOMMAND)) ||
        ((style & 256) && msg.message == WM_SYSCOMMAND)) {
      msg.message = WM_COMMAND;
      msg.wParam = LOWORD(msg.wParam);
      msg.lParam = 0;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

// --- Creation and release ----------------------------------------------------------

// Runs only as the process ends. The window itself is left to the end of the
// process: destroying a visible window first costs nothing on Windows but
// makes Wine wait up to two seconds for a window manager to withdraw it.
void ReleaseMainWindow() {
  if (gMain && IsWindow(gMain) && gEvents.timerActive) KillTimer(gMain, 1);
  if (gEvents.hdc || gEvents.hdc2) ReleaseBackBuffer(gMain);
  gEvents.timerActive = false;
  gMain = nullptr;
  gEvents.mainWindow = 0;
}

bool RegisterFenster() {
  if (gFensterRegistered) return true;
  const int32_t style = gWindowSettings.styleValue;
  WNDCLASSA wc{};
  wc.style = kFensterStyle;
  wc.lpfnWndProc = (style & 512) ? DialogMainWindowProc : MainWindowProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = Instance();
  wc.hIcon = LoadIconA(Instance(), "TELMAR");
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject((style & 32) ? NULL_BRUSH : WHITE_BRUSH));
  wc.lpszClassName = "FENSTER";
  gFensterRegistered = RegisterClassA(&wc) != 0;
  return gFensterRegistered;
}

// --- The platform seam -------------------------------------------------------------

class Win32WindowPlatform : public WindowPlatform {
 public:
  void EnsureMainWindow() override { EnsureMainWindowWin32(); }
  bool MainWindowAlive() override { return gMain && IsWindow(gMain); }
  void Sleep(int32_t ms) override { ::Sleep(static_cast<DWORD>(ms < 0 ? 0 : ms)); }
  void StartTimer(int32_t ms) override {
    if (gMain) SetTimer(gMain, 1, static_cast<UINT>(ms < 0 ? 0 : ms), nullptr);
  }
  void StopTimer() override {
    if (gMain) KillTimer(gMain, 1);
  }
  void ApplyTitle() override {
    if (gMain) SetWindowTextA(gMain, gWindowSettings.title.c_str());
  }
  void ApplyRectangle() override {
    if (!gMain) return;
    SetWindowPos(gMain, nullptr, gWindowSettings.x, gWindowSettings.y, gWindowSettings.width,
                 gWindowSettings.height, SWP_NOZORDER);
    InvalidateRect(gMain, nullptr, FALSE);
    UpdateWindow(gMain);
  }
  void Show(int cmd) override {
    if (!gMain) return;
    ShowWindow(gMain, cmd);
    UpdateWindow(gMain);
  }
  void Repaint() override {
    if (!gMain) return;
    InvalidateRect(gMain, nullptr, FALSE);
    UpdateWindow(gMain);
  }
  void GetNextMessage() override {
    // Without a window nothing may ever come: no waiting then.
    if (!gMain) return;
    MSG msg;
    BOOL r = GetMessageA(&msg, nullptr, 0, 0);
    if (r == -1) return;
    gEvents.window = H32(msg.hwnd);
    gEvents.message = msg.message;
    gEvents.wParam = static_cast<uint32_t>(msg.wParam);
    gEvents.lParam = static_cast<uint32_t>(msg.lParam);
    gEvents.lastMessage = static_cast<int32_t>(msg.message);
    if (r == 0) ExitWith(0);  // WM_QUIT: the main window is gone
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  bool PeekNextMessage() override {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) return false;
    gEvents.window = H32(msg.hwnd);
    gEvents.message = msg.message;
    gEvents.wParam = static_cast<uint32_t>(msg.wParam);
    gEvents.lParam = static_cast<uint32_t>(msg.lParam);
    return true;
  }
  int32_t FocusWindow() override { return static_cast<int32_t>(H32(GetFocus())); }
  int32_t Instance() override { return static_cast<int32_t>(H32(GetModuleHandleA(nullptr))); }
  bool WindowEdges(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) override {
    RECT r;
    if (!gMain || !GetWindowRect(gMain, &r)) return false;
    left = r.left;
    top = r.top;
    right = r.right;
    bottom = r.bottom;
    return true;
  }
  int32_t ConsoleKey() override { return PollConsoleKey(); }
};

Win32WindowPlatform gPlatformImpl;

std::uintptr_t ProvideMainWindow() { return reinterpret_cast<std::uintptr_t>(gMain); }

}  // namespace

HWND MainHwnd() { return gMain; }
int ScreenPixelWidth() { return gScreenW; }
int ScreenPixelHeight() { return gScreenH; }

HACCEL HotkeyTable() {
  if (!gHotkeysLoaded) {
    gHotkeysLoaded = true;
    // A program without the table has no accelerators.
    if (!gHotkeys) gHotkeys = LoadAcceleratorsA(Instance(), "HOTKEY");
  }
  return gHotkeys;
}

void ReplaceHotkeyTable(HACCEL table) {
  HACCEL old = HotkeyTable();
  gHotkeys = table;
  if (old && old != table) DestroyAcceleratorTable(old);
}

bool EnsureMainWindowWin32() {
  if (gEvents.mainWindowMade) return gMain != nullptr;
  gEvents.mainWindowMade = true;

  HDC ic = CreateICA("DISPLAY", nullptr, nullptr, nullptr);
  gScreenW = ic ? GetDeviceCaps(ic, HORZRES) : 640;
  gScreenH = ic ? GetDeviceCaps(ic, VERTRES) : 480;
  if (ic) DeleteDC(ic);

  const int32_t style = gWindowSettings.styleValue;
  // An empty menu bar (a menu resource without items cannot be loaded
  // everywhere, so the bar is made here).
  HMENU menu = (style & 16) ? nullptr : CreateMenu();
  if (!RegisterFenster()) {
    if (menu) DestroyMenu(menu);
    return false;
  }
  gCreatingMain = true;
  HWND h = CreateWindowExA(gWindowSettings.exStyle, "FENSTER", gWindowSettings.title.c_str(),
                           gWindowSettings.style | kExtraStyle, 0, 0, gScreenW, gScreenH, GetDesktopWindow(),
                           menu, Instance(), nullptr);
  gCreatingMain = false;
  if (!h) {
    if (menu) DestroyMenu(menu);
    if (gScreen.created) DestroyTextGrid();
    return false;
  }
  gMain = h;
  gEvents.mainWindow = gEvents.hwnd = H32(h);
  gEvents.menu = H32(menu);
  SetWindowPos(h, nullptr, gWindowSettings.x, gWindowSettings.y, gWindowSettings.width,
               gWindowSettings.height, SWP_NOZORDER);
  ShowWindow(h, SW_SHOWNORMAL);

  HDC dc = GetDC(h);
  HDC mem = CreateCompatibleDC(dc);
  HBITMAP bmp = CreateCompatibleBitmap(dc, gScreenW, gScreenH);
  gOldBitmap = static_cast<HBITMAP>(SelectObject(mem, bmp));
  SetStretchBltMode(dc, COLORONCOLOR);
  SetStretchBltMode(mem, COLORONCOLOR);
  // The back buffer starts white, so a window enlarged later shows no
  // black areas.
  PatBlt(mem, 0, 0, gScreenW, gScreenH, WHITENESS);
  if (!(style & 32)) PatBlt(dc, 0, 0, gScreenW, gScreenH, WHITENESS);
  SetClassLongPtrA(h, GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW))));
  gEvents.hdc = H32(dc);
  gEvents.hdc2 = H32(mem);
  gEvents.bitmap = H32(bmp);
  CurrentDcPair() = TDcPair{gEvents.hdc, gEvents.hdc2};
  if (!gScreen.created) CreateTextGrid(gScreenW / 8, gScreenH / 15);
  MeasureTextCells();
  RECT client;
  if (GetClientRect(h, &client)) TextScreenResized(client.right, client.bottom);
  AtShutdown(ReleaseMainWindow);
  InvalidateRect(h, nullptr, FALSE);
  UpdateWindow(h);
  // The sizing messages of the creation itself are no keys of the user.
  gScreen.lastKey = 0;
  ClearKeyQueue();
  return true;
}

LRESULT CALLBACK DialogChildProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  gEvents.dialogWindow = H32(h);
  if (CommonSteps(h, m, w, l)) return static_cast<LRESULT>(m);
  DialogMessage(h, m, w, l, false);
  return DefDlgProcA(h, m, w, l);
}


INT_PTR CALLBACK ResourceDialogProc(HWND h, UINT m, WPARAM w, LPARAM l) {
  gEvents.dialogWindow = H32(h);
  if (CommonSteps(h, m, w, l)) return static_cast<INT_PTR>(m);
  if (m == WM_CLOSE) return 0;
  DialogMessage(h, m, w, l, true);
  return 0;
}

void InstallWin32Window() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSA wc{};
  wc.style = CS_CLASSDC;
  wc.lpfnWndProc = DialogChildProc;
  wc.cbWndExtra = DLGWINDOWEXTRA;
  wc.hInstance = Instance();
  wc.hIcon = LoadIconA(Instance(), "TELMAR");
  wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
  wc.lpszClassName = "DIALOG";
  RegisterClassA(&wc);
  SetWindowPlatform(&gPlatformImpl);
  SetMainWindowProvider(ProvideMainWindow);
  SetPumpHook(Pump);
  InstallWin32TextScreen();
}

}  // namespace korv
