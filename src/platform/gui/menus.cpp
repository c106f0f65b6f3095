#include "gui/menus.h"

#include <algorithm>

#include "base/errors.h"
#include "base/host.h"
#include "base/names.h"
#include "base/text.h"
#include "engine/executor.h"
#include "gui/window.h"
#include "values/evaluator.h"

namespace korv {

TMenuState gMenus;

namespace {

MenuPlatform* gPlatform = nullptr;

constexpr int32_t kNoPumpLevel = -2;
constexpr int32_t kErrTooMany = 232;
constexpr int32_t kHotkeyModifiers = 4 | 8 | 16;
constexpr int32_t kErrMissingSubpopup = 125, kErrMenuBuild = 226, kErrMenuTooDeep = 227;

bool RestBlank() {
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  return p >= gEval.text.size();
}

bool InPopupFamily(uint32_t menu) {
  return menu != 0 && std::find(gMenus.popupFamily.begin(), gMenus.popupFamily.end(), menu) !=
                          gMenus.popupFamily.end();
}

// The menu bar, made (with the window) when there is none.
uint32_t EnsureMenuBar() {
  if (WindowPlatform* w = GetWindowPlatform()) w->EnsureMainWindow();
  if (gEvents.menu == 0 && gPlatform) gEvents.menu = gPlatform->AttachMenuBar();
  return gEvents.menu;
}

// Destroys the untracked pop-up menu and forgets every reference into it, so
// that neither the current menu nor the submenu stack points at a destroyed
// menu.
void DropPopup() {
  if (gMenus.popup == 0) return;
  if (gPlatform) gPlatform->Destroy(gMenus.popup);
  for (uint8_t i = 0; i < gMenus.depth; ++i) {
    if (InPopupFamily(gMenus.stack[i])) {
      gMenus.depth = i;
      break;
    }
  }
  if (InPopupFamily(gMenus.current)) gMenus.current = 0;
  gMenus.popup = 0;
  gMenus.popupFamily.clear();
}

bool AppendTo(uint32_t menu, uint32_t flags, uint32_t idOrMenu, const std::string& text) {
  if (menu == 0 || !gPlatform || !gPlatform->Append(menu, flags, idOrMenu, text)) {
    RaiseError(kErrMenuBuild);
    return false;
  }
  return true;
}

void DrawBar() {
  if (gPlatform) gPlatform->DrawBar();
}

uint32_t EntryFlags(const std::string& text) { return text == "-" ? mf::kSeparator : mf::kString; }

// --- Commands ----------------------------------------------------------------------

void CmdAppendMenuBar(TParStack& ps) {
  int32_t id = EvalInt(ps, ',');
  if (gEval.failed) return;
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  if (!AppendTo(EnsureMenuBar(), mf::kString, static_cast<uint32_t>(id), text)) return;
  DrawBar();
}

// A new drop-down menu appended to parent; 0 after a report.
uint32_t NewDropDown(uint32_t parent, const std::string& text) {
  if (parent == 0 || !gPlatform) {
    RaiseError(kErrMenuBuild);
    return 0;
  }
  uint32_t menu = gPlatform->NewMenu();
  if (menu == 0) {
    RaiseError(kErrMenuBuild);
    return 0;
  }
  if (!gPlatform->Append(parent, mf::kPopup, menu, text)) {
    gPlatform->Destroy(menu);
    RaiseError(kErrMenuBuild);
    return 0;
  }
  return menu;
}

void CmdPopup(TParStack& ps) {
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  uint32_t menu = NewDropDown(EnsureMenuBar(), text);
  if (menu == 0) return;
  gMenus.current = menu;
  DrawBar();
}

void CmdSubPopup(TParStack& ps) {
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  if (gMenus.depth >= kMaxSubmenuDepth) {
    RaiseError(kErrMenuTooDeep);
    return;
  }
  const uint32_t parent = gMenus.current;
  uint32_t menu = NewDropDown(parent, text);
  if (menu == 0) return;
  gMenus.stack[gMenus.depth++] = parent;
  gMenus.current = menu;
  if (InPopupFamily(parent)) gMenus.popupFamily.push_back(menu);
}

void CmdEndSub(TParStack&) {
  if (gMenus.depth == 0) {
    RaiseError(kErrMissingSubpopup);
    return;
  }
  gMenus.current = gMenus.stack[--gMenus.depth];
}

void CmdAppendMenu(TParStack& ps) {
  int32_t id = EvalInt(ps, ',');
  if (gEval.failed) return;
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  AppendTo(gMenus.current, EntryFlags(text), static_cast<uint32_t>(id), text);
}

void CmdSeparator(TParStack&) { AppendTo(gMenus.current, mf::kSeparator, 0, std::string()); }

void CmdInsertMenu(TParStack& ps) {
  int32_t before = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t id = EvalInt(ps, ',');
  if (gEval.failed) return;
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  if (gEvents.menu != 0 && gPlatform)
    gPlatform->Insert(gEvents.menu, static_cast<uint32_t>(before), EntryFlags(text), static_cast<uint32_t>(id), text);
  DrawBar();
}

void CmdCreateMenu(TParStack&) {
  if (!gPlatform) return;
  // A pop-up menu built but never tracked can no longer be reached.
  DropPopup();
  uint32_t menu = gPlatform->NewPopupMenu();
  if (menu == 0) {
    RaiseError(kErrMenuBuild);
    return;
  }
  gMenus.current = gMenus.popup = menu;
  gMenus.popupFamily.assign(1, menu);
}

void CmdTrackMenu(TParStack& ps) {
  int32_t x = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t y = EvalInt(ps, ' ');
  if (gEval.failed) return;
  if (WindowPlatform* w = GetWindowPlatform()) w->EnsureMainWindow();
  if (gPlatform && gMenus.current != 0) {
    gPlatform->Track(gMenus.current, x, y);
    // Drop-downs of the menu bar stay: they still belong to the bar.
    if (gMenus.current == gMenus.popup) DropPopup();
  }
  if (gPlatform) gPlatform->Refresh();
  if (gErr.Level != kNoPumpLevel) host().PumpMessages();
}

// CHECKMENU, ENABLEMENU: id and a state, on the menu bar only.
template <void (MenuPlatform::*Op)(uint32_t, uint32_t, uint32_t), bool kCheck>
void CmdMenuState(TParStack& ps) {
  int32_t id = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t state = EvalInt(ps, ' ');
  if (gEval.failed) return;
  uint32_t flags = kCheck ? (state != 0 ? mf::kChecked : 0u) : static_cast<uint32_t>(state);
  if (gEvents.menu != 0 && gPlatform) (gPlatform->*Op)(gEvents.menu, static_cast<uint32_t>(id), flags);
  DrawBar();
}

void CmdRemoveMenu(TParStack& ps) {
  int32_t id = EvalInt(ps, ' ');
  if (gEval.failed) return;
  if (gEvents.menu != 0 && gPlatform) gPlatform->Remove(gEvents.menu, static_cast<uint32_t>(id));
  DrawBar();
}

void CmdSetMenuItem(TParStack& ps) {
  int32_t n = EvalInt(ps, ' ');
  if (gEval.failed) return;
  SetMenuItemValue(n);
}

// ADDHOTKEY id, key [, modifiers]: key is a virtual-key code, modifiers
// the bits FSHIFT 4, FCONTROL 8 and FALT 16.
void CmdAddHotkey(TParStack& ps) {
  int32_t id = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t key = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t modifiers = 0;
  if (!gEval.endOfArgs && !RestBlank()) {
    modifiers = EvalInt(ps, ' ');
    if (gEval.failed) return;
  }
  if (gMenus.hotkeys.size() >= kMaxHotkeys) {
    RaiseError(kErrTooMany);
    return;
  }
  THotkey h;
  h.flags = static_cast<uint8_t>(kHotkeyVirtual | (modifiers & kHotkeyModifiers));
  h.key = static_cast<uint16_t>(key);
  h.id = static_cast<uint16_t>(id);
  gMenus.hotkeys.push_back(h);
  if (gPlatform) gPlatform->SetHotkeys(gMenus.hotkeys);
}

constexpr auto CmdCheckMenu = CmdMenuState<&MenuPlatform::Check, true>;
constexpr auto CmdEnableMenu = CmdMenuState<&MenuPlatform::Enable, false>;

}  // namespace

void SetMenuPlatform(MenuPlatform* platform) { gPlatform = platform; }

void ResetMenuState() {
  const bool hadHotkeys = !gMenus.hotkeys.empty();
  gMenus = TMenuState();
  if (hadHotkeys && gPlatform) gPlatform->SetHotkeys(gMenus.hotkeys);
}

void RegisterMenuCommands() {
#define KORV_UNIT_menus 1
#include "base/bind_unit.h"
#undef KORV_UNIT_menus
}

}  // namespace korv
