#include "gui/dialogs.h"

#include "base/errors.h"
#include "base/host.h"
#include "base/names.h"
#include "base/text.h"
#include "gui/controls.h"
#include "gui/window.h"
#include "values/evaluator.h"
#include "values/functions_registry.h"
#include "values/functions_support.h"
#include "values/string_list.h"

namespace korv {

TDialogState gDialogs;

namespace {

using namespace fn;

DialogPlatform* gPlatform = nullptr;

constexpr int32_t kButtonOk = 1, kButtonCancel = 2;
constexpr int32_t kErrTooMany = 232;
constexpr int32_t kCourierEditStyle = 2;
constexpr int32_t kListTemplates = 8, kDefaultListTemplate = 7;
const char kAllFiles[] = "*.*";

void EnsureOwner() {
  if (WindowPlatform* w = GetWindowPlatform()) w->EnsureMainWindow();
}

bool Unattended() { return !gPlatform || gPlatform->Unattended(); }

void SetButton(bool ok) { gBuiltins.Button = ok ? kButtonOk : kButtonCancel; }

// Description and pattern fields, each ended by a NUL, with a final NUL.
std::string FilterPairs(std::vector<std::string> fields) {
  if (!fields.empty() && fields.back().empty()) fields.pop_back();
  if (fields.size() % 2 != 0) fields.push_back(kAllFiles);
  std::string out;
  for (const std::string& f : fields) {
    out += f;
    out.push_back('\0');
  }
  if (!out.empty()) out.push_back('\0');
  return out;
}

std::vector<std::string> SplitAt(const std::string& s, char sep) {
  std::vector<std::string> parts(1);
  for (char c : s) {
    if (c == sep) {
      parts.emplace_back();
    } else {
      parts.back().push_back(c);
    }
  }
  return parts;
}

std::string ClampName(const std::string& name) {
  return name.size() > kFileNameMax ? name.substr(0, kFileNameMax) : name;
}

// --- Functions ---------------------------------------------------------------

void FnInput(TParStack& ps) {
  std::string prompt, caption, text;
  if (!StrArg(ps, false, prompt) || !StrArg(ps, false, caption) || !StrArg(ps, true, text))
    return SetEmpty(kind::kString);
  EnsureOwner();
  if (text.size() > kInputMax) text.resize(kInputMax);
  std::string answer;
  bool ok;
  if (Unattended()) {
    // A line of standard input is what the user types; without one the
    // proposal stands. OK cannot be pressed while the edit is empty.
    std::string line;
    answer = host().ReadConsoleLine(line) ? line.substr(0, kInputMax) : text;
    ok = !answer.empty();
  } else {
    ok = gPlatform->InputBox(prompt, caption, text, answer);
  }
  SetButton(ok);
  SetString(ok ? Trim(answer) : std::string());
}

void FnEditBox(TParStack& ps) {
  std::string caption;
  int32_t style;
  if (!StrArg(ps, false, caption) || !IntArg(ps, true, style)) return SetEmpty(kind::kInt);
  EnsureOwner();
  const std::string text = JoinListLines(StringList());
  if (Unattended()) {
    // OK is the default button, enabled only while the edit holds text; the
    // list stays as it is.
    const bool ok = !text.empty();
    SetButton(ok);
    return SetInt(ok ? 1 : 0);
  }
  std::string edited;
  const bool ok = gPlatform->EditBox(EditBoxTemplate(style), caption, text, edited);
  SetButton(ok);
  if (!ok) return SetInt(0);
  std::vector<std::string> lines = SplitEditLines(edited);
  if (lines.size() > static_cast<size_t>(kStringListLast) + 1) {
    // The list keeps its entries rather than a part of the edit's lines.
    return Fail(kErrTooMany, kind::kInt);
  }
  StringList() = std::move(lines);
  SetInt(1);
}

void FnListBox(TParStack& ps) {
  std::string caption;
  int32_t style;
  if (!StrArg(ps, false, caption) || !IntArg(ps, true, style)) return SetEmpty(kind::kString);
  EnsureOwner();
  int32_t index = -1;
  std::string selected;
  bool ok = true;  // console mode: OK, nothing selected
  if (!Unattended()) ok = gPlatform->ListBox(ListBoxTemplate(style), caption, StringList(), index, selected);
  gDialogs.listSelection = index;
  gControls.listSelection = index;  // read back as %GETCURSEL
  gDialogs.listText = selected;
  SetButton(ok);
  SetString(ok ? Trim(selected) : std::string());
}

template <TFileRequest (*MakeRequest)(const std::string&, const std::string&),
          bool (DialogPlatform::*Show)(const TFileRequest&, std::string&)>
void FnFileDialog(TParStack& ps) {
  std::string title, filterOrName;
  if (!StrArg(ps, false, title) || !StrArg(ps, true, filterOrName)) return SetEmpty(kind::kString);
  EnsureOwner();
  std::string path;
  // Console mode: the file dialogs count as cancelled.
  const bool ok = !Unattended() && (gPlatform->*Show)(MakeRequest(title, filterOrName), path);
  SetButton(ok);
  SetString(ok ? Trim(path) : std::string());
}

void FnChooseDir(TParStack& ps) {
  std::string title;
  if (!StrArg(ps, true, title)) return SetEmpty(kind::kString);
  EnsureOwner();
  std::string path;
  const bool ok = !Unattended() && gPlatform->ChooseFolder(title, path);
  SetButton(ok);
  if (!ok) return SetString(std::string());
  if (path.empty() || path.back() != '\\') path.push_back('\\');
  SetString(path);
}

void FnItemId(TParStack& ps) {
  int32_t handle;
  if (!IntArg(ps, true, handle)) return SetEmpty(kind::kInt);
  SetInt(gPlatform ? gPlatform->ControlId(static_cast<uint32_t>(handle)) : 0);
}

void SvItemId(TEvalResult& r) {
  r.IntValue = gEvents.clickedId;
  r.FloatValue = gEvents.clickedId;
  r.StrValue = IntToText(gEvents.clickedId);
  r.ResultKind = kind::kInt;
}

constexpr auto FnLoadFile = FnFileDialog<OpenFileRequest, &DialogPlatform::OpenFile>;
constexpr auto FnSaveFile = FnFileDialog<SaveFileRequest, &DialogPlatform::SaveFile>;

}  // namespace

std::string EditBoxTemplate(int32_t style) {
  return style == kCourierEditStyle ? "EDITBOX2" : "EDITBOX1";
}

std::string ListBoxTemplate(int32_t style) {
  const int32_t n = (style >= 1 && style <= kListTemplates) ? style : kDefaultListTemplate;
  return "LISTBOX" + std::to_string(n);
}

TFileRequest OpenFileRequest(const std::string& title, const std::string& filterOrName) {
  TFileRequest r;
  r.title = title;
  if (filterOrName.find('|') != std::string::npos) {
    r.filter = FilterPairs(SplitAt(filterOrName, '|'));
  } else {
    r.fileName = ClampName(filterOrName);
  }
  return r;
}

TFileRequest SaveFileRequest(const std::string& title, const std::string& filterOrName) {
  if (filterOrName.find('|') != std::string::npos) return OpenFileRequest(title, filterOrName);
  TFileRequest r;
  r.title = title;
  r.fileName = ClampName(filterOrName);
  const size_t base = filterOrName.find_last_of("\\/:");
  const size_t dot = filterOrName.rfind('.');
  const bool hasExt = dot != std::string::npos && (base == std::string::npos || dot > base);
  const std::string pattern = hasExt ? "*" + filterOrName.substr(dot) : "*.";
  r.filter = FilterPairs({pattern, pattern});
  return r;
}

std::string JoinListLines(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return out;
}

std::vector<std::string> SplitEditLines(const std::string& text) {
  std::vector<std::string> lines;
  if (text.empty()) return lines;
  lines.emplace_back();
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  return lines;
}

void SetDialogPlatform(DialogPlatform* platform) { gPlatform = platform; }

void ResetDialogState() { gDialogs = TDialogState(); }

void RegisterDialogFunctions() {
#define KORV_UNIT_dialogs 1
#include "base/bind_unit.h"
#undef KORV_UNIT_dialogs
}

}  // namespace korv
