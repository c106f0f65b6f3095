#include "gui/list_controls.h"

#include "base/errors.h"
#include "base/names.h"
#include "base/text.h"
#include "gui/controls.h"
#include "gui/create_objects.h"
#include "values/evaluator.h"
#include "values/functions_support.h"
#include "values/set_get.h"
#include "values/string_list.h"

namespace korv {

namespace {

using namespace fn;

constexpr int32_t kNotApplicable = 280, kNoSuchEntry = 233, kBadValue = 200;
constexpr uint32_t kLbsMultipleSel = 0x8;
constexpr uint32_t kAllStates = 15;

uint32_t H(int32_t v) { return static_cast<uint32_t>(v); }

// The list class of a handle; 280 (and Other) for any other window.
ListClass ListOf(ControlPlatform& p, uint32_t h, bool editToo = false) {
  ListClass cls = ClassifyWindowClass(p.ClassName(h));
  if (cls == ListClass::Other || (cls == ListClass::Edit && !editToo)) {
    RaiseError(kNotApplicable);
    return ListClass::Other;
  }
  return cls;
}

// The message of a list box or combo box for one operation.
struct TPair {
  uint32_t listBox, comboBox;
};
uint32_t Pick(ListClass cls, TPair m) { return cls == ListClass::ListBox ? m.listBox : m.comboBox; }

// Appends or inserts one entry; the new index (or a negative answer).
int32_t InsertEntry(ControlPlatform& p, uint32_t h, ListClass cls, int32_t index, bool append,
                    const std::string& text) {
  if (cls == ListClass::ListView)
    return p.ListViewInsert(h, append ? -1 : index, SplitCells(text, gSwitches.ListDel));
  if (append) return p.SendText(h, Pick(cls, {ctl::kLbAddString, ctl::kCbAddString}), 0, text);
  return p.SendText(h, Pick(cls, {ctl::kLbInsertString, ctl::kCbInsertString}), H(index), text);
}

int32_t EntryCount(ControlPlatform& p, uint32_t h, ListClass cls) {
  if (cls == ListClass::ListView) return p.Send(h, ctl::kLvmGetItemCount, 0, 0);
  return p.Send(h, Pick(cls, {ctl::kLbGetCount, ctl::kCbGetCount}), 0, 0);
}

// A list-view row: its cells joined with the list delimiter.
std::string RowText(ControlPlatform& p, uint32_t h, int32_t row) {
  int32_t columns = p.ListViewColumns(h);
  if (columns < 1) columns = 1;
  std::string text;
  for (int32_t c = 0; c < columns; ++c) {
    if (c) text += gSwitches.ListDel;
    text += p.ListViewCell(h, row, c);
  }
  return text;
}

// --- List functions ----------------------------------------------------------------

// Reads the handle (and says whether it is the last argument); false when
// the call ends here with an empty result of resultKind.
bool HandleArg(TParStack& ps, bool last, uint32_t& h, uint8_t resultKind) {
  int32_t v;
  if (!IntArg(ps, last, v)) {
    SetEmpty(resultKind);
    return false;
  }
  h = H(v);
  return true;
}

void FnAddString(TParStack& ps) {
  uint32_t h;
  std::string text;
  if (!HandleArg(ps, false, h, kind::kInt) || !StrArg(ps, true, text)) return SetEmpty(kind::kInt);
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(-1);
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  SetInt(InsertEntry(*p, h, cls, -1, true, text));
}

void FnInsertString(TParStack& ps) {
  uint32_t h;
  int32_t index;
  std::string text;
  if (!HandleArg(ps, false, h, kind::kInt) || !IntArg(ps, false, index) || !StrArg(ps, true, text))
    return SetEmpty(kind::kInt);
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(-1);
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  SetInt(InsertEntry(*p, h, cls, index, cls == ListClass::ListView && index == -1, text));
}

void FnDeleteString(TParStack& ps) {
  uint32_t h;
  int32_t index;
  if (!HandleArg(ps, false, h, kind::kInt) || !IntArg(ps, true, index)) return SetEmpty(kind::kInt);
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(-1);
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  if (cls == ListClass::ListView) return SetInt(p->Send(h, ctl::kLvmDeleteItem, H(index), 0));
  SetInt(p->Send(h, Pick(cls, {ctl::kLbDeleteString, ctl::kCbDeleteString}), H(index), 0));
}

void FnGetCount(TParStack& ps) {
  uint32_t h;
  if (!HandleArg(ps, true, h, kind::kInt)) return;
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(0);
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  SetInt(EntryCount(*p, h, cls));
}

void FnGetCurSel(TParStack& ps) {
  uint32_t h;
  if (!HandleArg(ps, true, h, kind::kInt)) return;
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(-1);
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  if (cls != ListClass::ListView) return SetInt(p->Send(h, Pick(cls, {ctl::kLbGetCurSel, ctl::kCbGetCurSel}), 0, 0));
  const int32_t focused = p->Send(h, ctl::kLvmGetNextItem, 0xFFFFFFFFu, ctl::kLvniFocused);
  const bool selected =
      focused >= 0 && (p->Send(h, ctl::kLvmGetItemState, H(focused), ctl::kLvisSelected) & ctl::kLvisSelected);
  SetInt(selected ? focused : -1);
}

void FnGetSelCount(TParStack& ps) {
  uint32_t h;
  if (!HandleArg(ps, true, h, kind::kInt)) return;
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(0);
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  if (cls == ListClass::ComboBox) return Fail(kNotApplicable, kind::kInt);
  SetInt(p->Send(h, cls == ListClass::ListBox ? ctl::kLbGetSelCount : ctl::kLvmGetSelectedCount, 0, 0));
}

void FnGetState(TParStack& ps) {
  uint32_t h;
  int32_t index;
  if (!HandleArg(ps, false, h, kind::kInt) || !IntArg(ps, true, index)) return SetEmpty(kind::kInt);
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(0);
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  if (cls == ListClass::ComboBox) return Fail(kNotApplicable, kind::kInt);
  if (cls == ListClass::ListBox) return SetInt(p->Send(h, ctl::kLbGetSel, H(index), 0));
  SetInt(p->Send(h, ctl::kLvmGetItemState, H(index), kAllStates));
}

void FnGetString(TParStack& ps) {
  uint32_t h;
  int32_t index;
  if (!HandleArg(ps, false, h, kind::kString) || !IntArg(ps, true, index)) return SetEmpty(kind::kString);
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetString("");
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kString);
  if (cls == ListClass::ListView) {
    if (index < 0) return Fail(kBadValue, kind::kString);
    return SetString(RowText(*p, h, index));
  }
  std::string text;
  p->ListText(h, cls, index, text);
  SetString(std::move(text));
}

void FnSelectString(TParStack& ps) {
  uint32_t h;
  int32_t start;
  std::string text;
  if (!HandleArg(ps, false, h, kind::kInt) || !IntArg(ps, false, start) || !StrArg(ps, true, text))
    return SetEmpty(kind::kInt);
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(-1);
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  if (cls == ListClass::ComboBox) return SetInt(p->SendText(h, ctl::kCbSelectString, H(start), text));
  if (cls == ListClass::ListView) {
    const int32_t row = p->ListViewFind(h, start, text);
    if (row >= 0) p->ListViewSelect(h, row);
    return SetInt(row);
  }
  if (!(H(p->GetLong(h, ctl::kGwlStyle)) & kLbsMultipleSel))
    return SetInt(p->SendText(h, ctl::kLbSelectString, H(start), text));
  const int32_t found = p->SendText(h, ctl::kLbFindString, H(start), text);
  if (found >= 0) p->Send(h, ctl::kLbSetSel, 1, found);
  SetInt(found);
}

void FnGetLineCount(TParStack& ps) {
  uint32_t h;
  if (!HandleArg(ps, true, h, kind::kInt)) return;
  ControlPlatform* p = GetControlPlatform();
  SetInt(p ? p->Send(h, ctl::kEmGetLineCount, 0, 0) : 0);
}

void FnGetLine(TParStack& ps) {
  uint32_t h;
  int32_t line;
  if (!HandleArg(ps, false, h, kind::kString) || !IntArg(ps, true, line)) return SetEmpty(kind::kString);
  ControlPlatform* p = GetControlPlatform();
  SetString(p ? p->EditLine(h, line) : std::string());
}

// MOVELISTTOHANDLE (and its interpreter names): the string list into an
// edit (one text, CR LF between) or appended to a list control.
void FnMoveListToHandle(TParStack& ps) {
  uint32_t h;
  if (!HandleArg(ps, true, h, kind::kInt)) return;
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(0);
  ListClass cls = ListOf(*p, h, true);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  const std::vector<std::string>& list = StringList();
  if (cls == ListClass::Edit) {
    std::string text;
    for (size_t i = 0; i < list.size(); ++i) {
      if (i) text += "\r\n";
      if (text.size() + list[i].size() > kMaxBuiltString) return Fail(kBadValue, kind::kInt);
      text += list[i];
    }
    p->SetText(h, text);
    return SetInt(static_cast<int32_t>(list.size()));
  }
  for (const std::string& entry : list) InsertEntry(*p, h, cls, -1, true, entry);
  SetInt(static_cast<int32_t>(list.size()));
}

// MOVEHANDLETOLIST: the lines of an edit or the entries of a list control
// appended to the string list.
void FnMoveHandleToList(TParStack& ps) {
  uint32_t h;
  if (!HandleArg(ps, true, h, kind::kInt)) return;
  ControlPlatform* p = GetControlPlatform();
  if (!p) return SetInt(0);
  ListClass cls = ListOf(*p, h, true);
  if (cls == ListClass::Other) return SetEmpty(kind::kInt);
  const int32_t count =
      cls == ListClass::Edit ? p->Send(h, ctl::kEmGetLineCount, 0, 0) : EntryCount(*p, h, cls);
  int32_t added = 0;
  for (int32_t i = 0; i < count; ++i) {
    std::string text;
    if (cls == ListClass::Edit) {
      text = p->EditLine(h, i);
    } else if (cls == ListClass::ListView) {
      text = RowText(*p, h, i);
    } else {
      p->ListText(h, cls, i, text);
    }
    if (!AddToStringList(text)) break;
    ++added;
  }
  SetInt(added);
}

// LISTBOXITEM$(n): entry n of the string list.
void FnListBoxItem(TParStack& ps) {
  int32_t n;
  if (!IntArg(ps, true, n)) return SetEmpty(kind::kString);
  const std::vector<std::string>& list = StringList();
  if (n < 0 || static_cast<size_t>(n) >= list.size()) return Fail(kNoSuchEntry, kind::kString);
  SetString(list[static_cast<size_t>(n)]);
}

// --- String-list commands --------------------------------------------------------

bool ArgsFollow() {
  size_t p = gEval.pos;
  while (p < gEval.text.size() && IsBlankChar(gEval.text[p])) ++p;
  return p < gEval.text.size();
}

// CLEARLIST [handle].
void CmdClearList(TParStack& ps) {
  if (!ArgsFollow()) return ClearStringList();
  const uint32_t h = H(EvalInt(ps, ' '));
  if (gEval.failed) return;
  ControlPlatform* p = GetControlPlatform();
  if (!p) return;
  ListClass cls = ListOf(*p, h);
  if (cls == ListClass::Other) return;
  if (cls == ListClass::ListView) {
    p->Send(h, ctl::kLvmDeleteAllItems, 0, 0);
  } else {
    p->Send(h, Pick(cls, {ctl::kLbResetContent, ctl::kCbResetContent}), 0, 0);
  }
}

void CmdAddString(TParStack& ps) {
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  AddToStringList(text);
}

// LISTBOXITEM$ n = text$.
void CmdListBoxItem(TParStack& ps) {
  const int32_t n = EvalInt(ps, '=');
  if (gEval.failed) return;
  std::string text = EvalString(ps, ' ');
  if (gEval.failed) return;
  std::vector<std::string>& list = StringList();
  if (n < 0 || static_cast<size_t>(n) >= list.size()) return RaiseError(kNoSuchEntry);
  list[static_cast<size_t>(n)] = std::move(text);
}

void AppendAll(const std::vector<std::string>& entries) {
  for (const std::string& e : entries)
    if (!AddToStringList(e)) return;
}

void CmdAddFiles(TParStack& ps) {
  std::string mask = EvalString(ps, ' ');
  if (gEval.failed) return;
  ControlPlatform* p = GetControlPlatform();
  if (!p) return;
  // "*" in front of a path or of another "*" asks for a search through the
  // subdirectories; a plain "*.txt" stays a mask of the directory.
  const bool recursive = mask.size() > 1 && mask[0] == '*' &&
                         (mask[1] == '*' || mask.find('\\') != std::string::npos);
  std::vector<std::string> found;
  p->FindFiles(recursive ? mask.substr(1) : mask, recursive, found);
  AppendAll(found);
}

void CmdAddWindows(TParStack& ps) {
  std::string prefix = EvalString(ps, ' ');
  if (gEval.failed) return;
  ControlPlatform* p = GetControlPlatform();
  if (!p) return;
  std::vector<std::string> titles, matching;
  p->TopLevelTitles(titles);
  const std::string upperPrefix = Upper(prefix);
  for (const std::string& t : titles)
    if (Upper(t.substr(0, upperPrefix.size())) == upperPrefix) matching.push_back(t);
  AppendAll(matching);
}

void CmdAddFonts(TParStack&) {
  ControlPlatform* p = GetControlPlatform();
  if (!p) return;
  std::vector<std::string> faces;
  p->FontFamilies(faces);
  AppendAll(faces);
}

void IntOut(TEvalResult& r, int32_t v) {
  r.IntValue = v;
  r.FloatValue = v;
  r.StrValue = IntToText(v);
  r.ResultKind = kind::kInt;
}
void SvGetCount(TEvalResult& r) { IntOut(r, static_cast<int32_t>(StringList().size())); }
void SvGetCurSel(TEvalResult& r) { IntOut(r, gControls.listSelection); }

}  // namespace

void RegisterListControlCommands() {
#define KORV_UNIT_list_controls 1
#include "base/bind_unit.h"
#undef KORV_UNIT_list_controls
}

}  // namespace korv
