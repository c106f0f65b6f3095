#include "gui/window.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "base/text.h"
#include "base/names.h"
#include "base/errors.h"
#include "engine/executor.h"
#include "base/host.h"
#include "graphics/text_screen.h"
#include "values/evaluator.h"
#include "values/set_get.h"

namespace korv {

TWindowSettings gWindowSettings;
TEventState gEvents;

namespace {

WindowPlatform* gPlatform = nullptr;
TDcPair gDcPair;
std::string gDefaultTitle = "Korvid 1.0";
std::string gInfoCaption = "Korvid";
std::string gInfoText = "Korvid 1.0";

constexpr size_t kTitleMax = 255;
constexpr int kShowMaximized = 3, kShowMinimized = 2, kShowNormal = 1;
constexpr unsigned kSystemModal = 0x1000;
// Window style bits (the neutral side has no Windows headers).
constexpr uint32_t kStylePopup = 0x80000000u;     // WS_POPUP
constexpr uint32_t kExStyleToolWindow = 0x80u;    // WS_EX_TOOLWINDOW

// --- Results ---------------------------------------------------------------------

void IntOut(TEvalResult& r, int32_t v, uint8_t k = kind::kInt) {
  r.IntValue = v;
  r.FloatValue = v;
  r.StrValue = IntToText(v);
  r.ResultKind = k;
}

void LongOut(TEvalResult& r, uint32_t v) { IntOut(r, static_cast<int32_t>(v), kind::kLong); }

// --- Commands ----------------------------------------------------------------------

bool RestBlank() {
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  return p >= gEval.text.size();
}

void EnsureWindow() {
  if (gPlatform) gPlatform->EnsureMainWindow();
}

void CmdWaitInput(TParStack&) {
  // A wait needs a window to come from: make it first.
  EnsureWindow();
  gEvents.childMessage = 0;
  gEvents.leftButton = gEvents.rightButton = false;
  gEvents.commandFlag = false;
  SetMenuItemValue(0);
  gEvents.lastFocus = 0;
  gEvents.clickedId = 0;
  gEvents.timerFlag = false;
  gScreen.f1WhileWaiting = false;
  gEvents.notifyFlag = false;
  gScreen.lastKey = 0;
  gEvents.scanKey = 0;
  gEvents.userMessage = 0;
  gEvents.userWParam = gEvents.userLParam = 0;
  gScreen.waitInputActive = true;
  while (!WaitInputEventPending()) {
    if (!gPlatform || !gPlatform->MainWindowAlive()) break;  // nothing can come
    if (int32_t key = gPlatform->ConsoleKey(); key != 0) {
      QueueKey(key);
      continue;
    }
    gPlatform->Sleep(1);
    host().PumpMessages();
  }
  gEvents.lastMessage = static_cast<int32_t>(gEvents.message);
  int32_t focus = gPlatform ? gPlatform->FocusWindow() : 0;
  gEvents.lastFocus = gScreen.f1WhileWaiting ? -focus : focus;
  gEvents.key = gScreen.lastKey;
  gScreen.waitInputActive = false;
  ClearKeyQueue();
  gScreen.endOfFile = true;
}

void CmdGetMessage(TParStack&) {
  EnsureWindow();
  if (gPlatform) gPlatform->GetNextMessage();
}

void CmdUserMessages(TParStack& ps) {
  if (RestBlank()) {
    RaiseError(212);
    return;
  }
  for (;;) {
    int32_t m = EvalInt(ps, ',');
    if (gEval.failed) return;
    if (m == 0) {
      gEvents.userMessages.clear();
    } else if (gEvents.userMessages.size() >= kMaxUserMessages) {
      RaiseError(232);
      return;
    } else {
      gEvents.userMessages.push_back(static_cast<uint32_t>(m));
    }
    if (gEval.endOfArgs || RestBlank()) return;
  }
}

void CmdSetTimer(TParStack& ps) {
  int32_t ms = EvalInt(ps, ' ');
  if (gEval.failed) return;
  EnsureWindow();
  if (gPlatform) {
    if (gEvents.timerActive) gPlatform->StopTimer();
    gPlatform->StartTimer(ms);
  }
  gEvents.timerActive = true;
}

void CmdKillTimer(TParStack&) {
  if (!gEvents.timerActive) {
    RaiseWarning(250);
    return;
  }
  if (gPlatform) gPlatform->StopTimer();
  gEvents.timerActive = false;
}

void CmdWindow(TParStack& ps) {
  int32_t x = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t y = EvalInt(ps, '-');
  if (gEval.failed) return;
  int32_t w = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t h = EvalInt(ps, ' ');
  if (gEval.failed) return;
  if (x < 0 || y < 0 || w < 0 || h < 0) {
    RaiseWarning(223);
    return;
  }
  gWindowSettings.x = x;
  gWindowSettings.y = y;
  gWindowSettings.width = w;
  gWindowSettings.height = h;
  SetTextGridSize(w / 8, h / 15 - 1);
  EnsureWindow();
  if (gPlatform) gPlatform->ApplyRectangle();
}

void CmdWindowStyle(TParStack& ps) {
  int32_t n = EvalInt(ps, ' ');
  if (gEval.failed) return;
  gWindowSettings.styleValue = n;
  uint32_t style = (static_cast<uint32_t>(n) & 15u) << 16;
  if (n & 64) style |= kStylePopup;
  gWindowSettings.style = style;
  gWindowSettings.exStyle = (n & 1024) ? kExStyleToolWindow : 0u;
}

void CmdWindowTitle(TParStack& ps) {
  std::string t = EvalString(ps, ' ');
  if (gEval.failed) return;
  if (t.size() > kTitleMax) t.resize(kTitleMax);
  gWindowSettings.title = t;
  if (gPlatform) gPlatform->ApplyTitle();
}

void Show(int cmd) {
  EnsureWindow();
  if (gPlatform) gPlatform->Show(cmd);
}
void CmdShowMax(TParStack&) { Show(kShowMaximized); }
void CmdShowMin(TParStack&) { Show(kShowMinimized); }
void CmdShowNormal(TParStack&) { Show(kShowNormal); }

void CmdSetCloseMsg(TParStack& ps) {
  std::string text = EvalString(ps, ',');
  if (gEval.failed) return;
  std::string caption;
  if (!gEval.endOfArgs && !RestBlank()) {
    caption = EvalString(ps, ' ');
    if (gEval.failed) return;
  }
  gEvents.closeText = text;
  gEvents.closeCaption = caption;
}

void CmdSleep(TParStack& ps) {
  int32_t ms = EvalInt(ps, ' ');
  if (gEval.failed) return;
  if (ms <= 0) return;
  if (gPlatform) {
    gPlatform->Sleep(ms);
  } else {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
}

void CmdRepaint(TParStack&) {
  if (PrintJobActive()) {
    RaiseError(221, "REPAINT");
    return;
  }
  if (gPlatform) gPlatform->Repaint();
  host().PumpMessages();
}

void InfoBox() {
  EnsureWindow();
  host().ShowMessageBox(gInfoCaption, gInfoText, mb::kOk | mb::kIconInfo | kSystemModal);
}

// --- System variables ------------------------------------------------------------------

void SvMessage(TEvalResult& r) { IntOut(r, static_cast<int32_t>(gEvents.message)); }
void SvWParam(TEvalResult& r) { LongOut(r, gEvents.wParam); }
void SvLParam(TEvalResult& r) { LongOut(r, gEvents.lParam); }
void SvMWnd(TEvalResult& r) { IntOut(r, static_cast<int32_t>(gEvents.window)); }
void SvLastMessage(TEvalResult& r) { IntOut(r, gEvents.lastMessage); }
void SvPeekMessage(TEvalResult& r) {
  bool waiting = gPlatform && gPlatform->PeekNextMessage();
  if (waiting) gEvents.lastMessage = static_cast<int32_t>(gEvents.message);
  IntOut(r, waiting ? 1 : 0);
}
void SvWmTimer(TEvalResult& r) {
  IntOut(r, gEvents.timerFlag ? 1 : 0);
  gEvents.timerFlag = false;
}
void SvWmPaint(TEvalResult& r) {
  IntOut(r, gEvents.paintFlag ? 1 : 0);
  gEvents.paintFlag = false;
}
void SvWmNotify(TEvalResult& r) {
  IntOut(r, gEvents.notifyFlag ? 1 : 0);
  gEvents.notifyFlag = false;
}
void SvNotifyCode(TEvalResult& r) { IntOut(r, gEvents.notifyCode); }
void SvNotifyWnd(TEvalResult& r) { LongOut(r, gEvents.notifyWindow); }
void SvKey(TEvalResult& r) { IntOut(r, gEvents.key); }
void SvScanKey(TEvalResult& r) { IntOut(r, gEvents.scanKey); }
void SvMouseX(TEvalResult& r) { IntOut(r, gEvents.mouseX); }
void SvMouseY(TEvalResult& r) { IntOut(r, gEvents.mouseY); }
int32_t MouseButton() { return gEvents.leftButton ? 1 : (gEvents.rightButton ? 2 : 0); }
void SvMouseKey(TEvalResult& r) {
  IntOut(r, MouseButton());
  gEvents.leftButton = gEvents.rightButton = false;
}
void SvMousePressed(TEvalResult& r) { IntOut(r, MouseButton()); }
void SvMenuItem(TEvalResult& r) { IntOut(r, MenuItemValue()); }
void SvChildMessage(TEvalResult& r) { IntOut(r, gEvents.childMessage); }
void SvHwnd(TEvalResult& r) { IntOut(r, static_cast<int32_t>(gEvents.hwnd)); }
void SvHdc(TEvalResult& r) { IntOut(r, static_cast<int32_t>(gEvents.hdc)); }
void SvHdc2(TEvalResult& r) { IntOut(r, static_cast<int32_t>(gEvents.hdc2)); }
void SvGetInputState(TEvalResult& r) {
  IntOut(r, gEvents.inputSeen ? 1 : 0);
  gEvents.inputSeen = false;
}
void SvUMessage(TEvalResult& r) { IntOut(r, gEvents.userMessage); }
void SvUWParam(TEvalResult& r) { LongOut(r, gEvents.userWParam); }
void SvULParam(TEvalResult& r) { LongOut(r, gEvents.userLParam); }
void SvWindowStyle(TEvalResult& r) { IntOut(r, gWindowSettings.styleValue); }
void SvLastFocus(TEvalResult& r) { IntOut(r, gEvents.lastFocus, kind::kLong); }
void SvGetFocus(TEvalResult& r) {
  int32_t f = gPlatform ? gPlatform->FocusWindow() : 0;
  IntOut(r, gScreen.f1WhileWaiting ? -f : f);
}
void SvHInstance(TEvalResult& r) { IntOut(r, gPlatform ? gPlatform->Instance() : 0); }
void SvHMenu(TEvalResult& r) { LongOut(r, gEvents.menu); }

enum class Edge { Top, Bottom, Left, Right };
template <Edge E>
void SvEdge(TEvalResult& r) {
  int32_t l = 0, t = 0, rt = 0, b = 0;
  if (gPlatform) gPlatform->WindowEdges(l, t, rt, b);
  IntOut(r, E == Edge::Top ? t : E == Edge::Bottom ? b : E == Edge::Left ? l : rt);
}

}  // namespace

void SetDefaultWindowTitle(const std::string& title) {
  gDefaultTitle = title.size() > kTitleMax ? title.substr(0, kTitleMax) : title;
  gWindowSettings.title = gDefaultTitle;
}
const std::string& DefaultWindowTitle() { return gDefaultTitle; }
void SetProgramInfo(const std::string& caption, const std::string& text) {
  gInfoCaption = caption;
  gInfoText = text;
}

TDcPair& CurrentDcPair() { return gDcPair; }

void SetWindowPlatform(WindowPlatform* platform) { gPlatform = platform; }
WindowPlatform* GetWindowPlatform() { return gPlatform; }

void ResetWindowState() {
  // The window, its contexts and its menu belong to the process; the
  // program's event state and settings start afresh.
  TEventState fresh;
  fresh.hwnd = gEvents.hwnd;
  fresh.mainWindow = gEvents.mainWindow;
  fresh.dialogWindow = gEvents.dialogWindow;
  fresh.menu = gEvents.menu;
  fresh.hdc = gEvents.hdc;
  fresh.hdc2 = gEvents.hdc2;
  fresh.bitmap = gEvents.bitmap;
  fresh.mainWindowMade = gEvents.mainWindowMade;
  fresh.timerActive = gEvents.timerActive;
  gEvents = std::move(fresh);
  if (!gEvents.mainWindowMade) {
    gWindowSettings = TWindowSettings();
    gWindowSettings.title = gDefaultTitle;
  }
}

bool MustPassOn(uint32_t m) {
  switch (m) {
    case wm::kCreate: case wm::kDestroy: case wm::kPaint: case wm::kQuit: case wm::kEraseBkgnd:
    case wm::kSetCursor: case wm::kGetMinMaxInfo: case wm::kWindowPosChanging:
    case wm::kWindowPosChanged: case wm::kNcCreate: case wm::kNcDestroy: case wm::kNcCalcSize:
    case wm::kNcHitTest: case wm::kNcPaint: case wm::kNcActivate: case wm::kSyncPaint:
      return true;
    default:
      return false;
  }
}

bool RecordMessage(uint32_t window, uint32_t message, uint32_t wParam, uint32_t lParam) {
  gEvents.window = window;
  gEvents.message = message;
  gEvents.wParam = wParam;
  gEvents.lParam = lParam;
  if (message == 0) return false;
  if (std::find(gEvents.userMessages.begin(), gEvents.userMessages.end(), message) ==
      gEvents.userMessages.end())
    return false;
  gEvents.userMessage = static_cast<int32_t>(message);
  gEvents.userWParam = wParam;
  gEvents.userLParam = lParam;
  return true;
}

void RecordMouse(uint32_t message, uint32_t lParam) {
  gEvents.mouseX = static_cast<uint16_t>(lParam & 0xFFFF);
  gEvents.mouseY = static_cast<uint16_t>(lParam >> 16);
  switch (message) {
    case wm::kLButtonDown:
      gEvents.leftButton = true;
      gEvents.rightButton = false;
      break;
    case wm::kRButtonDown:
      gEvents.rightButton = true;
      gEvents.leftButton = false;
      break;
    case wm::kLButtonUp: gEvents.leftButton = false; break;
    case wm::kRButtonUp: gEvents.rightButton = false; break;
    default: break;
  }
}

void RecordMenuCommand(uint32_t id) {
  gEvents.mouseX = gEvents.mouseY = 0;
  gEvents.leftButton = gEvents.rightButton = false;
  id &= 0xFFFF;
  SetMenuItemValue(id == 0x7FFF ? 255 : static_cast<int32_t>(id));
}

void RecordControlCommand(uint32_t id, uint32_t notification) {
  if (notification == 2) {
    RecordKeyCode(3);
    return;
  }
  SetMenuItemValue(-static_cast<int32_t>(id & 0xFFFF));
  gEvents.clickedId = static_cast<int32_t>(id & 0xFFFF);
}

void RecordTimer(uint32_t id) {
  if (id == 1) gEvents.timerFlag = true;
}

void RecordNotify(uint32_t control, int32_t code) {
  gEvents.notifyWindow = control;
  gEvents.notifyCode = code;
  if (gSwitches.MessageMode > 1 || code >= -10 || (code >= -552 && code <= -550)) gEvents.notifyFlag = true;
}

void RecordParentNotify(uint32_t wParam, uint32_t lParam) {
  const uint32_t event = wParam & 0xFFFF;
  gEvents.childMessage = static_cast<int32_t>(event);
  if (event == wm::kLButtonDown || event == wm::kRButtonDown) RecordMouse(event, lParam);
}

void RecordKeyCode(int code) { QueueKey(code); }

bool WaitInputEventPending() {
  return gEvents.scanKey != 0 || gEvents.leftButton || gEvents.rightButton || gScreen.lastKey != 0 ||
         gEvents.timerFlag || MenuItemValue() != 0 || gEvents.clickedId != 0 || gEvents.userMessage > 0 ||
         gEvents.notifyFlag;
}

int32_t MenuItemValue() { return static_cast<int16_t>(gExec.pendingMenu); }
void SetMenuItemValue(int32_t v) { gExec.pendingMenu = static_cast<int16_t>(v); }

void RegisterWindowCommands() {
  SetInfoBoxHook(InfoBox);
#define KORV_UNIT_window 1
#include "base/bind_unit.h"
#undef KORV_UNIT_window

}

}  // namespace korv
