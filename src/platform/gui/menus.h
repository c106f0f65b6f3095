// Menus: the menu bar of the program window and pop-up menus, built
// statement by statement (APPENDMENUBAR, POPUP, SUBPOPUP, ENDSUB,
// APPENDMENU, SEPARATOR, INSERTMENU, CREATEMENU, TRACKMENU, CHECKMENU,
// ENABLEMENU, REMOVEMENU, SETMENUITEM) and the hot keys (ADDHOTKEY), which
// reach the program as menu commands.
//
// The building logic (current menu, the submenu stack and its limits, which
// menus TRACKMENU may destroy) is platform-neutral; the menus themselves sit
// behind the MenuPlatform seam.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

// Menu flags (Windows values).
namespace mf {
constexpr uint32_t kString = 0x0, kChecked = 0x8, kPopup = 0x10, kSeparator = 0x800;
}

// At most this many open submenus; SUBPOPUP beyond it reports 227.
constexpr int kMaxSubmenuDepth = 11;

// One entry of the hot-key table (ACCEL): modifier bits, key, command id.
struct THotkey {
  uint8_t flags = 0;  // FVIRTKEY 1, FSHIFT 4, FCONTROL 8, FALT 16
  uint16_t key = 0;
  uint16_t id = 0;
};
constexpr uint8_t kHotkeyVirtual = 1;
constexpr size_t kMaxHotkeys = 500;

struct TMenuState {
  uint32_t current = 0;                // the menu APPENDMENU adds to
  uint32_t stack[kMaxSubmenuDepth] = {};
  uint8_t depth = 0;
  // The pop-up menu of CREATEMENU not yet tracked, and the submenus built
  // inside it: TRACKMENU destroys these and only these.
  uint32_t popup = 0;
  std::vector<uint32_t> popupFamily;
  std::vector<THotkey> hotkeys;  // ADDHOTKEY, in order
};
extern TMenuState gMenus;

class MenuPlatform {
 public:
  virtual ~MenuPlatform() = default;
  // Creates a menu bar for the program window (making the window first when
  // needed) and returns it; 0 when that fails.
  virtual uint32_t AttachMenuBar() = 0;
  virtual uint32_t NewMenu() = 0;       // CreateMenu
  virtual uint32_t NewPopupMenu() = 0;  // CreatePopupMenu
  // AppendMenuA; idOrMenu is the submenu for kPopup.
  virtual bool Append(uint32_t menu, uint32_t flags, uint32_t idOrMenu, const std::string& text) = 0;
  // InsertMenuA by command.
  virtual bool Insert(uint32_t menu, uint32_t before, uint32_t flags, uint32_t id, const std::string& text) = 0;
  virtual void Check(uint32_t menu, uint32_t id, uint32_t flags) = 0;
  virtual void Enable(uint32_t menu, uint32_t id, uint32_t flags) = 0;
  virtual void Remove(uint32_t menu, uint32_t id) = 0;
  virtual void DrawBar() = 0;
  // TrackPopupMenu at (x, y) in client coordinates of the program window.
  virtual void Track(uint32_t menu, int32_t x, int32_t y) = 0;
  virtual void Destroy(uint32_t menu) = 0;
  // Invalidates and updates the program window.
  virtual void Refresh() = 0;
  // Replaces the table the message pump translates keys with.
  virtual void SetHotkeys(const std::vector<THotkey>& table) = 0;
};
void SetMenuPlatform(MenuPlatform* platform);

void ResetMenuState();
void RegisterMenuCommands();

}  // namespace korv
