// The control functions and commands that work on any window: texts,
// checks, styles, sizes, positions, scroll bars, tabs, fonts, TOOLBAR and
// RTF, DELETEOBJECT, CONTROL and CLICKED.
#include "gui/controls.h"

#include "base/errors.h"
#include "base/host.h"
#include "base/names.h"
#include "base/text.h"
#include "engine/procedures.h"
#include "graphics/drawing.h"
#include "gui/create_objects.h"
#include "gui/list_controls.h"
#include "gui/window.h"
#include "values/evaluator.h"
#include "values/functions_support.h"

namespace korv {

TControlState gControls;

namespace {

using namespace fn;

ControlPlatform* gPlatform = nullptr;

constexpr int32_t kNotAWindow = 307, kCannotRead = 300, kCannotWrite = 301;
constexpr int32_t kNegativeSize = 223;
constexpr uint32_t kWmSetFont = 0x30;
constexpr size_t kTabTextMax = 80;

uint32_t H(int32_t v) { return static_cast<uint32_t>(v); }

// --- Commands -----------------------------------------------------------------

// A further argument follows the one just read.
bool MoreArgs() {
  if (gEval.endOfArgs) return false;
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  return p < gEval.text.size();
}

struct TCmdArg {
  int32_t i = 0;
  std::string s;
};

// Reads up to max arguments separated by ","; false after a report.
bool ReadCommandArgs(TParStack& ps, size_t max, std::vector<TCmdArg>& out) {
  while (out.size() < max) {
    Evaluate(ps, out.size() + 1 == max ? ' ' : ',', 0);
    if (gEval.failed) return false;
    out.push_back({gRes.IntValue, gRes.StrValue});
    if (!MoreArgs()) break;
  }
  return true;
}

// SETTEXT handle, text$ / handle, part, text$ / handle, row, column, text$.
void CmdSetText(TParStack& ps) {
  std::vector<TCmdArg> a;
  if (!ReadCommandArgs(ps, 4, a)) return;
  if (a.size() < 2) return RaiseError(212);
  if (!gPlatform) return;
  const uint32_t h = H(a[0].i);
  switch (a.size()) {
    case 2: gPlatform->SetText(h, a[1].s); break;
    case 3: gPlatform->SendText(h, ctl::kSbSetText, H(a[1].i), a[2].s); break;
    default:
      if (ClassifyWindowClass(gPlatform->ClassName(h)) != ListClass::ListView) return RaiseError(280);
      gPlatform->ListViewSetCell(h, a[1].i, a[2].i, a[3].s);
      break;
  }
}

bool TwoInts(TParStack& ps, int32_t& a, int32_t& b) {
  a = EvalInt(ps, ',');
  if (gEval.failed) return false;
  b = EvalInt(ps, ' ');
  return !gEval.failed;
}

void CmdSetCheck(TParStack& ps) {
  int32_t h, state;
  if (!TwoInts(ps, h, state) || !gPlatform) return;
  gPlatform->Send(H(h), ctl::kBmSetCheck, state != 0 ? 1 : 0, 0);
}

void CmdEnableWindow(TParStack& ps) {
  int32_t h, state;
  if (!TwoInts(ps, h, state) || !gPlatform) return;
  gPlatform->Enable(H(h), state != 0);
}

void CmdSetScrollPos(TParStack& ps) {
  int32_t h, pos;
  if (!TwoInts(ps, h, pos) || !gPlatform) return;
  gPlatform->SetScrollPos(H(h), pos);
}

void CmdSetScrollRange(TParStack& ps) {
  int32_t h = EvalInt(ps, ',');
  if (gEval.failed) return;
  int32_t lo, hi;
  if (!TwoInts(ps, lo, hi) || !gPlatform) return;
  gPlatform->SetScrollRange(H(h), lo, hi);
}

void CmdSetDialogFont(TParStack& ps) {
  int32_t font = EvalInt(ps, ' ');
  if (gEval.failed) return;
  gControls.dialogFont = H(font);
}

void CmdSetFont(TParStack& ps) {
  int32_t h, font;
  if (!TwoInts(ps, h, font) || !gPlatform) return;
  gPlatform->Send(H(h), kWmSetFont, H(font), 1);
}

// SETSTYLE handle, [kind,] style.
void CmdSetStyle(TParStack& ps) {
  std::vector<TCmdArg> a;
  if (!ReadCommandArgs(ps, 3, a)) return;
  if (a.size() < 2) return RaiseError(212);
  const bool extended = a.size() == 3 && a[1].i == 1;
  if (gPlatform) gPlatform->SetLong(H(a[0].i), extended ? ctl::kGwlExStyle : ctl::kGwlStyle, a.back().i);
}

// SETWINDOWPOS handle = x, y - w, h [; after].
void CmdSetWindowPos(TParStack& ps) {
  static const char kSeps[] = {'=', ',', '-', ',', ';'};
  int32_t v[5];  // handle, x, y, w, h
  for (int i = 0; i < 5; ++i) {
    v[i] = EvalInt(ps, kSeps[i]);
    if (gEval.failed) return;
  }
  uint32_t after = 0;
  const bool withAfter = MoreArgs();
  if (withAfter) {
    after = H(EvalInt(ps, ' '));
    if (gEval.failed) return;
  }
  if (v[1] < 0 || v[2] < 0 || v[3] < 0 || v[4] < 0) return RaiseWarning(kNegativeSize);
  if (gPlatform) gPlatform->Place(H(v[0]), after, v[1], v[2], v[3], v[4], !withAfter);
}

void CmdDeleteObject(TParStack& ps) {
  int32_t h = EvalInt(ps, ' ');
  if (gEval.failed || h == 0) return;
  if (DrawingDevice* device = GetDrawingDevice()) device->Forget(H(h));
  if (gPlatform) gPlatform->DeleteObjectOrIcon(H(h));
}

// --- Functions ----------------------------------------------------------------------

void FnControl(TParStack& ps) {
  TWindowSpec spec;
  int32_t style, x, y, w, h, parent, id, instance, ex = 0;
  if (!StrArg(ps, false, spec.className) || !StrArg(ps, false, spec.text) || !IntArg(ps, false, style) ||
      !IntArg(ps, false, x) || !IntArg(ps, false, y) || !IntArg(ps, false, w) || !IntArg(ps, false, h) ||
      !IntArg(ps, false, parent) || !IntArg(ps, false, id))
    return SetEmpty(kind::kInt);
  const bool withEx = HasFurtherArg();
  if (!IntArg(ps, !withEx, instance) || (withEx && !IntArg(ps, true, ex))) return SetEmpty(kind::kInt);
  if (!gPlatform) return SetInt(0);
  spec.style = H(style);
  spec.exStyle = H(ex);
  spec.x = x;
  spec.y = y;
  spec.w = w;
  spec.h = h;
  spec.parent = H(parent);
  spec.id = id;
  spec.instance = H(instance);
  spec.useInstance = true;
  uint32_t font = gControls.dialogFont == 1 ? gPlatform->DrawingFont() : gControls.dialogFont;
  SetInt(static_cast<int32_t>(gPlatform->CreateWindowObject(spec, font)));
}

// GETTEXT$(handle [, row, column]).
void FnGetText(TParStack& ps) {
  int32_t h, row = 0, column = 0;
  const bool cell = HasFurtherArg();
  if (!IntArg(ps, !cell, h)) return SetEmpty(kind::kString);
  if (cell && (!IntArg(ps, false, row) || !IntArg(ps, true, column))) return SetEmpty(kind::kString);
  if (!gPlatform) return SetString("");
  if (cell && ClassifyWindowClass(gPlatform->ClassName(H(h))) == ListClass::ListView)
    return SetString(gPlatform->ListViewCell(H(h), row, column));
  SetString(gPlatform->WindowText(H(h)));
}

// One handle, one integer answer.
template <int32_t (*Op)(ControlPlatform&, uint32_t)>
void HandleFunction(TParStack& ps) {
  int32_t h;
  if (!IntArg(ps, true, h)) return SetEmpty(kind::kInt);
  SetInt(gPlatform ? Op(*gPlatform, H(h)) : 0);
}

int32_t OpGetCheck(ControlPlatform& p, uint32_t h) { return p.Send(h, ctl::kBmGetCheck, 0, 0); }
int32_t OpWidth(ControlPlatform& p, uint32_t h) {
  int32_t w = 0, hgt = 0;
  p.ClientSize(h, w, hgt);
  return w;
}
int32_t OpHeight(ControlPlatform& p, uint32_t h) {
  int32_t w = 0, hgt = 0;
  p.ClientSize(h, w, hgt);
  return hgt;
}
int32_t OpScrollPos(ControlPlatform& p, uint32_t h) { return p.ScrollPos(h); }
int32_t OpActiveTab(ControlPlatform& p, uint32_t h) { return p.Send(h, ctl::kTcmGetCurSel, 0, 0); }
int32_t OpClicked(ControlPlatform& p, uint32_t h) {
  const int32_t id = p.ControlId(h);
  return id != 0 && id == gEvents.clickedId ? 1 : 0;
}

void FnTabChanged(TParStack& ps) {
  int32_t h;
  if (!IntArg(ps, true, h)) return SetEmpty(kind::kInt);
  if (gEvents.notifyWindow != H(h) || gEvents.notifyCode != ctl::kTabSelChange) return SetInt(0);
  gEvents.notifyWindow = 0;
  gEvents.notifyCode = 0;
  SetInt(1);
}

void FnGetStyle(TParStack& ps) {
  int32_t h, which = 0;
  const bool withKind = HasFurtherArg();
  if (!IntArg(ps, !withKind, h) || (withKind && !IntArg(ps, true, which))) return SetEmpty(kind::kInt);
  if (!gPlatform) return SetInt(0);
  SetInt(gPlatform->GetLong(H(h), which == 1 ? ctl::kGwlExStyle : ctl::kGwlStyle));
}

void FnGetHandle(TParStack& ps) {
  int32_t parent, id;
  if (!IntArg(ps, false, parent) || !IntArg(ps, true, id)) return SetEmpty(kind::kInt);
  SetInt(gPlatform ? static_cast<int32_t>(gPlatform->DialogItem(H(parent), id)) : 0);
}

void FnInsertTab(TParStack& ps) {
  int32_t h, index;
  std::string text;
  if (!IntArg(ps, false, h) || !IntArg(ps, false, index) || !StrArg(ps, true, text)) return SetEmpty(kind::kInt);
  SetInt(gPlatform ? gPlatform->TabInsert(H(h), index, text.substr(0, kTabTextMax)) : -1);
}

// TOOLBAR("ADDBUTTON" | "ADDTEXTBUTTON" | "SEPARATOR", toolbar, ...).
void FnToolbar(TParStack& ps) {
  std::string op;
  if (!StrArg(ps, !HasFurtherArg(), op)) return SetEmpty(kind::kInt);
  op = Upper(Trim(op));
  int32_t tb, image = 0, id = 0;
  std::string tip, label;
  if (op == "SEPARATOR") {
    if (!IntArg(ps, true, tb)) return SetEmpty(kind::kInt);
    return SetInt(gPlatform ? gPlatform->ToolbarAddButton(H(tb), 0, 0, "", "", true) : 0);
  }
  const bool text = op == "ADDTEXTBUTTON";
  if (!text && op != "ADDBUTTON") {
    DelegateToSubproc(SubprocFamily::Toolbar, op, ps);
    return;
  }
  if (!IntArg(ps, false, tb) || !IntArg(ps, false, image) || !IntArg(ps, false, id) || !StrArg(ps, !text, tip) ||
      (text && !StrArg(ps, true, label)))
    return SetEmpty(kind::kInt);
  SetInt(gPlatform ? gPlatform->ToolbarAddButton(H(tb), image, id, tip, label, false) : 0);
}

// RTF("LOADTEXT" | "LOADRTF" | "SAVETEXT" | "SAVERTF", richedit, file$).
void FnRtf(TParStack& ps) {
  struct Op {
    const char* name;
    bool load, rtf;
  };
  static const Op kOps[] = {
      {"LOADTEXT", true, false}, {"LOADRTF", true, true}, {"SAVETEXT", false, false}, {"SAVERTF", false, true}};
  std::string name;
  if (!StrArg(ps, !HasFurtherArg(), name)) return SetEmpty(kind::kInt);
  name = Upper(Trim(name));
  const Op* op = nullptr;
  for (const Op& o : kOps)
    if (name == o.name) op = &o;
  if (!op) {
    DelegateToSubproc(SubprocFamily::Rtf, name, ps);
    return;
  }
  int32_t h;
  std::string file;
  if (!IntArg(ps, false, h) || !StrArg(ps, true, file)) return SetEmpty(kind::kInt);
  SetInt(0);
  if (gPlatform) {
    if (!gPlatform->IsWindow(H(h))) {
      RaiseError(kNotAWindow);
    } else if (!gPlatform->RichEditStream(H(h), file, op->load, op->rtf)) {
      RaiseError(op->load ? kCannotRead : kCannotWrite, file);
    } else {
      SetInt(1);
    }
  }
  if (gErr.Level != -2) host().PumpMessages();
}

}  // namespace

ListClass ClassifyWindowClass(const std::string& className) {
  static const struct {
    const char* name;
    ListClass cls;
  } kClasses[] = {{"LISTBOX", ListClass::ListBox},
                  {"COMBOBOX", ListClass::ComboBox},
                  {"SYSLISTVIEW32", ListClass::ListView},
                  {"EDIT", ListClass::Edit}};
  const std::string upper = Upper(className);
  for (const auto& c : kClasses)
    if (upper == c.name) return c.cls;
  return ListClass::Other;
}

void SetControlPlatform(ControlPlatform* platform) { gPlatform = platform; }
ControlPlatform* GetControlPlatform() { return gPlatform; }

void ResetControls() {
  gControls = TControlState{};
  ResetCreatedPicture();
}

void RegisterControlCommands() {
#define KORV_UNIT_controls 1
#include "base/bind_unit.h"
#undef KORV_UNIT_controls
  RegisterListControlCommands();
}

}  // namespace korv
