// Key and mouse functions over the event state of the program window:
// GETKEY$, KEYIN, SCANKEY, MOUSE and MENUITEM.
#include "graphics/text_screen.h"
#include "base/host.h"
#include "gui/window.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"

namespace korv {

namespace {

using namespace fn;

bool KeyOrClick() { return gScreen.lastKey != 0 || gEvents.leftButton || gEvents.rightButton; }

// GETKEY$(): waits, pumping messages, until a key code arrives or a mouse
// button is down; the key code as a one-character string. The key is taken
// (the last-key byte and the queue are emptied), so the next GETKEY$ waits
// for a new one. Without a window no key can come: the result is empty.
void FnGetKey(TParStack&) {
  NoArgs();
  EnsureTextScreen();
  TextScreenDevice* device = GetTextScreenDevice();
  while (!KeyOrClick()) {
    host().PumpMessages();
    if (KeyOrClick()) break;
    if (!device || !device->WindowAlive()) break;
    device->WaitForEvents();
  }
  if (!KeyOrClick()) return SetStringNumber("", 0);
  const int code = gScreen.lastKey;
  gScreen.lastKey = 0;
  ClearKeyQueue();
  gBuiltins.LastKey = code;
  SetStringNumber(std::string(1, static_cast<char>(code)), code);
}

// KEYIN(s$): 1 when the character GETKEY$ returned last occurs in s$ (0
// before any GETKEY$, and after one that ended by a mouse click).
void FnKeyIn(TParStack& ps) {
  std::string s;
  if (!StrArg(ps, true, s)) return SetEmpty(kind::kInt);
  const int key = gBuiltins.LastKey;
  SetInt(key > 0 && s.find(static_cast<char>(key)) != std::string::npos ? 1 : 0);
}

void FnScanKey(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kInt);
  SetInt(n == gEvents.scanKey ? 1 : 0);
}

void FnMenuItem(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kInt);
  SetInt(n == MenuItemValue() ? 1 : 0);
}

// MOUSE(x1, y1 - x2, y2): the last mouse position lies in the rectangle,
// bounds included.
void FnMouse(TParStack& ps) {
  int32_t x1, y1, x2, y2;
  if (!IntArg(ps, false, x1)) return SetEmpty(kind::kInt);
  Evaluate(ps, '-', kind::kInt);
  if (gEval.failed) return SetEmpty(kind::kInt);
  y1 = gRes.IntValue;
  if (!IntArg(ps, false, x2) || !IntArg(ps, true, y2)) return SetEmpty(kind::kInt);
  const int32_t x = gEvents.mouseX, y = gEvents.mouseY;
  SetInt(x1 <= x && x <= x2 && y1 <= y && y <= y2 ? 1 : 0);
}

}  // namespace

void RegisterInputFunctions() {
#define KORV_UNIT_input 1
#include "base/bind_unit.h"
#undef KORV_UNIT_input
}

}  // namespace korv
