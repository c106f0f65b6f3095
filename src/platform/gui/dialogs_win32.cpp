// The Windows side of the built-in dialogs: the templates among the
// program's resources, their dialog procedures, the common file dialogs and
// the folder browser.
#include "gui/dialogs_win32.h"

#include <windows.h>
#include <commdlg.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/win32_host.h"
#include "gui/dialogs.h"
#include "gui/window_win32.h"

namespace korv {

namespace {

// Control ids of the templates.
constexpr int kPromptId = 100, kEditId = 101, kListId = 101;
constexpr int kCopyId = 102, kCutId = 103, kPasteId = 104;
// Pixels per character of the list boxes' horizontal extent.
constexpr int kExtentPerChar = 9;
constexpr DWORD kOpenFlags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
constexpr DWORD kSaveFlags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY;

// What a dialog procedure reads and fills; passed as the creation
// parameter and kept in DWLP_USER.
struct Exchange {
  const std::string* caption = nullptr;
  const std::string* prompt = nullptr;
  const std::string* text = nullptr;
  const std::vector<std::string>* items = nullptr;
  std::string result;
  int32_t index = -1;
};

Exchange* ExchangeOf(HWND dlg) { return reinterpret_cast<Exchange*>(GetWindowLongPtrA(dlg, DWLP_USER)); }

Exchange* Attach(HWND dlg, LPARAM l) {
  SetWindowLongPtrA(dlg, DWLP_USER, l);
  Exchange* ex = reinterpret_cast<Exchange*>(l);
  if (ex->caption) SetWindowTextA(dlg, ex->caption->c_str());
  return ex;
}

// The whole text of a window, without a cap.
std::string WindowText(HWND h) {
  const int n = GetWindowTextLengthA(h);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(h, s.data(), n + 1);
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return s;
}

void EnableOkByText(HWND dlg) {
  EnableWindow(GetDlgItem(dlg, IDOK), GetWindowTextLengthA(GetDlgItem(dlg, kEditId)) > 0);
}

// OK and Cancel of the dialogs that return their edit's text. Enter reaches
// the default button even when it is disabled, so a disabled OK is ignored.
void EndTextDialog(HWND dlg, WORD id) {
  if (id == IDOK) {
    if (!IsWindowEnabled(GetDlgItem(dlg, IDOK))) return;
    ExchangeOf(dlg)->result = WindowText(GetDlgItem(dlg, kEditId));
  }
  EndDialog(dlg, id);
}

INT_PTR CALLBACK InputProc(HWND dlg, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_INITDIALOG: {
      Exchange* ex = Attach(dlg, l);
      SetDlgItemTextA(dlg, kPromptId, ex->prompt->c_str());
      HWND edit = GetDlgItem(dlg, kEditId);
      SendMessageA(edit, EM_LIMITTEXT, kInputMax, 0);
      SetWindowTextA(edit, ex->text->c_str());
      SendMessageA(edit, EM_SETSEL, 0, -1);
      EnableOkByText(dlg);
      SetFocus(edit);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case kEditId:
          if (HIWORD(w) == EN_CHANGE) EnableOkByText(dlg);
          return TRUE;
        case IDOK:
        case IDCANCEL:
          EndTextDialog(dlg, LOWORD(w));
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

void UpdateEditButtons(HWND dlg) {
  DWORD start = 0, end = 0;
  SendMessageA(GetDlgItem(dlg, kEditId), EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  const BOOL selection = start != end;
  EnableWindow(GetDlgItem(dlg, kCopyId), selection);
  EnableWindow(GetDlgItem(dlg, kCutId), selection);
}

INT_PTR CALLBACK EditBoxProc(HWND dlg, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_INITDIALOG: {
      Exchange* ex = Attach(dlg, l);
      HWND edit = GetDlgItem(dlg, kEditId);
      // No limit below the list's own: the text is never shown cut short.
      SendMessageA(edit, EM_SETLIMITTEXT, 0, 0);
      SetWindowTextA(edit, ex->text->c_str());
      // The caret at the start, nothing selected: a key typed first must
      // not replace the whole list.
      SetFocus(edit);
      SendMessageA(edit, EM_SETSEL, 0, 0);
      EnableOkByText(dlg);
      UpdateEditButtons(dlg);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      HWND edit = GetDlgItem(dlg, kEditId);
      switch (LOWORD(w)) {
        case kEditId:
          if (HIWORD(w) == EN_CHANGE) EnableOkByText(dlg);
          UpdateEditButtons(dlg);
          return TRUE;
        case kCopyId: SendMessageA(edit, WM_COPY, 0, 0); UpdateEditButtons(dlg); return TRUE;
        case kCutId: SendMessageA(edit, WM_CUT, 0, 0); UpdateEditButtons(dlg); return TRUE;
        case kPasteId: SendMessageA(edit, WM_PASTE, 0, 0); UpdateEditButtons(dlg); return TRUE;
        case IDOK:
        case IDCANCEL:
          EndTextDialog(dlg, LOWORD(w));
          return TRUE;
      }
      return FALSE;
    }
  }
  return FALSE;
}

// Index and text of the list's selection.
void RecordSelection(HWND dlg) {
  Exchange* ex = ExchangeOf(dlg);
  HWND list = GetDlgItem(dlg, kListId);
  const LRESULT i = SendMessageA(list, LB_GETCURSEL, 0, 0);
  ex->index = i == LB_ERR ? -1 : static_cast<int32_t>(i);
  ex->result.clear();
  if (i == LB_ERR) return;
  const LRESULT n = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
  if (n == LB_ERR || n < 0) return;
  std::string s(static_cast<size_t>(n) + 1, '\0');
  const LRESULT got = SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(s.data()));
  s.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
  ex->result = s;
}

INT_PTR CALLBACK ListBoxProc(HWND dlg, UINT m, WPARAM w, LPARAM l) {
  switch (m) {
    case WM_INITDIALOG: {
      Exchange* ex = Attach(dlg, l);
      HWND list = GetDlgItem(dlg, kListId);
      size_t longest = 0;
      for (const std::string& s : *ex->items) {
        SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s.c_str()));
        longest = std::max(longest, s.size());
      }
      const size_t extent = std::min<size_t>(longest * kExtentPerChar, 0x7FFF);
      SendMessageA(list, LB_SETHORIZONTALEXTENT, extent, 0);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(w)) {
        case kListId:
          if (HIWORD(w) == LBN_SELCHANGE) RecordSelection(dlg);
          if (HIWORD(w) == LBN_DBLCLK) {
            RecordSelection(dlg);
            EndDialog(dlg, IDOK);
          }
          return TRUE;
        case IDOK:
          RecordSelection(dlg);
          EndDialog(dlg, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

bool RunDialog(const std::string& templ, DLGPROC proc, Exchange& ex) {
  EnsureMainWindowWin32();
  EnsureCommonControls();
  const INT_PTR r = DialogBoxParamA(GetModuleHandleA(nullptr), templ.c_str(), MainHwnd(), proc,
                                    reinterpret_cast<LPARAM>(&ex));
  return r == IDOK;
}

std::string CurrentDirectory() {
  char dir[MAX_PATH] = {0};
  const DWORD n = GetCurrentDirectoryA(MAX_PATH, dir);
  return n > 0 && n < MAX_PATH ? std::string(dir, n) : std::string();
}

bool FileDialog(const TFileRequest& request, DWORD flags, bool save, std::string& path) {
  char file[kFileBufferSize] = {0};
  request.fileName.copy(file, kFileNameMax);
  const std::string dir = CurrentDirectory();
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = MainHwnd();
  ofn.lpstrFilter = request.filter.empty() ? nullptr : request.filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = kFileBufferSize;
  ofn.lpstrInitialDir = dir.empty() ? nullptr : dir.c_str();
  ofn.lpstrTitle = request.title.c_str();
  ofn.Flags = flags;
  const BOOL ok = save ? GetSaveFileNameA(&ofn) : GetOpenFileNameA(&ofn);
  if (!ok) return false;
  path = file;
  return true;
}

int CALLBACK BrowseStart(HWND h, UINT m, LPARAM, LPARAM data) {
  if (m == BFFM_INITIALIZED) SendMessageA(h, BFFM_SETSELECTIONA, TRUE, data);
  return 0;
}

class Win32DialogPlatform : public DialogPlatform {
 public:
  bool Unattended() override { return host().ConsoleMode(); }
  bool InputBox(const std::string& prompt, const std::string& caption, const std::string& text,
                std::string& out) override {
    Exchange ex;
    ex.caption = &caption;
    ex.prompt = &prompt;
    ex.text = &text;
    if (!RunDialog("INPUT", InputProc, ex)) return false;
    out = ex.result;
    return true;
  }
  bool EditBox(const std::string& templ, const std::string& caption, const std::string& text,
               std::string& out) override {
    Exchange ex;
    ex.caption = &caption;
    ex.text = &text;
    if (!RunDialog(templ, EditBoxProc, ex)) return false;
    out = ex.result;
    return true;
  }
  bool ListBox(const std::string& templ, const std::string& caption, const std::vector<std::string>& items,
               int32_t& index, std::string& selected) override {
    Exchange ex;
    ex.caption = &caption;
    ex.items = &items;
    const bool ok = RunDialog(templ, ListBoxProc, ex);
    index = ex.index;
    selected = ex.result;
    return ok;
  }
  bool OpenFile(const TFileRequest& request, std::string& path) override {
    EnsureMainWindowWin32();
    return FileDialog(request, kOpenFlags, false, path);
  }
  bool SaveFile(const TFileRequest& request, std::string& path) override {
    EnsureMainWindowWin32();
    return FileDialog(request, kSaveFlags, true, path);
  }
  bool ChooseFolder(const std::string& title, std::string& path) override {
    EnsureMainWindowWin32();
    // The folder browser needs COM on this thread; once is enough.
    static const bool comReady = SUCCEEDED(CoInitialize(nullptr));
    (void)comReady;
    const std::string start = CurrentDirectory();
    char name[MAX_PATH] = {0};
    BROWSEINFOA bi{};
    bi.hwndOwner = MainHwnd();
    bi.pszDisplayName = name;
    bi.lpszTitle = title.c_str();
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = BrowseStart;
    bi.lParam = reinterpret_cast<LPARAM>(start.c_str());
    LPITEMIDLIST pidl = SHBrowseForFolderA(&bi);
    if (!pidl) return false;
    char chosen[MAX_PATH] = {0};
    const BOOL ok = SHGetPathFromIDListA(pidl, chosen);
    CoTaskMemFree(pidl);
    if (!ok || chosen[0] == 0) return false;
    SetCurrentDirectoryA(chosen);
    path = chosen;
    return true;
  }
  int32_t ControlId(uint32_t window) override {
    return GetDlgCtrlID(reinterpret_cast<HWND>(static_cast<uintptr_t>(window)));
  }
};

Win32DialogPlatform gPlatformImpl;

}  // namespace

void InstallWin32Dialogs() { SetDialogPlatform(&gPlatformImpl); }

}  // namespace korv
