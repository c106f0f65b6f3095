// The Windows side of the menus.
#include "gui/menus_win32.h"

#include <cstdint>
#include <vector>

#include "gui/menus.h"
#include "gui/window.h"
#include "gui/window_win32.h"

namespace korv {

namespace {

HMENU M(uint32_t h) { return reinterpret_cast<HMENU>(static_cast<uintptr_t>(h)); }
uint32_t H32(HMENU h) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h)); }

class Win32MenuPlatform : public MenuPlatform {
 public:
  uint32_t AttachMenuBar() override {
    HWND main = MainHwnd();
    if (!main) return 0;
    HMENU bar = CreateMenu();
    if (!bar) return 0;
    if (!SetMenu(main, bar)) {
      DestroyMenu(bar);
      return 0;
    }
    return H32(bar);
  }
  uint32_t NewMenu() override { return H32(CreateMenu()); }
  uint32_t NewPopupMenu() override { return H32(CreatePopupMenu()); }
  bool Append(uint32_t menu, uint32_t flags, uint32_t idOrMenu, const std::string& text) override {
    const char* item = (flags & MF_SEPARATOR) ? nullptr : text.c_str();
    return AppendMenuA(M(menu), flags, static_cast<UINT_PTR>(idOrMenu), item) != 0;
  }
  bool Insert(uint32_t menu, uint32_t before, uint32_t flags, uint32_t id, const std::string& text) override {
    const char* item = (flags & MF_SEPARATOR) ? nullptr : text.c_str();
    return InsertMenuA(M(menu), before, flags | MF_BYCOMMAND, id, item) != 0;
  }
  void Check(uint32_t menu, uint32_t id, uint32_t flags) override {
    CheckMenuItem(M(menu), id, flags | MF_BYCOMMAND);
  }
  void Enable(uint32_t menu, uint32_t id, uint32_t flags) override {
    EnableMenuItem(M(menu), id, flags | MF_BYCOMMAND);
  }
  void Remove(uint32_t menu, uint32_t id) override { RemoveMenu(M(menu), id, MF_BYCOMMAND); }
  void DrawBar() override {
    if (HWND main = MainHwnd()) DrawMenuBar(main);
  }
  void Track(uint32_t menu, int32_t x, int32_t y) override {
    HWND main = MainHwnd();
    if (!main) return;
    POINT p{x, y};
    ClientToScreen(main, &p);
    // The menu only closes on a click elsewhere when its owner is in front.
    SetForegroundWindow(main);
    TrackPopupMenu(M(menu), TPM_RIGHTBUTTON, p.x, p.y, 0, main, nullptr);
  }
  void Destroy(uint32_t menu) override { DestroyMenu(M(menu)); }
  void SetHotkeys(const std::vector<THotkey>& table) override {
    std::vector<ACCEL> entries;
    for (const THotkey& h : table) entries.push_back(ACCEL{h.flags, h.key, h.id});
    HACCEL accel = entries.empty() ? nullptr : CreateAcceleratorTableA(entries.data(), static_cast<int>(entries.size()));
    ReplaceHotkeyTable(accel);
  }
  void Refresh() override {
    if (HWND main = MainHwnd()) {
      InvalidateRect(main, nullptr, FALSE);
      UpdateWindow(main);
    }
  }
};

Win32MenuPlatform gPlatformImpl;

}  // namespace

void InstallWin32Menus() { SetMenuPlatform(&gPlatformImpl); }

}  // namespace korv
