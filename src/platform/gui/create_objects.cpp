#include "gui/create_objects.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "base/errors.h"
#include "base/host.h"
#include "base/text.h"
#include "engine/procedures.h"
#include "graphics/bitmaps.h"
#include "graphics/picture_file.h"
#include "gui/controls.h"
#include "gui/window.h"
#include "values/evaluator.h"
#include "values/functions_support.h"
#include "values/set_get.h"

namespace korv {

// --- Styles and small formats ---------------------------------------------------

namespace {
constexpr uint32_t kLbsNotify = 0x1, kLbsSort = 0x2, kLbsMultipleSel = 0x8;
constexpr uint32_t kListBoxBase = 0x503101C0;
constexpr uint32_t kCbsDropDown = 0x2, kCbsDropDownList = 0x3, kCbsSort = 0x100;
constexpr uint32_t kChoiceBoxBase = 0x50310600;
constexpr uint32_t kLvsReport = 0x1, kLvsSingleSel = 0x4, kLvsShowSelAlways = 0x8, kLvsSortAscending = 0x10;
constexpr uint32_t kGridBoxBase = 0x50018000, kHiddenGridBase = 0x4000;
constexpr int32_t kMaxToolbarButtons = 99;
constexpr int32_t kSpinLower = -32768, kSpinUpper = 32767;
constexpr uint32_t kToolbarLooks[] = {0x50000141, 0x50000B41, 0x50000140, 0x50000B40};

bool Bit(int32_t flags, int n) { return (flags >> n) & 1; }

// A whole decimal integer with an optional sign and blanks around it.
bool WholeNumber(const std::string& text, int32_t& out) {
  std::string t = Trim(text);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '-' || t[i] == '+')) negative = t[i++] == '-';
  if (i >= t.size()) return false;
  int64_t v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
    if (v > std::numeric_limits<int32_t>::max()) return false;
  }
  out = static_cast<int32_t>(negative ? -v : v);
  return true;
}

std::vector<std::string> SplitAt(const std::string& text, const std::string& sep) {
  std::vector<std::string> parts;
  if (sep.empty()) return {text};
  size_t start = 0;
  for (;;) {
    size_t at = text.find(sep, start);
    parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
    if (at == std::string::npos) return parts;
    start = at + sep.size();
  }
}
}  // namespace

uint32_t ListBoxStyle(int32_t flags, bool visibleChild) {
  uint32_t style = visibleChild ? kListBoxBase | kLbsNotify : 0;
  if (Bit(flags, 0)) style |= kLbsSort;
  if (Bit(flags, 1)) style |= kLbsMultipleSel;
  return style;
}

uint32_t ChoiceBoxStyle(int32_t flags) {
  uint32_t style = kChoiceBoxBase | (Bit(flags, 1) ? kCbsDropDown : kCbsDropDownList);
  if (Bit(flags, 0)) style |= kCbsSort;
  return style;
}

uint32_t GridBoxStyle(int32_t flags) {
  uint32_t style = kGridBoxBase | kLvsShowSelAlways | kLvsReport;
  if (!Bit(flags, 1)) style |= kLvsSingleSel;
  if (Bit(flags, 0)) style |= kLvsSortAscending;
  return style;
}

uint32_t HiddenGridStyle(int32_t flags) {
  uint32_t style = kHiddenGridBase;
  if (Bit(flags, 0)) style |= kLvsSortAscending;
  if (!Bit(flags, 1)) style |= kLvsSingleSel;
  return style;
}

uint32_t ToolbarLookStyle(int32_t look) {
  return look >= 0 && look < 4 ? kToolbarLooks[look] : kToolbarLooks[0];
}

int32_t ClampToolbarButtons(int32_t buttons) {
  return buttons < 0 ? 0 : (buttons > kMaxToolbarButtons ? kMaxToolbarButtons : buttons);
}

bool ParseSpinValue(const std::string& text, int32_t& pos, int32_t& lower, int32_t& upper) {
  std::vector<std::string> parts = SplitAt(text, ";");
  if (parts.size() > 3) return false;
  pos = 0;
  lower = kSpinLower;
  upper = kSpinUpper;
  int32_t* targets[] = {&pos, &lower, &upper};
  for (size_t i = 0; i < parts.size(); ++i)
    if (!WholeNumber(parts[i], *targets[i])) return false;
  return true;
}

std::string DateFieldOrder(const std::string& shortDate, const std::string& separator) {
  std::string order;
  char previous = 0;
  for (char c : shortDate) {
    if (order.size() == 3) break;
    if (order.empty() || (c != previous && separator.find(c) == std::string::npos &&
                          order.find(c) == std::string::npos)) {
      order += c;
    }
    previous = c;
  }
  return order;
}

void ParseDateText(const std::string& text, const std::string& separator, const std::string& order,
                   int32_t& day, int32_t& month, int32_t& year) {
  day = month = year = 0;
  std::vector<std::string> fields = SplitAt(text, separator);
  int32_t values[3] = {0, 0, 0};  // d, M, y
  for (size_t i = 0; i < order.size() && i < 3; ++i) {
    int slot = order[i] == 'd' || order[i] == 'D' ? 0 : (order[i] == 'M' || order[i] == 'm') ? 1 : 2;
    if (i >= fields.size() || !WholeNumber(fields[i], values[slot])) return;
  }
  day = values[0];
  month = values[1];
  year = values[2];
}

void ParseTimeText(const std::string& text, int32_t& hour, int32_t& minute, int32_t& second) {
  std::vector<std::string> fields = SplitAt(text, ":");
  int32_t* targets[] = {&hour, &minute, &second};
  for (size_t i = 0; i < 3; ++i) {
    *targets[i] = 0;
    if (i < fields.size() && !WholeNumber(fields[i], *targets[i])) *targets[i] = 0;
  }
}

bool ParseGridColumns(const std::string& text, std::vector<TGridColumn>& out) {
  out.clear();
  std::vector<std::string> fields = SplitAt(text, ";");
  for (size_t i = 0; i < fields.size(); i += 3) {
    TGridColumn column;
    column.caption = fields[i].empty() ? " " : fields[i];
    if (i + 1 < fields.size() && !Trim(fields[i + 1]).empty() && !WholeNumber(fields[i + 1], column.format))
      return false;
    if (i + 2 < fields.size() && !Trim(fields[i + 2]).empty() && !WholeNumber(fields[i + 2], column.width))
      return false;
    out.push_back(column);
  }
  return true;
}

std::vector<std::string> SplitCells(const std::string& text, const std::string& delimiter) {
  return SplitAt(text, delimiter);
}

// --- CREATE ------------------------------------------------------------------------

namespace {

using namespace fn;

struct TArg {
  int32_t i = 0;
  std::string s;
  bool isText = false;
};
using Args = std::vector<TArg>;
using KindMaker = uint32_t (*)(ControlPlatform& p, const Args& a);

// Reads the arguments after the kind: one letter each ('i' number, 's'
// text); those after a '|' may be left out. False after a report.
bool ReadArgs(TParStack& ps, const char* sig, Args& out) {
  int required = 0, total = 0;
  bool optional = false;
  for (const char* c = sig; *c; ++c) {
    if (*c == '|') {
      optional = true;
      continue;
    }
    ++total;
    if (!optional) ++required;
  }
  for (int i = 0; i < total; ++i) {
    const bool last = i == total - 1 || (i >= required - 1 && !HasFurtherArg());
    if (!Arg(ps, last, 0)) return false;
    TArg a;
    a.i = gRes.IntValue;
    a.s = gRes.StrValue;
    a.isText = gRes.ResultKind == kind::kString;
    out.push_back(std::move(a));
    if (last) break;
  }
  // The makers index the required arguments: a call that ended early is
  // refused here.
  if (static_cast<int>(out.size()) < required) {
    RaiseError(212);
    return false;
  }
  return true;
}

int32_t NextId() { return gControls.nextId++; }

uint32_t DialogFont(ControlPlatform& p) {
  if (gControls.dialogFont == 1) return p.DrawingFont();
  return gControls.dialogFont;
}

uint32_t Child(ControlPlatform& p, const char* cls, const Args& a, uint32_t style, bool withId, bool withFont,
               uint32_t exStyle = 0) {
  TWindowSpec spec;
  spec.className = cls;
  spec.text = a[1].s;
  spec.style = style;
  spec.exStyle = exStyle;
  spec.parent = static_cast<uint32_t>(a[0].i);
  spec.x = a[2].i;
  spec.y = a[3].i;
  spec.w = a.size() > 4 ? a[4].i : 0;
  spec.h = a.size() > 5 ? a[5].i : 0;
  if (withId) spec.id = NextId();
  return p.CreateWindowObject(spec, withFont ? DialogFont(p) : 0);
}

template <uint32_t Style>
uint32_t MakeButton(ControlPlatform& p, const Args& a) {
  return Child(p, "BUTTON", a, Style, true, true);
}

template <uint32_t Style, uint32_t ImageType>
uint32_t MakeImageButton(ControlPlatform& p, const Args& a) {
  Args named = a;
  named[1].s.clear();
  uint32_t h = Child(p, "BUTTON", named, Style, true, false);
  if (h) p.Send(h, ctl::kBmSetImage, ImageType, a[1].i);
  return h;
}

uint32_t MakeText(ControlPlatform& p, const Args& a) {
  return Child(p, "STATIC", a, create_style::kText, false, true);
}

uint32_t MakeIcon(ControlPlatform& p, const Args& a) {
  Args sized = a;
  sized.push_back({});
  sized.push_back({});
  return Child(p, "STATIC", sized, create_style::kIcon, false, false);
}

uint32_t MakeBitmap(ControlPlatform& p, const Args& a) {
  Args named = a;
  named[1].s.clear();
  uint32_t h = Child(p, "STATIC", named, create_style::kBitmap, false, false, create_style::kBitmapEx);
  if (h) p.Send(h, ctl::kStmSetImage, 0, a[1].i);
  return h;
}

// h < 0 selects the variant and gives the height -h.
Args Unsigned(const Args& a, bool& negative) {
  Args out = a;
  negative = out[5].i < 0;
  if (negative) out[5].i = -out[5].i;
  return out;
}

uint32_t MakeEdit(ControlPlatform& p, const Args& a) {
  bool password;
  Args b = Unsigned(a, password);
  uint32_t style = create_style::kEdit | (password ? create_style::kPassword : 0);
  return Child(p, "EDIT", b, style, true, true, ctl::kExClientEdge);
}

uint32_t MakeMultiEdit(ControlPlatform& p, const Args& a) {
  bool wrap;
  Args b = Unsigned(a, wrap);
  return Child(p, "EDIT", b, wrap ? create_style::kMultiEditWrap : create_style::kMultiEdit, true, true,
               ctl::kExClientEdge);
}

uint32_t MakeRichEdit(ControlPlatform& p, const Args& a) {
  std::string cls = p.RichEditClass();
  if (cls.empty()) return 0;
  Args b = a;
  const bool wrap = b[5].i <= 0;
  b[5].i = wrap ? -b[5].i : b[5].i;
  uint32_t h = Child(p, cls.c_str(), b, wrap ? create_style::kRichEditWrap : create_style::kRichEdit, true, true,
                     ctl::kExClientEdge);
  if (h) p.Send(h, ctl::kEmExLimitText, 0, 0x7FFFFFFF);
  return h;
}

uint32_t MakeListBox(ControlPlatform& p, const Args& a) {
  Args b = a;
  b[1].s.clear();
  if (b[5].i < 0) b[5].i = -b[5].i;
  return Child(p, "LISTBOX", b, ListBoxStyle(a[1].i, true), true, true, ctl::kExClientEdge);
}

uint32_t MakeChoiceBox(ControlPlatform& p, const Args& a) {
  Args b = a;
  b[1].s.clear();
  return Child(p, "COMBOBOX", b, ChoiceBoxStyle(a[1].i), true, true);
}

template <uint32_t Style>
uint32_t MakeScrollBar(ControlPlatform& p, const Args& a) {
  Args b = a;
  b[1].s.clear();
  uint32_t h = Child(p, "SCROLLBAR", b, Style, true, false);
  if (h) p.SetScrollRange(h, 0, 100);
  return h;
}

constexpr size_t kTabTextMax = 80;

uint32_t MakeTabCtrl(ControlPlatform& p, const Args& a) {
  Args b = a;
  b[1].s.clear();
  uint32_t h = Child(p, "SysTabControl32", b, create_style::kTabCtrl, true, true);
  if (h) p.TabInsert(h, 0, a[1].s.substr(0, kTabTextMax));
  return h;
}

// GRIDBOX: parent, columns$, flags, x, y, w, h.
uint32_t MakeGridBox(ControlPlatform& p, const Args& a) {
  std::vector<TGridColumn> columns;
  if (!ParseGridColumns(a[1].s, columns)) {
    RaiseError(200);
    return 0;
  }
  Args b = {a[0], {}, a[3], a[4], a[5], a[6]};
  uint32_t h = Child(p, "SysListView32", b, GridBoxStyle(a[2].i), true, true, ctl::kExClientEdge);
  if (!h) return 0;
  p.Send(h, ctl::kLvmSetExtendedStyle, 0, create_style::kGridExStyle);
  for (const TGridColumn& c : columns) p.ListViewAddColumn(h, c.caption, c.format, c.width);
  return h;
}

uint32_t Hidden(ControlPlatform& p, const char* cls, uint32_t style) {
  TWindowSpec spec;
  spec.className = cls;
  spec.style = style;
  return p.CreateWindowObject(spec, 0);
}

uint32_t MakeList(ControlPlatform& p, const Args& a) { return Hidden(p, "LISTBOX", ListBoxStyle(a[0].i, false)); }

constexpr int32_t kHiddenColumnWidth = 100, kMaxHiddenColumns = 1000;

uint32_t MakeGrid(ControlPlatform& p, const Args& a) {
  uint32_t h = Hidden(p, "SysListView32", HiddenGridStyle(a[1].i));
  if (!h) return 0;
  for (int32_t i = 0; i < a[0].i && i < kMaxHiddenColumns; ++i) p.ListViewAddColumn(h, "", 0, kHiddenColumnWidth);
  return h;
}

uint32_t MakeSpinEdit(ControlPlatform& p, const Args& a) {
  int32_t pos = a[1].i, lower = kSpinLower, upper = kSpinUpper;
  if (a[1].isText && !ParseSpinValue(a[1].s, pos, lower, upper)) {
    RaiseError(200);
    return 0;
  }
  Args b = a;
  b[1].s.clear();
  uint32_t edit = Child(p, "EDIT", b, create_style::kEdit, true, true, ctl::kExClientEdge);
  if (!edit) return 0;
  uint32_t upDown = p.CreateUpDown(static_cast<uint32_t>(a[0].i), NextId(), edit, lower, upper, pos);
  if (!upDown) return edit;
  return static_cast<uint32_t>(p.Send(upDown, ctl::kUdmGetBuddy, 0, 0));
}

uint32_t MakeDateEdit(ControlPlatform& p, const Args& a) {
  Args b = a;
  b[1].s.clear();
  uint32_t h = Child(p, "SysDateTimePick32", b, create_style::kDateEdit, true, true);
  if (!h) return 0;
  std::string sep = p.ProfileIntl("sDate", ".");
  std::string order = DateFieldOrder(p.ProfileIntl("sShortDate", "dd.MM.yyyy"), sep);
  int32_t day, month, year;
  ParseDateText(a[1].s, sep, order, day, month, year);
  if (day != 0) p.SetDateTime(h, year, month, day, 0, 0, 0, false);
  return h;
}

uint32_t MakeTimeEdit(ControlPlatform& p, const Args& a) {
  Args b = a;
  b[1].s.clear();
  uint32_t h = Child(p, "SysDateTimePick32", b, create_style::kTimeEdit, true, true);
  if (!h || Trim(a[1].s).empty()) return h;
  int32_t hour, minute, second;
  ParseTimeText(a[1].s, hour, minute, second);
  p.SetDateTime(h, 0, 0, 0, hour, minute, second, true);
  return h;
}

uint32_t MakeStatusWindow(ControlPlatform& p, const Args& a) {
  uint32_t h = p.CreateStatusBar(create_style::kStatus, a[1].s, static_cast<uint32_t>(a[0].i), NextId());
  if (h && a.size() >= 4) p.Send(h, ctl::kSbSetParts, static_cast<uint32_t>(a[2].i), a[3].i);
  return h;
}

// TOOLBAR: parent, bitmap, buttons, size, first id, look.
uint32_t MakeToolbar(ControlPlatform& p, const Args& a) {
  uint32_t h = p.CreateToolbar(static_cast<uint32_t>(a[0].i), create_style::kToolbarCreate, NextId(),
                               static_cast<uint32_t>(a[1].i), ClampToolbarButtons(a[2].i), a[3].i, a[4].i);
  if (h) p.Send(h, ctl::kTbSetStyle, 0, static_cast<int32_t>(ToolbarLookStyle(a[5].i)));
  return h;
}

uint32_t MakeTooltip(ControlPlatform& p, const Args& a) {
  const uint32_t parent = static_cast<uint32_t>(a[0].i);
  if (!gControls.tooltip) gControls.tooltip = p.CreateTooltipWindow(parent);
  NextId();
  if (!gControls.tooltip) return 0;
  p.AddTooltipTool(gControls.tooltip, parent, static_cast<uint32_t>(a[1].i), a[2].s);
  return gControls.tooltip;
}

constexpr int32_t kShowNormal = 1;

uint32_t MakeWindow(ControlPlatform& p, const Args& a) {
  bool plain;
  Args b = Unsigned(a, plain);
  uint32_t h = Child(p, plain ? "FENSTER" : "DIALOG", b, gWindowSettings.style, false, false,
                     gWindowSettings.exStyle);
  if (h) p.Show(h, kShowNormal);
  return h;
}

constexpr uint32_t kWmSetFont = 0x30;

uint32_t MakeDialog(ControlPlatform& p, const Args& a) {
  uint32_t h = p.CreateEmptyDialog(static_cast<uint32_t>(a[0].i));
  if (!h) return 0;
  p.SetText(h, a[1].s);
  p.Place(h, 0, a[2].i, a[3].i, a[4].i, a[5].i, true);
  p.Show(h, kShowNormal);
  if (uint32_t font = DialogFont(p)) p.Send(h, kWmSetFont, font, 1);
  return h;
}

constexpr int32_t kNormalWeight = 400, kBoldStep = 300, kHeaviest = 1000;

uint32_t MakeFont(ControlPlatform& p, const Args& a) {
  const int64_t weight = kNormalWeight + int64_t{kBoldStep} * a[3].i;
  const int32_t clamped = static_cast<int32_t>(weight < 0 ? 0 : weight > kHeaviest ? kHeaviest : weight);
  return p.CreateFontObject(a[0].s, a[1].i, a[2].i, clamped, a[4].i != 0, a[5].i != 0, gSwitches.CharSet);
}

constexpr int32_t kIconMissing = 224, kPictureMissing = 228;

uint32_t MakeHIcon(ControlPlatform& p, const Args& a) {
  uint32_t icon = p.ExtractIconFrom(a[0].s, a[1].i);
  // ExtractIcon answers 1 for a file that is no program, library or icon.
  if (icon == 0 || icon == 1) {
    RaiseWarning(kIconMissing, a[0].s);
    return 0;
  }
  return icon;
}

TPictureInfo gPicture;
double gPictureScale = 1.0;

constexpr int32_t kPictureFileSource = -1;

// A picture from its source: -1 reads a picture file (a file that cannot be
// read gives error 300, an empty one 309), any other source is loaded by the
// platform. False after the report; a picture that does not load gives the
// warning 228 with the name.
bool LoadPictureFrom(ControlPlatform& p, int32_t source, const std::string& name, int32_t w, int32_t h,
                     TPictureInfo& out) {
  if (source != kPictureFileSource) {
    if (p.LoadPicture(source, name, w, h, out)) return true;
    RaiseWarning(kPictureMissing, name);
    return false;
  }
  TDecodedPicture decoded;
  switch (LoadPictureFile(name, w, h, decoded)) {
    case PictureLoad::Loaded:
      out.handle = decoded.handle;
      out.width = decoded.width;
      out.height = decoded.height;
      out.colours = static_cast<int32_t>(decoded.colours);
      return true;
    case PictureLoad::Unreadable:
      RaiseError(kErrFileUnreadable, name);
      return false;
    case PictureLoad::Empty:
      RaiseError(kErrInvalidFile, name);
      return false;
    case PictureLoad::Undecodable:
      break;
  }
  RaiseWarning(kPictureMissing, name);
  return false;
}

// The loaded picture's size, colours and scale for %BMPX, %BMPY, &BMPCOL
// and !BMPF; its handle is the result.
uint32_t KeepPicture(const TPictureInfo& info, double scale) {
  gPicture = info;
  gPictureScale = scale;
  RecordPicture(info.width, info.height, static_cast<uint32_t>(info.colours), scale);
  return info.handle;
}

uint32_t MakeHPic(ControlPlatform& p, const Args& a) {
  TPictureInfo info;
  if (!LoadPictureFrom(p, a[0].i, a[1].s, 0, 0, info)) return 0;
  return KeepPicture(info, 1.0);
}

// HSIZEDPIC: source, name$, w, h, mode.
uint32_t MakeHSizedPic(ControlPlatform& p, const Args& a) {
  int32_t w = a[2].i, h = a[3].i;
  if (w <= 0 || h <= 0) {
    RaiseWarning(kPictureMissing, a[1].s);
    return 0;
  }
  double scale = -1.0;
  if (a[4].i > 0) {
    TPictureInfo natural;
    if (!LoadPictureFrom(p, a[0].i, a[1].s, 0, 0, natural)) return 0;
    p.DeleteObjectOrIcon(natural.handle);
    const double fx = static_cast<double>(natural.width) / w, fy = static_cast<double>(natural.height) / h;
    if (fx <= 0 || fy <= 0) {
      RaiseWarning(kPictureMissing, a[1].s);
      return 0;
    }
    if (fx > fy) {
      h = static_cast<int32_t>(std::lround(natural.height / fx));
      scale = 1.0 / fx;
    } else {
      w = static_cast<int32_t>(std::lround(natural.width / fy));
      scale = 1.0 / fy;
    }
    if (w < 1) w = 1;
    if (h < 1) h = 1;
  }
  TPictureInfo info;
  if (!LoadPictureFrom(p, a[0].i, a[1].s, w, h, info)) return 0;
  return KeepPicture(info, scale);
}

struct TKind {
  const char* name;
  const char* args;
  KindMaker make;
};

const TKind kKinds[] = {
    {"TEXT", "isiiii", MakeText},
    {"ICON", "isii", MakeIcon},
    {"BITMAP", "iiii", MakeBitmap},
    {"BUTTON", "isiiii", MakeButton<create_style::kButton>},
    {"DEFBUTTON", "isiiii", MakeButton<create_style::kDefButton>},
    {"CHECKBOX", "isiiii", MakeButton<create_style::kCheckBox>},
    {"RADIOBUTTON", "isiiii", MakeButton<create_style::kRadioButton>},
    {"GROUPBOX", "isiiii", MakeButton<create_style::kGroupBox>},
    {"PICBUTTON", "iiiiii", MakeImageButton<create_style::kPicButton, 0>},
    {"ICONBUTTON", "iiiiii", MakeImageButton<create_style::kIconButton, 1>},
    {"EDIT", "isiiii", MakeEdit},
    {"MULTIEDIT", "isiiii", MakeMultiEdit},
    {"RICHEDIT", "isiiii", MakeRichEdit},
    {"LISTBOX", "iiiiii", MakeListBox},
    {"CHOICEBOX", "iiiiii", MakeChoiceBox},
    {"HSCROLL", "isiiii", MakeScrollBar<create_style::kHScroll>},
    {"VSCROLL", "isiiii", MakeScrollBar<create_style::kVScroll>},
    {"TABCTRL", "isiiii", MakeTabCtrl},
    {"GRIDBOX", "isiiiii", MakeGridBox},
    {"LIST", "i", MakeList},
    {"GRID", "ii", MakeGrid},
    {"SPINEDIT", "isiiii", MakeSpinEdit},
    {"DATEEDIT", "isiiii", MakeDateEdit},
    {"TIMEEDIT", "isiiii", MakeTimeEdit},
    {"STATUSWINDOW", "is|ii", MakeStatusWindow},
    {"TOOLBAR", "iiiiii", MakeToolbar},
    {"TOOLTIP", "iis", MakeTooltip},
    {"WINDOW", "isiiii", MakeWindow},
    {"DIALOG", "isiiii", MakeDialog},
    {"FONT", "siiiii", MakeFont},
    {"HICON", "si", MakeHIcon},
    {"HPIC", "is", MakeHPic},
    {"HSIZEDPIC", "isiii", MakeHSizedPic},
};

const TKind* FindKind(const std::string& upper) {
  for (const TKind& k : kKinds)
    if (upper == k.name) return &k;
  return nullptr;
}

void PumpOnce() {
  if (gErr.Level != -2) host().PumpMessages();
}

}  // namespace

const TPictureInfo& LastCreatedPicture() { return gPicture; }
double LastPictureScale() { return gPictureScale; }
void ResetCreatedPicture() {
  gPicture = TPictureInfo{};
  gPictureScale = 1.0;
}

void FnCreate(TParStack& ps) {
  std::string kindName;
  if (!StrArg(ps, !HasFurtherArg(), kindName)) {
    SetEmpty(kind::kInt);
    return PumpOnce();
  }
  kindName = Upper(Trim(kindName));
  const TKind* k = FindKind(kindName);
  if (!k) {
    DelegateToSubproc(SubprocFamily::Create, kindName, ps);
    return PumpOnce();
  }
  Args args;
  if (!ReadArgs(ps, k->args, args)) {
    SetEmpty(kind::kInt);
    return PumpOnce();
  }
  ControlPlatform* p = GetControlPlatform();
  const uint32_t handle = p ? k->make(*p, args) : 0;
  SetInt(static_cast<int32_t>(handle));
  PumpOnce();
}

}  // namespace korv
