// The program window and its events: the main-window settings, the event
// state that window procedures record and system variables expose, the
// user-message list, and the commands WAITINPUT, GETMESSAGE, SETTIMER,
// KILLTIMER, USERMESSAGES, WINDOW, WINDOWSTYLE, WINDOWTITLE, SHOWMAX,
// SHOWMIN, SHOWNORMAL, SETCLOSEMSG, SLEEP and REPAINT.
//
// Everything here is platform-neutral; the window system itself (classes,
// procedures, the pump, timers) sits behind the WindowPlatform seam that
// the Windows programs install. Without a platform the commands keep their
// state and checks, and nothing waits.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

// Message numbers the event logic needs (Windows values).
namespace wm {
constexpr uint32_t kCreate = 0x0001, kDestroy = 0x0002, kSize = 0x0005, kSetFocus = 0x0007,
                   kKillFocus = 0x0008, kPaint = 0x000F, kClose = 0x0010, kQuit = 0x0012,
                   kEraseBkgnd = 0x0014, kSetCursor = 0x0020, kGetMinMaxInfo = 0x0024,
                   kWindowPosChanging = 0x0046, kWindowPosChanged = 0x0047, kNotify = 0x004E,
                   kNcCreate = 0x0081, kNcDestroy = 0x0082, kNcCalcSize = 0x0083, kNcHitTest = 0x0084,
                   kNcPaint = 0x0085, kNcActivate = 0x0086, kSyncPaint = 0x0088, kKeyDown = 0x0100,
                   kChar = 0x0102, kSysKeyDown = 0x0104, kCommand = 0x0111, kSysCommand = 0x0112,
                   kTimer = 0x0113, kHScroll = 0x0114, kVScroll = 0x0115, kMouseMove = 0x0200,
                   kLButtonDown = 0x0201, kLButtonUp = 0x0202, kRButtonDown = 0x0204,
                   kRButtonUp = 0x0205, kMButtonDown = 0x0207, kMButtonUp = 0x0208,
                   kParentNotify = 0x0210, kUser996 = 996;
}  // namespace wm

// Settings of the main window, used when it is created.
struct TWindowSettings {
  uint32_t style = 0xCF0000;  // WS_OVERLAPPEDWINDOW
  uint32_t exStyle = 0;
  int32_t styleValue = 15;    // %WINDOWSTYLE
  int32_t x = 0, y = 0, width = 640, height = 480;
  std::string title = "Korvid 1.0";  // the caption (at most 255 characters)
};
extern TWindowSettings gWindowSettings;

// The caption a fresh main window gets ("Korvid 1.0" unless a program
// front end sets its own).
void SetDefaultWindowTitle(const std::string& title);
const std::string& DefaultWindowTitle();
// The information box of menu item 0x7FFF: caption and text.
void SetProgramInfo(const std::string& caption, const std::string& text);

constexpr size_t kMaxUserMessages = 500;

// Handles are 32-bit values in the language.
struct TEventState {
  // Current-message record.
  uint32_t window = 0, message = 0, wParam = 0, lParam = 0;
  int32_t lastMessage = 0;
  int32_t key = 0;  // %KEY: the key code copied when WAITINPUT ends
  uint8_t scanKey = 0;
  uint16_t mouseX = 0, mouseY = 0;
  bool leftButton = false, rightButton = false;
  int32_t childMessage = 0;
  int32_t clickedId = 0;
  bool commandFlag = false;
  uint32_t notifyWindow = 0;
  int32_t notifyCode = 0;
  bool notifyFlag = false;   // also %WMNOTIFY
  bool timerFlag = false;    // also %WMTIMER
  bool inputSeen = false;    // %GETINPUTSTATE
  bool paintFlag = false;    // %WMPAINT (runtime)
  int32_t userMessage = 0;
  uint32_t userWParam = 0, userLParam = 0;
  std::vector<uint32_t> userMessages;
  int32_t lastFocus = 0;
  uint16_t internalWord = 0;  // message 996
  // Windows.
  uint32_t hwnd = 0;          // %HWND: the window of the last main-class message
  uint32_t mainWindow = 0;
  uint32_t dialogWindow = 0;  // current "DIALOG" window (IsDialogMessage)
  uint32_t menu = 0;
  uint32_t hdc = 0, hdc2 = 0, bitmap = 0;
  bool mainWindowMade = false;  // made once, never twice
  bool timerActive = false;
  std::string closeText, closeCaption;
};
extern TEventState gEvents;

// The contexts that text and drawing go to: the window's and the memory
// bitmap's. Initially the main window's pair; STARTPAINT replaces it.
struct TDcPair {
  uint32_t window = 0, memory = 0;
};
TDcPair& CurrentDcPair();

// What the commands need from the window system.
class WindowPlatform {
 public:
  virtual ~WindowPlatform() = default;
  // Creates the main window when it was never made.
  virtual void EnsureMainWindow() = 0;
  virtual bool MainWindowAlive() = 0;
  virtual void Sleep(int32_t ms) = 0;
  virtual void StartTimer(int32_t ms) = 0;
  virtual void StopTimer() = 0;
  virtual void ApplyTitle() = 0;
  // Moves the existing main window to the settings' rectangle, invalidates
  // and updates it.
  virtual void ApplyRectangle() = 0;
  virtual void Show(int showCommand) = 0;  // SW_ values
  virtual void Repaint() = 0;              // invalidate and update
  // GETMESSAGE: blocks for the next message, records it, dispatches it.
  virtual void GetNextMessage() = 0;
  // %PEEKMESSAGE: records a waiting message without removing it.
  virtual bool PeekNextMessage() = 0;
  virtual int32_t FocusWindow() = 0;
  virtual int32_t Instance() = 0;
  virtual bool WindowEdges(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) = 0;
  // A key that arrived outside the window (in console mode, a line on
  // standard input) while WAITINPUT waits; 0 when none has come.
  virtual int32_t ConsoleKey() { return 0; }
};
void SetWindowPlatform(WindowPlatform* platform);
WindowPlatform* GetWindowPlatform();

// Per-run reset (the window itself survives).
void ResetWindowState();

// Event recording, shared by the window procedures ----------------------------

// Stores the current-message record; true when the message is on the user
// list (it is then recorded as %UMESSAGE and must get no other handling,
// see MustPassOn).
bool RecordMessage(uint32_t window, uint32_t message, uint32_t wParam, uint32_t lParam);
// Messages that Windows needs processed even when they are user messages.
bool MustPassOn(uint32_t message);
void RecordMouse(uint32_t message, uint32_t lParam);
// WM_COMMAND of the plain main window.
void RecordMenuCommand(uint32_t id);
void RecordControlCommand(uint32_t id, uint32_t notification);
void RecordTimer(uint32_t id);
// WM_NOTIFY: the control and its code (sets the notify event by MESSAGEMODE
// and the code).
void RecordNotify(uint32_t control, int32_t code);
void RecordParentNotify(uint32_t wParam, uint32_t lParam);
// The key code of the event state and the key queue.
void RecordKeyCode(int code);
// True once WAITINPUT may stop.
bool WaitInputEventPending();

// %MENUITEM as stored (signed 16-bit).
int32_t MenuItemValue();
void SetMenuItemValue(int32_t v);

// Registers the commands and system variables of the window layer.
void RegisterWindowCommands();

}  // namespace korv
