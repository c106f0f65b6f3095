#include "gui/window.h"

#include <functional>

#include "base/errors.h"
#include "engine/executor.h"
#include "graphics/printing.h"
#include "graphics/text_screen.h"
#include "test_support.h"

namespace korv {
namespace {

using test::ProgramTest;

// A window system that delivers scripted events while a command waits.
class FakePlatform : public WindowPlatform {
 public:
  void EnsureMainWindow() override {
    ++ensured;
    alive = true;
  }
  bool MainWindowAlive() override { return alive; }
  void Sleep(int32_t ms) override {
    slept += ms;
    if (!script.empty()) {
      auto step = script.front();
      script.erase(script.begin());
      step();
    } else {
      alive = false;  // nothing more will come: let the wait end
    }
  }
  void StartTimer(int32_t ms) override { timers.push_back(ms); }
  void StopTimer() override { ++stops; }
  void ApplyTitle() override { title = gWindowSettings.title; }
  void ApplyRectangle() override { ++placed; }
  void Show(int cmd) override { shows.push_back(cmd); }
  void Repaint() override { ++repaints; }
  void GetNextMessage() override { RecordMessage(7, 0x113, 1, 0); }
  bool PeekNextMessage() override { return false; }
  int32_t FocusWindow() override { return 4242; }
  int32_t Instance() override { return 0x400000; }
  bool WindowEdges(int32_t& l, int32_t& t, int32_t& r, int32_t& b) override {
    l = 10, t = 20, r = 650, b = 500;
    return true;
  }
  int32_t ConsoleKey() override {
    if (consoleKeys.empty()) return 0;
    int32_t k = consoleKeys.front();
    consoleKeys.erase(consoleKeys.begin());
    return k;
  }

  int ensured = 0, placed = 0, repaints = 0, stops = 0;
  int32_t slept = 0;
  bool alive = false;
  std::string title;
  std::vector<int32_t> timers;
  std::vector<int> shows;
  std::vector<std::function<void()>> script;
  std::vector<int32_t> consoleKeys;  // what ConsoleKey reports, call by call
};

class WindowTest : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetWindowPlatform(&platform);
  }
  void TearDown() override {
    SetWindowPlatform(nullptr);
    SetPrintJobQuery(PrintJobOpen);  // the printing subsystem's own query
    gEvents = TEventState();
    ProgramTest::TearDown();
  }
  FakePlatform platform;
};

TEST_F(WindowTest, WaitInputEndsOnTheTimerAndReportsIt) {
  platform.script = {[] {}, [] {
    RecordMessage(1, 0x113, 1, 0);
    RecordTimer(1);
  }};
  EXPECT_EQ(Run("SETTIMER 50\nWAITINPUT\n"
                "PRINT %MESSAGE; \" \"; %LASTMESSAGE; \" \"; &WPARAM; \" \"; %WMTIMER; %WMTIMER\n"
                "PRINT %KEY; \" \"; &LASTFOCUS; \" \"; %GETFOCUS\n"),
            0);
  EXPECT_EQ(host.stdoutText, "275 275 1 10\n0 4242 4242\n");
  EXPECT_EQ(platform.timers, std::vector<int32_t>{50});
  EXPECT_GE(platform.ensured, 1);  // the window was made before the wait
}

TEST_F(WindowTest, WaitInputTakesTheKeyAndEmptiesTheQueue) {
  platform.script = {[] {
    gEvents.scanKey = 65;
    RecordKeyCode('a');
    RecordKeyCode('b');
  }};
  EXPECT_EQ(Run("WAITINPUT\nPRINT %KEY; \" \"; %SCANKEY\n"), 0);
  EXPECT_EQ(host.stdoutText, "98 65\n");
  EXPECT_EQ(gScreen.keyCount, 0);
}

TEST_F(WindowTest, WaitInputEndsOnAConsoleKey) {
  // No key for two turns, then a line on standard input.
  platform.script = {[] {}, [] {}, [] {}};
  platform.consoleKeys = {0, 0, 'y'};
  EXPECT_EQ(Run("WAITINPUT\nPRINT %KEY\nWAITINPUT\nPRINT %KEY\n"), 0);
  // The second wait finds no key: it ends when nothing more can come.
  EXPECT_EQ(host.stdoutText, "121\n0\n");
  EXPECT_EQ(platform.slept, 4);
}

TEST_F(WindowTest, WaitInputClearsTheEventsOfTheLastWait) {
  gEvents.leftButton = true;
  gEvents.userMessage = 1234;
  platform.script = {[] { RecordMouse(wm::kRButtonDown, (40u << 16) | 30u); }};
  EXPECT_EQ(Run("WAITINPUT\n"
                "PRINT %MOUSEPRESSED; %MOUSEKEY; %MOUSEKEY; \" \"; %MOUSEX; \" \"; %MOUSEY; \" \"; %UMESSAGE\n"),
            0);
  EXPECT_EQ(host.stdoutText, "220 30 40 0\n");
}

TEST_F(WindowTest, UserMessagesAreRecordedAndEndTheWait) {
  platform.script = {[] {
    EXPECT_TRUE(RecordMessage(9, 0x401, 5, 6));
    EXPECT_FALSE(RecordMessage(9, 0x402, 0, 0));
  }};
  EXPECT_EQ(Run("USERMESSAGES $401, $403\nWAITINPUT\n"
                "PRINT %UMESSAGE; \" \"; &UWPARAM; \" \"; &ULPARAM; \" \"; %MESSAGE\n"
                "USERMESSAGES 0\n"),
            0);
  EXPECT_EQ(host.stdoutText, "1025 5 6 1026\n");
  EXPECT_TRUE(gEvents.userMessages.empty());
  // A message Windows needs processed is recorded but still passed on.
  EXPECT_TRUE(MustPassOn(wm::kPaint));
  EXPECT_TRUE(MustPassOn(wm::kNcHitTest));
  EXPECT_FALSE(MustPassOn(0x401));
}

TEST_F(WindowTest, UserMessageListHoldsFiveHundred) {
  std::string src = "DECLARE i%\ni% = 1\nWHILE i% <= 500\nUSERMESSAGES i% + 1000\ni% = i% + 1\nENDWHILE\n"
                    "PRINT \"full\"\nUSERMESSAGES 5000\nPRINT \"not reached\"\n";
  EXPECT_EQ(Run(src), kExitFatal);
  EXPECT_EQ(host.stdoutText, "full\n");
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, ErrorText(232));
  EXPECT_EQ(gEvents.userMessages.size(), kMaxUserMessages);
}

TEST_F(WindowTest, TimerCommands) {
  EXPECT_EQ(Run("SETERRORLEVEL 0\nKILLTIMER\nSETTIMER 10\nSETTIMER 20\nKILLTIMER\nKILLTIMER\n"), 0);
  // The second SETTIMER replaced the first; the first and last KILLTIMER
  // found no timer.
  EXPECT_EQ(platform.timers, (std::vector<int32_t>{10, 20}));
  EXPECT_EQ(platform.stops, 2);
  int warnings = 0;
  for (const auto& l : host.debugLines)
    if (l.find(ErrorText(250)) != std::string::npos) ++warnings;
  EXPECT_EQ(warnings, 2) << AllDebugLines();
}

TEST_F(WindowTest, WindowSetsRectangleAndGrid) {
  EXPECT_EQ(Run("WINDOW 10, 20 - 400, 300\nPRINT %WINLEFT; %WINTOP; %WINRIGHT; %WINBOTTOM\n"), 0);
  EXPECT_EQ(gWindowSettings.x, 10);
  EXPECT_EQ(gWindowSettings.y, 20);
  EXPECT_EQ(gWindowSettings.width, 400);
  EXPECT_EQ(gWindowSettings.height, 300);
  EXPECT_EQ(gScreen.width, 50);
  EXPECT_EQ(gScreen.height, 19);
  EXPECT_EQ(platform.placed, 1);
  EXPECT_EQ(host.stdoutText, "1020650500\n");
}

TEST_F(WindowTest, WindowGridIsClampedToItsCapacity) {
  EXPECT_EQ(Run("PRINT \"x\"\nWINDOW 0, 0 - 100000, 100000\nPRINT \"y\"\nWINDOW 0, 0 - 1, 1\nPRINT \"z\"\n"), 0);
  EXPECT_EQ(gScreen.width, 1);
  EXPECT_EQ(gScreen.height, 1);
  EXPECT_EQ(host.stdoutText, "x\ny\nz\n");
}

TEST_F(WindowTest, NegativeWindowSizeIsAWarning) {
  EXPECT_EQ(Run("SETERRORLEVEL 0\nWINDOW 0, 0 - -5, 100\nPRINT \"on\"\n"), 0);
  EXPECT_EQ(platform.placed, 0);
  EXPECT_NE(AllDebugLines().find(ErrorText(223)), std::string::npos);
  EXPECT_EQ(gWindowSettings.width, 640);
}

TEST_F(WindowTest, StyleTitleAndShowCommands) {
  EXPECT_EQ(Run("WINDOWSTYLE 16 + 4 + 64 + 1024\nWINDOWTITLE \"Mein Fenster\"\n"
                "SHOWMAX\nSHOWMIN\nSHOWNORMAL\nPRINT %WINDOWSTYLE\n"),
            0);
  EXPECT_EQ(gWindowSettings.style, 0x80040000u);
  EXPECT_EQ(gWindowSettings.exStyle, 0x80u);
  EXPECT_EQ(platform.title, "Mein Fenster");
  EXPECT_EQ(platform.shows, (std::vector<int>{3, 2, 1}));
  EXPECT_EQ(host.stdoutText, "1108\n");
}

TEST_F(WindowTest, RepaintIsRefusedWhilePrinting) {
  SetPrintJobQuery([] { return true; });
  EXPECT_EQ(Run("SETERRORLEVEL -1\nREPAINT\nCLS\nPRINT \"x\"\n"), 0);
  EXPECT_EQ(platform.repaints, 0);
  EXPECT_NE(AllDebugLines().find(ErrorText(221) + "REPAINT"), std::string::npos) << AllDebugLines();
  EXPECT_EQ(host.stdoutText, "");
}

TEST_F(WindowTest, SetCloseMsgKeepsTextAndCaption) {
  EXPECT_EQ(Run("SETCLOSEMSG \"Wirklich beenden?\", \"Ende\"\n"), 0);
  EXPECT_EQ(gEvents.closeText, "Wirklich beenden?");
  EXPECT_EQ(gEvents.closeCaption, "Ende");
}

TEST_F(WindowTest, GetMessageRecordsTheMessage) {
  EXPECT_EQ(Run("GETMESSAGE\nPRINT %MESSAGE; \" \"; %MWND\n"), 0);
  EXPECT_EQ(host.stdoutText, "275 7\n");
}

TEST_F(WindowTest, MenuItem7FFFShowsTheInformationBox) {
  SetProgramInfo("Info", "Korvid 1.0");
  platform.script = {[] { RecordMenuCommand(0x7FFF); }};
  EXPECT_EQ(Run("WAITINPUT\nPRINT %MENUITEM\n"), 0);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0].caption, "Info");
  EXPECT_EQ(host.boxes[0].text, "Korvid 1.0");
  EXPECT_EQ(host.stdoutText, "254\n");  // marked as handled
  SetProgramInfo("Korvid", "Korvid 1.0");
}

// The recording functions the window procedures call.
class EventRecordTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gEvents = TEventState();
    ResetTextScreen();
    gExec.pendingMenu = 0;
    SetHost(&host);
  }
  void TearDown() override { gEvents = TEventState(); }
  ConsoleHost host;
};

TEST_F(EventRecordTest, MenuCommands) {
  gEvents.leftButton = true;
  gEvents.mouseX = 5;
  RecordMenuCommand(0x7FFF);
  EXPECT_EQ(MenuItemValue(), 255);
  EXPECT_FALSE(gEvents.leftButton);
  EXPECT_EQ(gEvents.mouseX, 0);
  RecordMenuCommand(12);
  EXPECT_EQ(MenuItemValue(), 12);
}

TEST_F(EventRecordTest, ControlCommands) {
  RecordControlCommand(1000, 0);
  EXPECT_EQ(MenuItemValue(), -1000);
  EXPECT_EQ(gEvents.clickedId, 1000);
  RecordControlCommand(1001, 2);  // notification 2: key code 3 only
  EXPECT_EQ(gScreen.lastKey, 3);
  EXPECT_EQ(gEvents.clickedId, 1000);
}

TEST_F(EventRecordTest, MouseCoordinatesAreUnsignedSixteenBit) {
  RecordMouse(wm::kLButtonDown, 0xFFFEFFFFu);  // (-1, -2) in client coordinates
  EXPECT_EQ(gEvents.mouseX, 65535);
  EXPECT_EQ(gEvents.mouseY, 65534);
  EXPECT_TRUE(gEvents.leftButton);
  RecordMouse(wm::kRButtonDown, 0);
  EXPECT_TRUE(gEvents.rightButton);
  EXPECT_FALSE(gEvents.leftButton);
  RecordMouse(wm::kRButtonUp, 0);
  EXPECT_FALSE(gEvents.rightButton);
}

TEST_F(EventRecordTest, NotifyEventDependsOnCodeAndMode) {
  RecordNotify(77, -12);
  EXPECT_FALSE(gEvents.notifyFlag);
  EXPECT_EQ(gEvents.notifyWindow, 77u);
  RecordNotify(78, -551);
  EXPECT_TRUE(gEvents.notifyFlag);
  gEvents.notifyFlag = false;
  RecordNotify(79, -2);
  EXPECT_TRUE(gEvents.notifyFlag);
}

TEST_F(EventRecordTest, ParentNotifyTakesTheChildClick) {
  RecordParentNotify(wm::kLButtonDown, (9u << 16) | 8u);
  EXPECT_EQ(gEvents.childMessage, static_cast<int32_t>(wm::kLButtonDown));
  EXPECT_TRUE(gEvents.leftButton);
  EXPECT_EQ(gEvents.mouseX, 8);
  EXPECT_EQ(gEvents.mouseY, 9);
}

TEST_F(EventRecordTest, F1WhileWaitingSetsTheHelpFlag) {
  QueueKey(5);
  EXPECT_FALSE(gScreen.f1WhileWaiting);
  gScreen.waitInputActive = true;
  QueueKey(5);
  EXPECT_TRUE(gScreen.f1WhileWaiting);
  gScreen.waitInputActive = false;
}

}  // namespace
}  // namespace korv
