#include "gui/menus.h"

#include <string>
#include <vector>

#include "base/errors.h"
#include "gui/window.h"
#include "test_support.h"

namespace korv {
namespace {

using test::ProgramTest;

// Menus as numbers from 100 on; every call is logged.
class RecordingMenus : public MenuPlatform {
 public:
  uint32_t AttachMenuBar() override { return Made("bar"); }
  uint32_t NewMenu() override { return Made("menu"); }
  uint32_t NewPopupMenu() override { return Made("popup"); }
  bool Append(uint32_t menu, uint32_t flags, uint32_t idOrMenu, const std::string& text) override {
    Log("append " + std::to_string(menu) + " " + std::to_string(flags) + " " + std::to_string(idOrMenu) + " " +
        text);
    return !failAppend;
  }
  bool Insert(uint32_t menu, uint32_t before, uint32_t flags, uint32_t id, const std::string& text) override {
    Log("insert " + std::to_string(menu) + " " + std::to_string(before) + " " + std::to_string(flags) + " " +
        std::to_string(id) + " " + text);
    return true;
  }
  void Check(uint32_t menu, uint32_t id, uint32_t flags) override { Log(Triple("check", menu, id, flags)); }
  void Enable(uint32_t menu, uint32_t id, uint32_t flags) override { Log(Triple("enable", menu, id, flags)); }
  void Remove(uint32_t menu, uint32_t id) override { Log("remove " + std::to_string(menu) + " " + std::to_string(id)); }
  void DrawBar() override { ++drawn; }
  void Track(uint32_t menu, int32_t x, int32_t y) override {
    Log("track " + std::to_string(menu) + " " + std::to_string(x) + "," + std::to_string(y));
  }
  void Destroy(uint32_t menu) override { Log("destroy " + std::to_string(menu)); }
  void Refresh() override { ++refreshed; }
  void SetHotkeys(const std::vector<THotkey>& table) override { hotkeys = table; }

  std::vector<std::string> log;
  std::vector<THotkey> hotkeys;
  int drawn = 0, refreshed = 0;
  bool failAppend = false;

 private:
  uint32_t Made(const std::string& what) {
    Log(what + " " + std::to_string(next_));
    return next_++;
  }
  void Log(const std::string& s) { log.push_back(s); }
  static std::string Triple(const char* op, uint32_t a, uint32_t b, uint32_t c) {
    return std::string(op) + " " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
  }
  uint32_t next_ = 100;
};

class MenusTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    gEvents = TEventState();
    SetMenuPlatform(&menus);
  }
  void TearDown() override {
    SetMenuPlatform(nullptr);
    ResetMenuState();
    gEvents = TEventState();
    ProgramTest::TearDown();
  }
  bool Logged(const std::string& entry) const {
    for (const auto& l : menus.log)
      if (l == entry) return true;
    return false;
  }
  RecordingMenus menus;
};

using Log = std::vector<std::string>;

TEST_F(MenusTest, PopupMakesTheBarAndTakesItsEntries) {
  EXPECT_EQ(Run("POPUP \"&Datei\"\nAPPENDMENU 10, \"Neu\"\nAPPENDMENU 11, \"-\"\nSEPARATOR\n"
                "APPENDMENUBAR 20, \"Hilfe\"\n"),
            0);
  EXPECT_EQ(menus.log, (Log{"bar 100", "menu 101", "append 100 16 101 &Datei", "append 101 0 10 Neu",
                            "append 101 2048 11 -", "append 101 2048 0 ", "append 100 0 20 Hilfe"}));
  EXPECT_EQ(gEvents.menu, 100u);
  EXPECT_EQ(menus.drawn, 2);
}

TEST_F(MenusTest, ElevenSubmenusOpenAndTheTwelfthIsRefused) {
  std::string src = "POPUP \"p\"\n";
  for (int i = 0; i < kMaxSubmenuDepth; ++i) src += "SUBPOPUP \"s\"\n";
  src += "PRINT \"deep\"\nSUBPOPUP \"too deep\"\nPRINT \"not reached\"\n";
  EXPECT_EQ(Run(src), kExitFatal);
  EXPECT_EQ(host.stdoutText, "deep\n");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, ErrorText(227));
  EXPECT_EQ(gMenus.depth, kMaxSubmenuDepth);
  EXPECT_FALSE(Logged("menu 113"));  // nothing built for the refused one
}

TEST_F(MenusTest, EndSubPopsBackAndNeverUnderflows) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nPOPUP \"p\"\nSUBPOPUP \"a\"\nSUBPOPUP \"b\"\nENDSUB\nAPPENDMENU 1, \"in a\"\n"
                "ENDSUB\nAPPENDMENU 2, \"in p\"\nENDSUB\nAPPENDMENU 3, \"still p\"\nPRINT %ERRNUMBER\n"),
            0);
  EXPECT_TRUE(Logged("append 102 0 1 in a"));
  EXPECT_TRUE(Logged("append 101 0 2 in p"));
  EXPECT_TRUE(Logged("append 101 0 3 still p"));
  EXPECT_EQ(gMenus.depth, 0);
  EXPECT_EQ(host.stdoutText, "125\n");
}

TEST_F(MenusTest, TrackMenuDestroysOnlyThePopupOfCreateMenu) {
  EXPECT_EQ(Run("CREATEMENU\nAPPENDMENU 5, \"eins\"\nSUBPOPUP \"mehr\"\nAPPENDMENU 6, \"zwei\"\nENDSUB\n"
                "TRACKMENU 10, 20\nPOPUP \"bar\"\nTRACKMENU 1, 2\nAPPENDMENU 7, \"bleibt\"\n"),
            0);
  EXPECT_EQ(menus.log, (Log{"popup 100", "append 100 0 5 eins", "menu 101", "append 100 16 101 mehr",
                            "append 101 0 6 zwei", "track 100 10,20", "destroy 100", "bar 102", "menu 103",
                            "append 102 16 103 bar", "track 103 1,2", "append 103 0 7 bleibt"}));
  EXPECT_EQ(menus.refreshed, 2);
}

TEST_F(MenusTest, TrackMenuWithoutAMenuShowsNothing) {
  EXPECT_EQ(Run("CREATEMENU\nTRACKMENU 0, 0\nTRACKMENU 0, 0\n"), 0);
  EXPECT_EQ(menus.log, (Log{"popup 100", "track 100 0,0", "destroy 100"}));
}

TEST_F(MenusTest, ASecondCreateMenuReleasesTheFirstAndItsStack) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nCREATEMENU\nSUBPOPUP \"s\"\nCREATEMENU\nENDSUB\nPRINT %ERRNUMBER\n"
                "APPENDMENU 1, \"x\"\n"),
            0);
  EXPECT_EQ(menus.log, (Log{"popup 100", "menu 101", "append 100 16 101 s", "destroy 100", "popup 102",
                            "append 102 0 1 x"}));
  EXPECT_EQ(host.stdoutText, "125\n");
}

TEST_F(MenusTest, FailedAppendsReport226) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nAPPENDMENU 1, \"no menu\"\nPRINT %ERRNUMBER\n"), 0);
  EXPECT_EQ(host.stdoutText, "226\n");
  EXPECT_TRUE(menus.log.empty());
  host.stdoutText.clear();
  menus.failAppend = true;
  EXPECT_EQ(Run("SETERRORLEVEL -1\nPOPUP \"p\"\nPRINT %ERRNUMBER\nAPPENDMENU 1, \"x\"\n"), 0);
  EXPECT_EQ(host.stdoutText, "226\n");
  // The menu that could not be attached is released and never current.
  EXPECT_TRUE(Logged("destroy 101"));
  EXPECT_EQ(gMenus.current, 0u);
}

TEST_F(MenusTest, BarStatementsActOnlyWithABar) {
  EXPECT_EQ(Run("CHECKMENU 3, 1\nENABLEMENU 3, 1\nREMOVEMENU 3\nINSERTMENU 3, 4, \"x\"\n"), 0);
  EXPECT_TRUE(menus.log.empty());
  EXPECT_EQ(menus.drawn, 4);
  EXPECT_EQ(Run("APPENDMENUBAR 3, \"a\"\nCHECKMENU 3, 5\nCHECKMENU 3, 0\nENABLEMENU 3, 2\nREMOVEMENU 3\n"
                "INSERTMENU 3, 4, \"-\"\nINSERTMENU 3, 5, \"b\"\n"),
            0);
  EXPECT_EQ(menus.log, (Log{"bar 100", "append 100 0 3 a", "check 100 3 8", "check 100 3 0", "enable 100 3 2",
                            "remove 100 3", "insert 100 3 2048 4 -", "insert 100 3 0 5 b"}));
}

TEST_F(MenusTest, SetMenuItemStoresSixteenBits) {
  EXPECT_EQ(Run("SETMENUITEM 70000\nPRINT %MENUITEM\nSETMENUITEM -5\nPRINT %MENUITEM; MENUITEM(-5)\n"), 0);
  EXPECT_EQ(host.stdoutText, "4464\n-51\n");
}

TEST_F(MenusTest, HotkeysBuildTheTableInOrder) {
  EXPECT_EQ(Run("ADDHOTKEY 300, 116, 8\nADDHOTKEY 301, 65\nADDHOTKEY 302, 66, 255\n"), 0);
  ASSERT_EQ(menus.hotkeys.size(), 3u);
  EXPECT_EQ(menus.hotkeys[0].flags, 9);
  EXPECT_EQ(menus.hotkeys[0].key, 116);
  EXPECT_EQ(menus.hotkeys[0].id, 300);
  EXPECT_EQ(menus.hotkeys[1].flags, 1);
  EXPECT_EQ(menus.hotkeys[2].flags, 29);  // only the modifier bits pass
  std::string src = "DECLARE i%\ni% = 0\nWHILE i% < 500\nADDHOTKEY i%, 65\ni% = i% + 1\nENDWHILE\n"
                    "PRINT \"full\"\nADDHOTKEY 1, 66\n";
  EXPECT_EQ(Run(src), kExitFatal);
  EXPECT_EQ(host.boxes.back().caption, ErrorText(232));
  EXPECT_EQ(menus.hotkeys.size(), kMaxHotkeys);
}

}  // namespace
}  // namespace korv
