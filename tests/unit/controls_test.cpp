#include "gui/controls.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "gui/create_objects.h"
#include "graphics/picture_file.h"
#include "gui/window.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/string_list.h"
#include "test_support.h"

namespace korv {
namespace {

// A small window model: each window keeps its class, text, styles, id and
// entries; list messages act on the entries. Every creation is logged.
class FakeControls : public ControlPlatform {
 public:
  struct Win {
    std::string cls, text;
    uint32_t style = 0, exStyle = 0, parent = 0;
    int32_t id = 0, x = 0, y = 0, w = 0, h = 0;
    std::vector<std::string> items;               // list and combo boxes, edit lines
    std::vector<std::vector<std::string>> rows;   // list views
    int32_t columns = 0, cursel = -1, check = 0, focused = -1;
    std::vector<int32_t> selected;
  };

  uint32_t Add(const std::string& cls, uint32_t style = 0) {
    Win w;
    w.cls = cls;
    w.style = style;
    wins[next] = w;
    return next++;
  }

  uint32_t CreateWindowObject(const TWindowSpec& s, uint32_t font) override {
    uint32_t h = Add(s.className, s.style);
    Win& w = wins[h];
    w.text = s.text;
    w.exStyle = s.exStyle;
    w.parent = s.parent;
    w.id = s.id;
    w.x = s.x;
    w.y = s.y;
    w.w = s.w;
    w.h = s.h;
    log.push_back("create " + s.className + " id " + std::to_string(s.id) + (font ? " font" : ""));
    return h;
  }
  std::string RichEditClass() override { return richEdit; }
  uint32_t CreateEmptyDialog(uint32_t) override { return Add("#32770"); }
  uint32_t CreateUpDown(uint32_t, int32_t id, uint32_t buddy, int32_t lo, int32_t hi, int32_t pos) override {
    uint32_t h = Add("msctls_updown32");
    wins[h].id = id;
    buddyOf[h] = buddy;
    log.push_back("updown " + std::to_string(lo) + " " + std::to_string(hi) + " " + std::to_string(pos));
    return h;
  }
  uint32_t CreateStatusBar(uint32_t, const std::string& text, uint32_t, int32_t id) override {
    uint32_t h = Add("msctls_statusbar32");
    wins[h].text = text;
    wins[h].id = id;
    return h;
  }
  uint32_t CreateToolbar(uint32_t, uint32_t, int32_t id, uint32_t, int32_t buttons, int32_t, int32_t firstId) override {
    uint32_t h = Add("ToolbarWindow32");
    wins[h].id = id;
    log.push_back("toolbar " + std::to_string(buttons) + " from " + std::to_string(firstId));
    return h;
  }
  uint32_t CreateTooltipWindow(uint32_t) override {
    log.push_back("tooltip window");
    return Add("tooltips_class32");
  }
  void AddTooltipTool(uint32_t, uint32_t, uint32_t control, const std::string& text) override {
    log.push_back("tool " + std::to_string(control) + " " + text);
  }
  int32_t ToolbarAddButton(uint32_t, int32_t image, int32_t id, const std::string& tip, const std::string& label,
                           bool separator) override {
    log.push_back(separator ? "separator"
                            : "button " + std::to_string(image) + " " + std::to_string(id) + " " + tip + "/" + label);
    return 1;
  }
  void SetDateTime(uint32_t, int32_t y, int32_t mo, int32_t d, int32_t h, int32_t mi, int32_t s, bool t) override {
    log.push_back((t ? "time " : "date ") + std::to_string(y) + "-" + std::to_string(mo) + "-" + std::to_string(d) +
                  " " + std::to_string(h) + ":" + std::to_string(mi) + ":" + std::to_string(s));
  }
  std::string ProfileIntl(const std::string& key, const std::string& def) override {
    auto it = intl.find(key);
    return it == intl.end() ? def : it->second;
  }

  int32_t Send(uint32_t h, uint32_t msg, uint32_t wp, int32_t lp) override {
    Win& w = wins[h];
    const int32_t n = static_cast<int32_t>(w.items.size());
    const int32_t i = static_cast<int32_t>(wp);
    switch (msg) {
      case ctl::kLbGetCount: case ctl::kCbGetCount: case ctl::kEmGetLineCount: return n;
      case ctl::kLvmGetItemCount: return static_cast<int32_t>(w.rows.size());
      case ctl::kLbDeleteString: case ctl::kCbDeleteString:
        if (i < 0 || i >= n) return -1;
        w.items.erase(w.items.begin() + i);
        return n - 1;
      case ctl::kLvmDeleteItem:
        if (i < 0 || i >= static_cast<int32_t>(w.rows.size())) return 0;
        w.rows.erase(w.rows.begin() + i);
        return 1;
      case ctl::kLbResetContent: case ctl::kCbResetContent: w.items.clear(); return 0;
      case ctl::kLvmDeleteAllItems: w.rows.clear(); return 1;
      case ctl::kLbGetCurSel: case ctl::kCbGetCurSel: return w.cursel;
      case ctl::kLbSetSel: w.selected.push_back(lp); return 0;
      case ctl::kLbGetSelCount: case ctl::kLvmGetSelectedCount: return static_cast<int32_t>(w.selected.size());
      case ctl::kLbGetSel: return std::count(w.selected.begin(), w.selected.end(), i) ? 1 : 0;
      case ctl::kLvmGetNextItem: return w.focused;
      case ctl::kLvmGetItemState:
        return (std::count(w.selected.begin(), w.selected.end(), i) ? 2 : 0) & lp;
      case ctl::kBmGetCheck: return w.check;
      case ctl::kBmSetCheck: w.check = i; return 0;
      case ctl::kUdmGetBuddy: return static_cast<int32_t>(buddyOf[h]);
      default:
        log.push_back("send " + std::to_string(msg) + " " + std::to_string(wp) + " " + std::to_string(lp));
        return 0;
    }
  }
  int32_t SendText(uint32_t h, uint32_t msg, uint32_t wp, const std::string& text) override {
    Win& w = wins[h];
    auto find = [&](int32_t start) -> int32_t {
      const int32_t n = static_cast<int32_t>(w.items.size());
      for (int32_t k = 1; k <= n; ++k) {
        int32_t at = (start + k) % n;
        if (w.items[static_cast<size_t>(at)].rfind(text, 0) == 0) return at;
      }
      return -1;
    };
    switch (msg) {
      case ctl::kLbAddString: case ctl::kCbAddString: w.items.push_back(text); return static_cast<int32_t>(w.items.size()) - 1;
      case ctl::kLbInsertString: case ctl::kCbInsertString: {
        size_t at = static_cast<int32_t>(wp) < 0 ? w.items.size() : wp;
        w.items.insert(w.items.begin() + static_cast<long>(at), text);
        return static_cast<int32_t>(at);
      }
      case ctl::kLbFindString: return find(static_cast<int32_t>(wp));
      case ctl::kLbSelectString: case ctl::kCbSelectString: return w.cursel = find(static_cast<int32_t>(wp));
      default:
        log.push_back("text " + std::to_string(msg) + " " + std::to_string(wp) + " " + text);
        return 0;
    }
  }
  bool IsWindow(uint32_t h) override { return wins.count(h) != 0; }
  std::string ClassName(uint32_t h) override { return wins.count(h) ? wins[h].cls : ""; }
  std::string WindowText(uint32_t h) override {
    Win& w = wins[h];
    if (w.cls != "EDIT" || w.items.empty()) return w.text;
    std::string all;
    for (size_t i = 0; i < w.items.size(); ++i) all += (i ? "\r\n" : "") + w.items[i];
    return all;
  }
  void SetText(uint32_t h, const std::string& text) override {
    Win& w = wins[h];
    w.text = text;
    if (w.cls == "EDIT") {
      w.items.clear();
      size_t start = 0;
      for (;;) {
        size_t at = text.find("\r\n", start);
        w.items.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) break;
        start = at + 2;
      }
    }
  }
  int32_t GetLong(uint32_t h, int32_t index) override {
    return static_cast<int32_t>(index == ctl::kGwlExStyle ? wins[h].exStyle : wins[h].style);
  }
  void SetLong(uint32_t h, int32_t index, int32_t v) override {
    (index == ctl::kGwlExStyle ? wins[h].exStyle : wins[h].style) = static_cast<uint32_t>(v);
  }
  void ClientSize(uint32_t h, int32_t& w, int32_t& hgt) override {
    w = wins[h].w;
    hgt = wins[h].h;
  }
  uint32_t DialogItem(uint32_t parent, int32_t id) override {
    for (auto& [h, w] : wins)
      if (w.parent == parent && w.id == id) return h;
    return 0;
  }
  int32_t ControlId(uint32_t h) override { return wins[h].id; }
  void Enable(uint32_t h, bool on) override { log.push_back("enable " + std::to_string(h) + (on ? " on" : " off")); }
  void Show(uint32_t h, int32_t mode) override { log.push_back("show " + std::to_string(h) + " " + std::to_string(mode)); }
  void Place(uint32_t h, uint32_t after, int32_t x, int32_t y, int32_t w, int32_t hgt, bool keepZ) override {
    Win& win = wins[h];
    win.x = x;
    win.y = y;
    win.w = w;
    win.h = hgt;
    log.push_back("place " + std::to_string(after) + (keepZ ? " keep" : " behind"));
  }
  int32_t ScrollPos(uint32_t h) override { return scroll[h]; }
  void SetScrollPos(uint32_t h, int32_t pos) override { scroll[h] = pos; }
  void SetScrollRange(uint32_t, int32_t lo, int32_t hi) override {
    log.push_back("range " + std::to_string(lo) + " " + std::to_string(hi));
  }
  bool ListText(uint32_t h, ListClass, int32_t index, std::string& out) override {
    Win& w = wins[h];
    if (index < 0 || index >= static_cast<int32_t>(w.items.size())) return false;
    out = w.items[static_cast<size_t>(index)];
    return true;
  }
  std::string EditLine(uint32_t h, int32_t line) override {
    Win& w = wins[h];
    return line >= 0 && line < static_cast<int32_t>(w.items.size()) ? w.items[static_cast<size_t>(line)] : "";
  }
  int32_t ListViewColumns(uint32_t h) override { return wins[h].columns; }
  std::string ListViewCell(uint32_t h, int32_t row, int32_t column) override {
    Win& w = wins[h];
    if (row < 0 || row >= static_cast<int32_t>(w.rows.size())) return "";
    const auto& r = w.rows[static_cast<size_t>(row)];
    return column < static_cast<int32_t>(r.size()) ? r[static_cast<size_t>(column)] : "";
  }
  int32_t ListViewInsert(uint32_t h, int32_t index, const std::vector<std::string>& cells) override {
    Win& w = wins[h];
    size_t at = index < 0 || index > static_cast<int32_t>(w.rows.size()) ? w.rows.size() : static_cast<size_t>(index);
    w.rows.insert(w.rows.begin() + static_cast<long>(at), cells);
    return static_cast<int32_t>(at);
  }
  void ListViewSetCell(uint32_t h, int32_t row, int32_t column, const std::string& text) override {
    auto& r = wins[h].rows.at(static_cast<size_t>(row));
    if (r.size() <= static_cast<size_t>(column)) r.resize(static_cast<size_t>(column) + 1);
    r[static_cast<size_t>(column)] = text;
  }
  int32_t ListViewFind(uint32_t h, int32_t start, const std::string& text) override {
    Win& w = wins[h];
    for (size_t i = static_cast<size_t>(start + 1); i < w.rows.size(); ++i)
      if (w.rows[i][0].rfind(text, 0) == 0) return static_cast<int32_t>(i);
    return -1;
  }
  void ListViewSelect(uint32_t h, int32_t row) override {
    wins[h].selected = {row};
    wins[h].focused = row;
  }
  void ListViewAddColumn(uint32_t h, const std::string& caption, int32_t format, int32_t width) override {
    ++wins[h].columns;
    log.push_back("column " + caption + " " + std::to_string(format) + " " + std::to_string(width));
  }
  int32_t TabInsert(uint32_t, int32_t index, const std::string& text) override {
    log.push_back("tab " + std::to_string(index) + " " + text);
    return index;
  }
  uint32_t CreateFontObject(const std::string& face, int32_t height, int32_t width, int32_t weight, bool italic,
                            bool underline, int32_t& charset) override {
    log.push_back("font " + face + " " + std::to_string(height) + " " + std::to_string(width) + " " +
                  std::to_string(weight) + (italic ? " i" : "") + (underline ? " u" : "") + " cs " +
                  std::to_string(charset));
    charset = 0;
    return 0x7700;
  }
  uint32_t DrawingFont() override { return 0x5500; }
  uint32_t ExtractIconFrom(const std::string&, int32_t index) override { return static_cast<uint32_t>(index); }
  bool LoadPicture(int32_t, const std::string& name, int32_t w, int32_t h, TPictureInfo& out) override {
    log.push_back("picture " + name + " " + std::to_string(w) + "x" + std::to_string(h));
    if (name == "missing") return false;
    out.handle = 0x9000u + static_cast<uint32_t>(loads++);
    out.width = w > 0 ? w : 400;
    out.height = h > 0 ? h : 100;
    return true;
  }
  void DeleteObjectOrIcon(uint32_t h) override { log.push_back("delete " + std::to_string(h)); }
  bool RichEditStream(uint32_t, const std::string& file, bool load, bool rtf) override {
    log.push_back(std::string(load ? "load " : "save ") + (rtf ? "rtf " : "text ") + file);
    return file != "locked";
  }
  void FindFiles(const std::string& mask, bool recursive, std::vector<std::string>& out) override {
    log.push_back("files " + mask + (recursive ? " below" : ""));
    out = {"a.txt", "[sub]"};
  }
  void TopLevelTitles(std::vector<std::string>& out) override { out = {"Editor - x", "editor two", "Other"}; }
  void FontFamilies(std::vector<std::string>& out) override { out = {"Arial", "Courier New"}; }

  std::map<uint32_t, Win> wins;
  std::map<uint32_t, uint32_t> buddyOf;
  std::map<uint32_t, int32_t> scroll;
  std::map<std::string, std::string> intl;
  std::vector<std::string> log;
  std::string richEdit = "RICHEDIT20A";
  uint32_t next = 100;
  int loads = 0;
};

class ControlsTest : public test::ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    SetControlPlatform(&fake);
  }
  void TearDown() override {
    SetControlPlatform(nullptr);
    ProgramTest::TearDown();
  }
  // The numbers of the first error report, or 0.
  bool Reported(int code) const { return AllDebugLines().find(std::to_string(code)) != std::string::npos; }
  FakeControls fake;
};

using Log = std::vector<std::string>;

TEST_F(ControlsTest, ControlsTakeIdsFrom1000AndLabelsTakeNone) {
  EXPECT_EQ(Run("DECLARE r%, t&, b&, c&\n"
                "t& = CREATE(\"text\", 5, \"Name\", 1, 2, 30, 10)\n"
                "b& = CREATE(\"BUTTON\", 5, \"OK\", 1, 20, 40, 14)\n"
                "c& = CREATE(\"CheckBox\", 5, \"Ja\", 1, 40, 40, 14)\n"
                "PRINT GETSTYLE(t&); \" \"; GETHANDLE(5, 1000) = b&; \" \"; GETHANDLE(5, 1001) = c&\n"),
            0);
  EXPECT_EQ(fake.log, (Log{"create STATIC id 0", "create BUTTON id 1000", "create BUTTON id 1001"}));
  EXPECT_EQ(fake.wins[100].style, 0x50000000u);
  EXPECT_EQ(fake.wins[101].style, 0x50010000u);
  EXPECT_EQ(fake.wins[102].style, 0x50010003u);
  EXPECT_EQ(host.stdoutText, "1342177280 1 1\n");
  EXPECT_EQ(gControls.nextId, 1002);
}

TEST_F(ControlsTest, EditStylesFollowTheSignOfTheHeight) {
  EXPECT_EQ(Run("DECLARE r%, e&, p&, m&, w&\n"
                "e& = CREATE(\"EDIT\", 5, \"abc\", 0, 0, 80, 20)\n"
                "p& = CREATE(\"EDIT\", 5, \"\", 0, 0, 80, -22)\n"
                "m& = CREATE(\"MULTIEDIT\", 5, \"\", 0, 0, 80, 50)\n"
                "w& = CREATE(\"MULTIEDIT\", 5, \"\", 0, 0, 80, -50)\n"
                "PRINT GETSTYLE(e&, 1); \" \"; HEIGHT(p&); \" \"; WIDTH(e&)\n"),
            0);
  EXPECT_EQ(fake.wins[100].style, 0x50010080u);
  EXPECT_EQ(fake.wins[101].style, 0x500100A0u);
  EXPECT_EQ(fake.wins[101].h, 22);
  EXPECT_EQ(fake.wins[102].style, 0x50311144u);
  EXPECT_EQ(fake.wins[103].style, 0x50211144u);
  EXPECT_EQ(host.stdoutText, "512 22 80\n");
}

TEST_F(ControlsTest, ListAndGridStylesComposeTheirFlags) {
  EXPECT_EQ(ListBoxStyle(0, true), 0x503101C1u);
  EXPECT_EQ(ListBoxStyle(3, true), 0x503101CBu);
  EXPECT_EQ(ListBoxStyle(1, false), 0x2u);
  EXPECT_EQ(ChoiceBoxStyle(0), 0x50310603u);
  EXPECT_EQ(ChoiceBoxStyle(3), 0x50310702u);
  EXPECT_EQ(GridBoxStyle(0), 0x5001800Du);
  EXPECT_EQ(GridBoxStyle(3), 0x50018019u);
  EXPECT_EQ(HiddenGridStyle(0), 0x4004u);
  EXPECT_EQ(HiddenGridStyle(1), 0x4014u);
  EXPECT_EQ(ToolbarLookStyle(0), 0x50000141u);
  EXPECT_EQ(ToolbarLookStyle(1), 0x50000B41u);
  EXPECT_EQ(ToolbarLookStyle(3), 0x50000B40u);
  EXPECT_EQ(ToolbarLookStyle(7), 0x50000141u);
  EXPECT_EQ(ClampToolbarButtons(150), 99);
  EXPECT_EQ(ClampToolbarButtons(-3), 0);
  EXPECT_EQ(ClampToolbarButtons(12), 12);
}

TEST_F(ControlsTest, SmallTextFormats) {
  int32_t pos, lo, hi;
  EXPECT_TRUE(ParseSpinValue("5", pos, lo, hi));
  EXPECT_EQ(pos, 5);
  EXPECT_EQ(lo, -32768);
  EXPECT_EQ(hi, 32767);
  EXPECT_TRUE(ParseSpinValue(" 7; -2 ;9", pos, lo, hi));
  EXPECT_EQ(pos, 7);
  EXPECT_EQ(lo, -2);
  EXPECT_EQ(hi, 9);
  EXPECT_FALSE(ParseSpinValue("7;x", pos, lo, hi));
  EXPECT_FALSE(ParseSpinValue("1;2;3;4", pos, lo, hi));

  EXPECT_EQ(DateFieldOrder("dd.MM.yyyy", "."), "dMy");
  EXPECT_EQ(DateFieldOrder("M/d/yyyy", "/"), "Mdy");
  EXPECT_EQ(DateFieldOrder("yyyy-MM-dd", "-"), "yMd");
  int32_t d, m, y;
  ParseDateText("24.12.2026", ".", "dMy", d, m, y);
  EXPECT_EQ(d * 10000 + m * 100, 241200);
  EXPECT_EQ(y, 2026);
  ParseDateText("12/24/2026", "/", "Mdy", d, m, y);
  EXPECT_EQ(d, 24);
  EXPECT_EQ(m, 12);
  ParseDateText("24.x.2026", ".", "dMy", d, m, y);
  EXPECT_EQ(d + m + y, 0);

  int32_t hh, mi, ss;
  ParseTimeText("13:5:x", hh, mi, ss);
  EXPECT_EQ(hh, 13);
  EXPECT_EQ(mi, 5);
  EXPECT_EQ(ss, 0);

  std::vector<TGridColumn> cols;
  ASSERT_TRUE(ParseGridColumns("Name;0;120;;1", cols));
  ASSERT_EQ(cols.size(), 2u);
  EXPECT_EQ(cols[0].caption, "Name");
  EXPECT_EQ(cols[0].width, 120);
  EXPECT_EQ(cols[1].caption, " ");
  EXPECT_EQ(cols[1].format, 1);
  EXPECT_EQ(cols[1].width, 100);
  EXPECT_FALSE(ParseGridColumns("Name;links;100", cols));

  EXPECT_EQ(SplitCells("a|b||c", "|"), (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(SplitCells("a|b", ""), (std::vector<std::string>{"a|b"}));
}

TEST_F(ControlsTest, UnknownKindReports261AndAKnownSubprocIsCalled) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE h&\nh& = CREATE(\"wheel\", 1)\nPRINT h&\n"
                "h& = CREATE(\"Knob\", 4, 5)\nPRINT h&\nEND\n"
                "SUBPROC CREATE.KNOB\nPARAMETERS a%, b%\nRETURN a% * b%\nENDPROC\n"),
            0);
  EXPECT_TRUE(AllDebugLines().find("Unbekanntes Create-Objekt: WHEEL") != std::string::npos) << AllDebugLines();
  EXPECT_EQ(host.stdoutText, "0\n20\n");
}

TEST_F(ControlsTest, TooFewArgumentsCreateNothing) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE h&\nh& = CREATE(\"BUTTON\", 5, \"x\")\nPRINT h&; \" \"; %ERRNUMBER\n"
                "h& = CREATE(\"STATUSWINDOW\", 5, \"bereit\")\nPRINT h& > 0\n"),
            0);
  EXPECT_EQ(host.stdoutText, "0 212\n1\n");
  EXPECT_EQ(fake.log, (Log{}));
  EXPECT_EQ(fake.wins.size(), 1u);  // the status window only
}

TEST_F(ControlsTest, ListFunctionsChooseTheirMessagesByClass) {
  EXPECT_EQ(Run("DECLARE r%, l&, c&, b&\n"
                "l& = CREATE(\"LISTBOX\", 5, 0, 0, 0, 100, -80)\n"
                "c& = CREATE(\"CHOICEBOX\", 5, 2, 0, 0, 100, 80)\n"
                "b& = CREATE(\"BUTTON\", 5, \"x\", 0, 0, 10, 10)\n"
                "r% = ADDSTRING(l&, \"eins\")\nr% = ADDSTRING(l&, \"zwei\")\nr% = INSERTSTRING(l&, 0, \"null\")\n"
                "r% = ADDSTRING(c&, \"rot\")\nr% = ADDSTRING(c&, \"blau\")\nr% = DELETESTRING(c&, 0)\n"
                "PRINT GETCOUNT(l&); GETCOUNT(c&); \" \"; GETSTRING$(l&, 1); \" \"; GETSTRING$(c&, 0)\n"
                "PRINT SELECTSTRING(l&, -1, \"zw\"); GETCURSEL(l&)\n"
                "SETERRORLEVEL -1\nPRINT ADDSTRING(b&, \"x\"); GETSELCOUNT(c&)\n"),
            0);
  EXPECT_EQ(fake.wins[100].style, 0x503101C1u);
  EXPECT_EQ(fake.wins[100].h, 80);
  EXPECT_EQ(fake.wins[101].style, 0x50310602u);
  EXPECT_EQ(fake.wins[100].items, (std::vector<std::string>{"null", "eins", "zwei"}));
  EXPECT_EQ(host.stdoutText, "31 eins blau\n22\n00\n");
  EXPECT_NE(AllDebugLines().find("Funktion nicht auf dieses Fensterobjekt anwendbar!"), std::string::npos);
}

TEST_F(ControlsTest, MultipleSelectionListBoxesFindAndSetTheSelection) {
  EXPECT_EQ(Run("DECLARE r%, l&\nl& = CREATE(\"LISTBOX\", 5, 2, 0, 0, 100, 80)\n"
                "r% = ADDSTRING(l&, \"a\")\nr% = ADDSTRING(l&, \"b\")\nr% = ADDSTRING(l&, \"c\")\n"
                "PRINT SELECTSTRING(l&, -1, \"c\"); GETSELCOUNT(l&); GETSTATE(l&, 2); GETSTATE(l&, 1)\n"),
            0);
  EXPECT_EQ(host.stdoutText, "2110\n");
}

TEST_F(ControlsTest, GridRowsSplitAndJoinAtTheListDelimiter) {
  EXPECT_EQ(Run("DECLARE r%, g&, o$\ng& = CREATE(\"GRIDBOX\", 5, \"Name;0;80;Ort\", 0, 0, 0, 200, 100)\n"
                "r% = ADDSTRING(g&, \"Anna|Bonn\")\nr% = ADDSTRING(g&, \"Bert|Köln\")\nr% = INSERTSTRING(g&, 0, \"Carl|Ulm\")\n"
                "PRINT GETCOUNT(g&); \" \"; GETSTRING$(g&, 0); \" \"; GETTEXT$(g&, 2, 1)\n"
                "SETTEXT g&, 1, 1, \"Bad Godesberg\"\n"
                "o$ = SET(\"LISTDEL\", \";\")\nPRINT GETSTRING$(g&, 1)\n"
                "PRINT SELECTSTRING(g&, -1, \"Be\"); GETCURSEL(g&)\n"
                "SETERRORLEVEL -1\nPRINT GETSTRING$(g&, -1)\n"),
            0);
  EXPECT_EQ(fake.wins[100].style, 0x5001800Du);
  EXPECT_EQ(fake.wins[100].exStyle, 0x200u);
  EXPECT_EQ(fake.log, (Log{"create SysListView32 id 1000", "send 4150 0 49", "column Name 0 80", "column Ort 0 100"}));
  EXPECT_EQ(host.stdoutText, "3 Carl|Ulm Köln\nAnna;Bad Godesberg\n22\n\n");
  EXPECT_NE(AllDebugLines().find("Ungültiger Funktionswert!"), std::string::npos);
}

TEST_F(ControlsTest, StringListMovesIntoAndOutOfControls) {
  EXPECT_EQ(Run("DECLARE r%, e&, l&\n"
                "e& = CREATE(\"MULTIEDIT\", 5, \"\", 0, 0, 80, 50)\n"
                "l& = CREATE(\"LIST\", 0)\n"
                "CLEARLIST\nADDSTRING \"eins\"\nADDSTRING \"zwei\"\nLISTBOXITEM$ 1 = \"drei\"\n"
                "PRINT MOVELISTTOHANDLE(e&); \" \"; GETTEXT$(e&) = \"eins\" + CHR$(13) + CHR$(10) + \"drei\"\n"
                "PRINT MOVELISTTOHANDLE(l&); GETCOUNT(l&); %GETCOUNT\n"
                "CLEARLIST\nPRINT %GETCOUNT; MOVEHANDLETOLIST(e&); MOVEHANDLETOLIST(l&); %GETCOUNT; \" \"; "
                "LISTBOXITEM$(3)\n"
                "CLEARLIST l&\nPRINT GETCOUNT(l&); GETLINECOUNT(e&); \" \"; GETLINE$(e&, 1)\n"),
            0);
  EXPECT_EQ(fake.wins[101].style, 0u);
  EXPECT_EQ(fake.wins[101].parent, 0u);
  EXPECT_EQ(host.stdoutText, "2 1\n222\n0224 drei\n02 drei\n");
}

TEST_F(ControlsTest, StringListIndexOutsideReports233) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nCLEARLIST\nADDSTRING \"a\"\nLISTBOXITEM$ 1 = \"b\"\n"
                "PRINT \"[\"; LISTBOXITEM$(1); \"]\"; LISTBOXITEM$(0); %GETCOUNT\n"),
            0);
  EXPECT_EQ(host.stdoutText, "[]a1\n");
  EXPECT_EQ(StringList(), (std::vector<std::string>{"a"}));
  EXPECT_NE(AllDebugLines().find("Das Element gibt es nicht!"), std::string::npos);
}

TEST_F(ControlsTest, FilesWindowsAndFontsFillTheStringList) {
  EXPECT_EQ(Run("CLEARLIST\nADDFILES \"*.txt\"\nADDFILES \"*C:\\\\data\\\\*.txt\"\nADDWINDOWS \"EDITOR\"\nADDFONTS\n"
                "PRINT MOVELISTTOSTR$(\",\")\n"),
            0);
  EXPECT_EQ(fake.log, (Log{"files *.txt", "files C:\\data\\*.txt below"}));
  EXPECT_EQ(host.stdoutText, "a.txt,[sub],a.txt,[sub],Editor - x,editor two,Arial,Courier New,\n");
}

// What the window procedure does with a WM_COMMAND from a control.
void CmdTestClick(TParStack& ps) {
  const int32_t id = EvalInt(ps, ' ');
  if (!gEval.failed) RecordControlCommand(static_cast<uint32_t>(id), 0);
}

TEST_F(ControlsTest, ClickedComparesTheControlIdWithTheClickedId) {
  DefineExtraCommand("TESTCLICK", CmdTestClick);
  EXPECT_EQ(Run("DECLARE r%, a&, b&, t&\na& = CREATE(\"BUTTON\", 5, \"A\", 0, 0, 9, 9)\n"
                "b& = CREATE(\"BUTTON\", 5, \"B\", 0, 0, 9, 9)\n"
                "t& = CREATE(\"TEXT\", 5, \"T\", 0, 0, 9, 9)\n"
                "PRINT CLICKED(a&); CLICKED(b&); CLICKED(t&)\n"
                "TESTCLICK 1001\nPRINT CLICKED(a&); CLICKED(b&); CLICKED(t&); %MENUITEM\n"
                "SETCHECK b&, 5\nPRINT GETCHECK(b&)\n"),
            0);
  EXPECT_EQ(host.stdoutText, "000\n010-1001\n1\n");
}

TEST_F(ControlsTest, TabsToolbarsAndTooltips) {
  EXPECT_EQ(Run("DECLARE r%, t&, tb&, tip&, tip2&\n"
                "t& = CREATE(\"TABCTRL\", 5, \"Erste\", 0, 0, 200, 100)\n"
                "PRINT INSERTTAB(t&, 1, \"Zweite\")\n"
                "tb& = CREATE(\"TOOLBAR\", 5, 0, 150, 1, 300, 1)\n"
                "PRINT TOOLBAR(\"addbutton\", tb&, 3, 310, \"Tipp\"); TOOLBAR(\"SEPARATOR\", tb&)\n"
                "tip& = CREATE(\"TOOLTIP\", 5, t&, \"Hilfe\")\n"
                "tip2& = CREATE(\"TOOLTIP\", 5, tb&, \"Mehr\")\n"
                "PRINT tip& = tip2&\n"),
            0);
  EXPECT_EQ(fake.log, (Log{"create SysTabControl32 id 1000", "tab 0 Erste", "tab 1 Zweite", "toolbar 99 from 300",
                           "send 1080 0 1342180161", "button 3 310 Tipp/", "separator", "tooltip window",
                           "tool 100 Hilfe", "tool 101 Mehr"}));
  EXPECT_EQ(host.stdoutText, "1\n11\n1\n");
  EXPECT_EQ(gControls.nextId, 1004);  // tab, toolbar and two tooltips
}

// What the window procedure does with a WM_NOTIFY.
void CmdTestNotify(TParStack& ps) {
  const int32_t control = EvalInt(ps, ',');
  if (gEval.failed) return;
  const int32_t code = EvalInt(ps, ' ');
  if (!gEval.failed) RecordNotify(static_cast<uint32_t>(control), code);
}

TEST_F(ControlsTest, TabChangedReadsAndClearsTheNotifyRecord) {
  DefineExtraCommand("TESTNOTIFY", CmdTestNotify);
  EXPECT_EQ(Run("PRINT TABCHANGED(7)\nTESTNOTIFY 7, -550\nPRINT TABCHANGED(7)\n"
                "TESTNOTIFY 7, -551\nPRINT TABCHANGED(8); TABCHANGED(7); TABCHANGED(7)\n"),
            0);
  EXPECT_EQ(host.stdoutText, "0\n0\n010\n");
}

TEST_F(ControlsTest, SpinDateAndTimeEdits) {
  fake.intl["sShortDate"] = "M/d/yyyy";
  fake.intl["sDate"] = "/";
  EXPECT_EQ(Run("DECLARE r%, s&\ns& = CREATE(\"SPINEDIT\", 5, \"3;0;10\", 0, 0, 50, 20)\n"
                "PRINT GETHANDLE(5, 1000) = s&\n"
                "r% = CREATE(\"SPINEDIT\", 5, 42, 0, 0, 50, 20)\n"
                "r% = CREATE(\"DATEEDIT\", 5, \"12/24/2026\", 0, 0, 80, 20)\n"
                "r% = CREATE(\"DATEEDIT\", 5, \"0/0/0\", 0, 0, 80, 20)\n"
                "r% = CREATE(\"TIMEEDIT\", 5, \"8:30\", 0, 0, 80, 20)\n"
                "SETERRORLEVEL -1\nr% = CREATE(\"SPINEDIT\", 5, \"1;a\", 0, 0, 50, 20)\n"),
            0);
  EXPECT_EQ(host.stdoutText, "1\n");
  EXPECT_EQ(fake.log, (Log{"create EDIT id 1000", "updown 0 10 3", "create EDIT id 1002", "updown -32768 32767 42",
                           "create SysDateTimePick32 id 1004", "date 2026-12-24 0:0:0",
                           "create SysDateTimePick32 id 1005", "create SysDateTimePick32 id 1006",
                           "time 0-0-0 8:30:0"}));
  EXPECT_NE(AllDebugLines().find("Ungültiger Funktionswert!"), std::string::npos);
}

TEST_F(ControlsTest, DialogFontGoesToTextBearingControls) {
  EXPECT_EQ(Run("DECLARE r%\nr% = CREATE(\"BUTTON\", 5, \"a\", 0, 0, 9, 9)\nSETDIALOGFONT 1\n"
                "r% = CREATE(\"BUTTON\", 5, \"b\", 0, 0, 9, 9)\nSETDIALOGFONT 0\n"
                "r% = CREATE(\"TEXT\", 5, \"c\", 0, 0, 9, 9)\n"),
            0);
  EXPECT_EQ(fake.log, (Log{"create BUTTON id 1000", "create BUTTON id 1001 font", "create STATIC id 0"}));
}

TEST_F(ControlsTest, FontsIconsAndPictures) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE f&\nf& = CREATE(\"FONT\", \"Arial\", 20, 0, 1, 1, 0)\n"
                "PRINT f&; \" \"; CREATE(\"HICON\", \"shell32.dll\", 1); CREATE(\"HICON\", \"x.dll\", 5)\n"
                "PRINT CREATE(\"HPIC\", 7, \"pic.bmp\") > 0; CREATE(\"HSIZEDPIC\", 7, \"pic.bmp\", 0, 10, 0)\n"
                "PRINT CREATE(\"HSIZEDPIC\", 7, \"pic.bmp\", 200, 200, 1) > 0\n"
                "PRINT CREATE(\"HPIC\", 0, \"missing\")\n"),
            0);
  EXPECT_EQ(fake.log, (Log{"font Arial 20 0 700 i cs 1", "picture pic.bmp 0x0", "picture pic.bmp 0x0",
                           "delete 36865", "picture pic.bmp 200x50", "picture missing 0x0"}));
  EXPECT_EQ(host.stdoutText, "30464 05\n10\n1\n0\n");
  EXPECT_NE(AllDebugLines().find("ICON nicht vorhanden: shell32.dll"), std::string::npos);
  EXPECT_NE(AllDebugLines().find("Bitmap nicht ladbar: missing"), std::string::npos);
  EXPECT_DOUBLE_EQ(LastPictureScale(), 0.5);
}

// A decoder that takes files beginning with "PIC w h" and logs what it was
// asked for.
class FakeDecoder : public PictureDecoder {
 public:
  bool Decode(const std::vector<uint8_t>& bytes, int32_t w, int32_t h, TDecodedPicture& out) override {
    const std::string text(bytes.begin(), bytes.end());
    log.push_back(std::to_string(bytes.size()) + " bytes " + std::to_string(w) + "x" + std::to_string(h));
    int natW = 0, natH = 0;
    if (std::sscanf(text.c_str(), "PIC %d %d", &natW, &natH) != 2) return false;
    out.handle = 0xA000u + static_cast<uint32_t>(log.size());
    out.width = w > 0 ? w : natW;
    out.height = h > 0 ? h : natH;
    out.colours = 256;
    return true;
  }
  std::vector<std::string> log;
};

class PictureFileTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    SetPictureDecoder(&decoder);
  }
  void TearDown() override {
    SetPictureDecoder(nullptr);
    ControlsTest::TearDown();
  }
  FakeDecoder decoder;
};

TEST_F(PictureFileTest, PictureFilesAreReadWholeAndDecodedAtTheAskedSize) {
  Write("bild.png", "PIC 300 150");
  EXPECT_EQ(Run("DECLARE p&\np& = CREATE(\"HPIC\", -1, \"bild.png\")\n"
                "PRINT p& > 0; \" \"; %BMPX; \"x\"; %BMPY; \" \"; &BMPCOL; \" \"; !BMPF\n"
                "p& = CREATE(\"HSIZEDPIC\", -1, \"bild.png\", 60, 60, 1)\n"
                "PRINT %BMPX; \"x\"; %BMPY; \" \"; !BMPF\n"
                "p& = CREATE(\"HSIZEDPIC\", -1, \"bild.png\", 40, 50, 0)\n"
                "PRINT %BMPX; \"x\"; %BMPY; \" \"; !BMPF\n"),
            0);
  EXPECT_EQ(decoder.log, (Log{"11 bytes 0x0", "11 bytes 0x0", "11 bytes 60x30", "11 bytes 40x50"}));
  // The natural-size load that only measured is deleted again.
  EXPECT_EQ(fake.log, (Log{"delete " + std::to_string(0xA002)}));
  EXPECT_EQ(host.stdoutText, "1 300x150 256 1.000000\n60x30 0.200000\n40x50 -1.000000\n");
  // No picture ever reaches the platform's resource loader.
  for (const auto& l : fake.log) EXPECT_EQ(l.find("picture"), std::string::npos);
}

TEST_F(PictureFileTest, MissingEmptyAndUndecodableFilesReportAndEndTheStatement) {
  Write("leer.gif", "");
  Write("kaputt.jpg", "kein Bild");
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE p&\n"
                "p& = CREATE(\"HPIC\", -1, \"fehlt.png\")\nPRINT p&; \" \"; %ERRNUMBER; \" \"; $ERRSTR\n"
                "p& = CREATE(\"HPIC\", -1, \"leer.gif\")\nPRINT p&; \" \"; %ERRNUMBER; \" \"; $ERRSTR\n"
                "p& = CREATE(\"HPIC\", -1, \"kaputt.jpg\")\nPRINT p&; \" \"; %ERRNUMBER; \" \"; $ERRSTR\n"
                "p& = CREATE(\"HSIZEDPIC\", -1, \"leer.gif\", 10, 10, 1)\nPRINT p&; \" \"; %ERRNUMBER\n"
                "p& = CREATE(\"HSIZEDPIC\", -1, \"fehlt.png\", 10, 10, 0)\nPRINT p&; \" \"; %ERRNUMBER\n"),
            0);
  EXPECT_EQ(host.stdoutText,
            "0 300 fehlt.png\n0 309 leer.gif\n0 228 kaputt.jpg\n0 309\n0 300\n");
  // Only the file that could be read reached the decoder, and only once.
  EXPECT_EQ(decoder.log, (Log{"9 bytes 0x0"}));
  EXPECT_NE(AllDebugLines().find("Datei kann nicht gelesen werden: fehlt.png"), std::string::npos);
  EXPECT_NE(AllDebugLines().find("Bitmap nicht ladbar: kaputt.jpg"), std::string::npos);
}

TEST(PictureFile, WithoutADecoderAReadableFileIsUndecodable) {
  SetPictureDecoder(nullptr);
  const std::string path = ::testing::TempDir() + "korv_picture_probe.bin";
  std::ofstream(path, std::ios::binary) << "GIF89a";
  TDecodedPicture out;
  out.handle = 5;
  EXPECT_EQ(LoadPictureFile(path, 0, 0, out), PictureLoad::Undecodable);
  EXPECT_EQ(out.handle, 0u);
  std::remove(path.c_str());
  EXPECT_EQ(LoadPictureFile(path, 0, 0, out), PictureLoad::Unreadable);
}

TEST(PictureFile, HimetricSizesRoundToDisplayPixels) {
  // 2540 HIMETRIC are one inch.
  EXPECT_EQ(HimetricToPixels(2540, 96), 96);
  EXPECT_EQ(HimetricToPixels(2540, 120), 120);
  // 32 pixels stored at 96 dpi are 846.67 HIMETRIC, kept as 847.
  EXPECT_EQ(HimetricToPixels(847, 96), 32);
  EXPECT_EQ(HimetricToPixels(846, 96), 32);
  // 1.5 pixels round up, 1.49 down.
  EXPECT_EQ(HimetricToPixels(127, 30), 2);
  EXPECT_EQ(HimetricToPixels(126, 30), 1);
  EXPECT_EQ(HimetricToPixels(0, 96), 0);
  // Large pictures do not overflow the product.
  EXPECT_EQ(HimetricToPixels(2540 * 1000, 600), 600000);
}

TEST(PictureFile, ColourCountsFollowTheBitsPerPixel) {
  EXPECT_EQ(ColoursForBits(1), 2u);
  EXPECT_EQ(ColoursForBits(8), 256u);
  EXPECT_EQ(ColoursForBits(24), 16777216u);
  EXPECT_EQ(ColoursForBits(32), 0x7FFFFFFFu);
  EXPECT_EQ(ColoursForBits(0), 0u);
}

TEST_F(ControlsTest, WindowCommandsReadTheirSeparators) {
  EXPECT_EQ(Run("DECLARE r%, b&\nb& = CREATE(\"BUTTON\", 5, \"a\", 0, 0, 9, 9)\n"
                "SETWINDOWPOS b& = 10, 20 - 30, 40\nPRINT WIDTH(b&); HEIGHT(b&)\n"
                "SETWINDOWPOS b& = 1, 2 - 3, 4; 9\n"
                "SETWINDOWPOS b& = -1, 2 - 3, 4\n"
                "SETSTYLE b&, $50000001\nSETSTYLE b&, 1, 4\nPRINT GETSTYLE(b&); \" \"; GETSTYLE(b&, 1)\n"
                "SETTEXT b&, \"neu\"\nPRINT GETTEXT$(b&)\n"
                "ENABLEWINDOW b&, 0\nSETSCROLLRANGE b&, 5, 50\nSETSCROLLPOS b&, 7\nPRINT GETSCROLLPOS(b&)\n"
                "SETFONT b&, 99\nDELETEOBJECT 1234\nDELETEOBJECT 0\n"),
            0);
  EXPECT_EQ(host.stdoutText, "3040\n1342177281 4\nneu\n7\n");
  EXPECT_EQ(fake.log, (Log{"create BUTTON id 1000", "place 0 keep", "place 9 behind", "enable 100 off",
                           "range 5 50", "send 48 99 1", "delete 1234"}));
  EXPECT_NE(AllDebugLines().find("Negative Fenstergröße!"), std::string::npos);
}

TEST_F(ControlsTest, RichEditFilesThatCannotBeOpenedReport300And301) {
  EXPECT_EQ(Run("SETERRORLEVEL -1\nDECLARE r&\nr& = CREATE(\"RICHEDIT\", 5, \"\", 0, 0, 100, -50)\n"
                "PRINT RTF(\"loadrtf\", r&, \"a.rtf\"); RTF(\"SAVETEXT\", r&, \"locked\"); RTF(\"LOADTEXT\", 4711, \"a\")\n"
                "PRINT RTF(\"PRINT\", r&)\n"),
            0);
  EXPECT_EQ(fake.wins[100].style, 0x54215044u);
  EXPECT_EQ(fake.wins[100].cls, "RICHEDIT20A");
  EXPECT_EQ(host.stdoutText, "100\n0\n");
  const std::string lines = AllDebugLines();
  EXPECT_NE(lines.find("Datei kann nicht erzeugt werden: locked"), std::string::npos);
  EXPECT_NE(lines.find("Fensterobjekt nicht vorhanden!"), std::string::npos);
  EXPECT_NE(lines.find("Unbekannte Subfunktion: PRINT"), std::string::npos);
}

TEST_F(ControlsTest, WithoutRichEditLibraryTheResultIsZero) {
  fake.richEdit.clear();
  EXPECT_EQ(Run("PRINT CREATE(\"RICHEDIT\", 5, \"\", 0, 0, 100, 50)\n"), 0);
  EXPECT_EQ(host.stdoutText, "0\n");
  EXPECT_TRUE(fake.log.empty());
}

TEST_F(ControlsTest, ResetStartsTheIdsAgain) {
  gControls.nextId = 1234;
  gControls.tooltip = 5;
  gControls.dialogFont = 9;
  ResetControls();
  EXPECT_EQ(gControls.nextId, 1000);
  EXPECT_EQ(gControls.tooltip, 0u);
  EXPECT_EQ(gControls.dialogFont, 0u);
}

}  // namespace
}  // namespace korv
