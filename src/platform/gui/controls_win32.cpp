// The controls on Windows: plain CreateWindowEx calls, the common controls
// and the structures their messages take. Texts are read with buffers sized
// from the control; nothing here keeps a window table.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>
#include <shellapi.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "base/host.h"
#include "base/keep_last_error.h"
#include "base/win32_host.h"
#include "gui/controls.h"
#include "gui/controls_win32.h"
#include "gui/window.h"
#include "gui/window_win32.h"

namespace korv {

namespace {

HWND W(uint32_t v) { return reinterpret_cast<HWND>(static_cast<uintptr_t>(v)); }
template <typename T>
uint32_t H32(T h) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(h));
}
HINSTANCE ProgramInstance() { return GetModuleHandleA(nullptr); }

constexpr int kDialogWidth = 210, kDialogHeight = 117;
constexpr int kSmallImage = 16, kLargeImage = 24;
constexpr size_t kFirstCellBuffer = 256;
constexpr int32_t kMaxColumns = 1000;
constexpr UINT kTipWidth = 0x7FFF, kTipDelay = 250, kTipAutoPop = 32767;
constexpr BYTE kButtonStyle = 4;

// The empty modeless dialog "Untitled Dialog", 210 x 117 dialog units: from
// the program's resources, else built in memory with the same layout.
HWND EmptyDialog(HWND parent) {
  EnsureCommonControls();
  HWND h = CreateDialogParamA(ProgramInstance(), "LDIALOG", parent, ResourceDialogProc, 0);
  if (h) return h;
  struct alignas(4) Template {
    DLGTEMPLATE head;
    WORD menu, cls;
    WCHAR title[16];
  } t{};
  t.head.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  t.head.cx = kDialogWidth;
  t.head.cy = kDialogHeight;
  const wchar_t* title = L"Untitled Dialog";
  for (int i = 0; title[i]; ++i) t.title[i] = title[i];
  return CreateDialogIndirectParamA(ProgramInstance(), &t.head, parent, ResourceDialogProc, 0);
}

// Reads a text whose length the control tells first.
template <typename LengthFn, typename ReadFn>
std::string SizedRead(LengthFn length, ReadFn read) {
  const LRESULT n = length();
  if (n <= 0) return std::string();
  std::string buf(static_cast<size_t>(n) + 1, '\0');
  const LRESULT got = read(buf.data(), buf.size());
  buf.resize(got <= 0 ? 0 : got < n ? static_cast<size_t>(got) : static_cast<size_t>(n));
  return buf;
}

DWORD CALLBACK StreamIn(DWORD_PTR cookie, LPBYTE buf, LONG size, LONG* done) {
  DWORD read = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(cookie), buf, static_cast<DWORD>(size), &read, nullptr)) return 1;
  *done = static_cast<LONG>(read);
  return 0;
}

DWORD CALLBACK StreamOut(DWORD_PTR cookie, LPBYTE buf, LONG size, LONG* done) {
  DWORD written = 0;
  if (!WriteFile(reinterpret_cast<HANDLE>(cookie), buf, static_cast<DWORD>(size), &written, nullptr)) return 1;
  *done = static_cast<LONG>(written);
  return 0;
}

void FindInto(const std::string& mask, const std::function<void(const WIN32_FIND_DATAA&)>& each) {
  WIN32_FIND_DATAA fd;
  HANDLE f = FindFirstFileA(mask.c_str(), &fd);
  if (f == INVALID_HANDLE_VALUE) return;
  do {
    each(fd);
  } while (FindNextFileA(f, &fd));
  FindClose(f);
}

bool IsDots(const char* name) { return !strcmp(name, ".") || !strcmp(name, ".."); }

void FindBelow(const std::string& dir, const std::string& pattern, std::vector<std::string>& out) {
  FindInto(dir + pattern, [&](const WIN32_FIND_DATAA& fd) {
    if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(dir + fd.cFileName);
  });
  FindInto(dir + "*", [&](const WIN32_FIND_DATAA& fd) {
    if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsDots(fd.cFileName))
      FindBelow(dir + fd.cFileName + "\\", pattern, out);
  });
}

BOOL CALLBACK CollectTitle(HWND h, LPARAM out) {
  const int n = GetWindowTextLengthA(h);
  if (n <= 0) return TRUE;
  std::string title(static_cast<size_t>(n) + 1, '\0');
  title.resize(static_cast<size_t>(GetWindowTextA(h, title.data(), n + 1)));
  reinterpret_cast<std::vector<std::string>*>(out)->push_back(title);
  return TRUE;
}

int CALLBACK CollectFace(const LOGFONTA* lf, const TEXTMETRICA*, DWORD, LPARAM out) {
  reinterpret_cast<std::vector<std::string>*>(out)->push_back(lf->lfFaceName);
  return 1;
}

class Win32Controls : public ControlPlatform {
 public:
  uint32_t CreateWindowObject(const TWindowSpec& s, uint32_t font) override {
    KeepLastError keep;
    EnsureCommonControls();
    HINSTANCE inst = s.useInstance ? reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(s.instance))
                                   : ProgramInstance();
    HWND h = CreateWindowExA(s.exStyle, s.className.c_str(), s.text.c_str(), s.style, s.x, s.y, s.w, s.h,
                             W(s.parent), reinterpret_cast<HMENU>(static_cast<intptr_t>(s.id)), inst, nullptr);
    if (h && font) SendMessageA(h, WM_SETFONT, static_cast<WPARAM>(font), TRUE);
    return H32(h);
  }

  std::string RichEditClass() override {
    KeepLastError keep;
    static const std::string cls = [] {
      if (LoadLibraryA("RICHED20.DLL")) return std::string("RICHEDIT20A");
      if (LoadLibraryA("RICHED32.DLL")) return std::string("RichEdit");
      return std::string();
    }();
    return cls;
  }

  uint32_t CreateEmptyDialog(uint32_t parent) override {
    KeepLastError keep;
    return H32(EmptyDialog(W(parent)));
  }

  uint32_t CreateUpDown(uint32_t parent, int32_t id, uint32_t buddy, int32_t lower, int32_t upper,
                        int32_t position) override {
    KeepLastError keep;
    EnsureCommonControls();
    return H32(CreateUpDownControl(0x54000026, 0, 0, 0, 0, W(parent), id, ProgramInstance(), W(buddy), upper,
                                   lower, position));
  }

  uint32_t CreateStatusBar(uint32_t style, const std::string& text, uint32_t parent, int32_t id) override {
    KeepLastError keep;
    EnsureCommonControls();
    return H32(CreateStatusWindowA(static_cast<LONG>(style), text.c_str(), W(parent), static_cast<UINT>(id)));
  }

  uint32_t CreateToolbar(uint32_t parent, uint32_t style, int32_t id, uint32_t bitmap, int32_t buttons, int32_t size,
                         int32_t firstId) override {
    KeepLastError keep;
    EnsureCommonControls();
    std::vector<TBBUTTON> b(static_cast<size_t>(buttons));
    for (int32_t i = 0; i < buttons; ++i) {
      b[static_cast<size_t>(i)].iBitmap = i;
      b[static_cast<size_t>(i)].idCommand = -(firstId + i);
      b[static_cast<size_t>(i)].fsState = TBSTATE_ENABLED;
      b[static_cast<size_t>(i)].fsStyle = kButtonStyle;
    }
    HINSTANCE inst = nullptr;
    UINT_PTR images = bitmap;
    int px = size;
    if (!bitmap) {
      inst = HINST_COMMCTRL;
      images = size == 1 ? IDB_STD_SMALL_COLOR : size == 2 ? IDB_STD_LARGE_COLOR
                         : size == 3                       ? IDB_VIEW_SMALL_COLOR
                                                           : IDB_VIEW_LARGE_COLOR;
      px = size == 1 || size == 3 ? kSmallImage : kLargeImage;
    }
    HWND h = CreateToolbarEx(W(parent), style, static_cast<UINT>(id), 99, inst, images, b.data(), buttons, px, px, px,
                             px, sizeof(TBBUTTON));
    return H32(h);
  }

  uint32_t CreateTooltipWindow(uint32_t parent) override {
    KeepLastError keep;
    EnsureCommonControls();
    HWND tip = CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, 0x80000001, CW_USEDEFAULT, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, W(parent), nullptr, ProgramInstance(), nullptr);
    if (!tip) return 0;
    SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, kTipWidth);
    SendMessageA(tip, TTM_SETDELAYTIME, TTDT_INITIAL, kTipDelay);
    SendMessageA(tip, TTM_SETDELAYTIME, TTDT_RESHOW, kTipDelay);
    SendMessageA(tip, TTM_SETDELAYTIME, TTDT_AUTOPOP, kTipAutoPop);
    return H32(tip);
  }

  void AddTooltipTool(uint32_t tooltip, uint32_t parent, uint32_t control, const std::string& text) override {
    KeepLastError keep;
    std::string t = text;
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = W(parent);
    ti.uId = control;
    ti.lpszText = t.data();
    SendMessageA(W(tooltip), TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }

  int32_t ToolbarAddButton(uint32_t toolbar, int32_t image, int32_t id, const std::string& tip,
                           const std::string& label, bool separator) override {
    KeepLastError keep;
    HWND tb = W(toolbar);
    TBBUTTON b{};
    if (separator) {
      b.fsStyle = TBSTYLE_SEP;
    } else {
      if (!tip.empty()) {
        if (HWND tips = reinterpret_cast<HWND>(SendMessageA(tb, TB_GETTOOLTIPS, 0, 0))) {
          std::string t = tip;
          TOOLINFOA ti{};
          ti.cbSize = TTTOOLINFOA_V1_SIZE;
          ti.hwnd = tb;
          ti.uId = static_cast<UINT_PTR>(-id);
          ti.lpszText = t.data();
          SendMessageA(tips, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
        }
      }
      b.iBitmap = image;
      b.idCommand = -id;
      b.fsState = TBSTATE_ENABLED;
      b.fsStyle = kButtonStyle;
      b.iString = -1;
      if (!label.empty()) {
        std::string strings = label + '\0';  // the list ends with two zero bytes
        b.iString = SendMessageA(tb, TB_ADDSTRINGA, 0, reinterpret_cast<LPARAM>(strings.c_str()));
      }
    }
    const LRESULT r = SendMessageA(tb, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&b));
    SetWindowPos(tb, nullptr, 0, 0, 0, 0, SWP_NOZORDER);
    return static_cast<int32_t>(r);
  }

  void SetDateTime(uint32_t h, int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                   int32_t second, bool timeOnly) override {
    KeepLastError keep;
    SYSTEMTIME st{};
    if (SendMessageA(W(h), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) != GDT_VALID) GetLocalTime(&st);
    if (timeOnly) {
      st.wHour = static_cast<WORD>(hour);
      st.wMinute = static_cast<WORD>(minute);
      st.wSecond = static_cast<WORD>(second);
    } else {
      st.wYear = static_cast<WORD>(year);
      st.wMonth = static_cast<WORD>(month);
      st.wDay = static_cast<WORD>(day);
    }
    st.wMilliseconds = 0;
    SendMessageA(W(h), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&st));
  }

  std::string ProfileIntl(const std::string& key, const std::string& def) override {
    KeepLastError keep;
    char buf[64];
    GetProfileStringA("INTL", key.c_str(), def.c_str(), buf, sizeof buf);
    return buf;
  }

  int32_t Send(uint32_t h, uint32_t msg, uint32_t wParam, int32_t lParam) override {
    return static_cast<int32_t>(SendMessageA(W(h), msg, wParam, lParam));
  }

  int32_t SendText(uint32_t h, uint32_t msg, uint32_t wParam, const std::string& text) override {
    return static_cast<int32_t>(SendMessageA(W(h), msg, wParam, reinterpret_cast<LPARAM>(text.c_str())));
  }

  bool IsWindow(uint32_t h) override { return h && ::IsWindow(W(h)); }

  std::string ClassName(uint32_t h) override {
    KeepLastError keep;
    char buf[256];
    int n = GetClassNameA(W(h), buf, sizeof buf);
    return std::string(buf, n > 0 ? static_cast<size_t>(n) : 0);
  }

  std::string WindowText(uint32_t h) override {
    KeepLastError keep;
    HWND w = W(h);
    return SizedRead([&] { return SendMessageA(w, WM_GETTEXTLENGTH, 0, 0); },
                     [&](char* b, size_t n) { return SendMessageA(w, WM_GETTEXT, n, reinterpret_cast<LPARAM>(b)); });
  }

  void SetText(uint32_t h, const std::string& text) override {
    KeepLastError keep;
    SetWindowTextA(W(h), text.c_str());
  }

  int32_t GetLong(uint32_t h, int32_t index) override {
    KeepLastError keep;
    return static_cast<int32_t>(GetWindowLongA(W(h), index));
  }

  void SetLong(uint32_t h, int32_t index, int32_t value) override {
    KeepLastError keep;
    SetWindowLongA(W(h), index, value);
    InvalidateRect(W(h), nullptr, TRUE);
  }

  void ClientSize(uint32_t h, int32_t& w, int32_t& hgt) override {
    KeepLastError keep;
    RECT r{};
    GetClientRect(W(h), &r);
    w = r.right;
    hgt = r.bottom;
  }

  uint32_t DialogItem(uint32_t parent, int32_t id) override {
    KeepLastError keep;
    return H32(GetDlgItem(W(parent), id));
  }
  int32_t ControlId(uint32_t h) override {
    KeepLastError keep;
    return GetDlgCtrlID(W(h));
  }
  void Enable(uint32_t h, bool on) override {
    KeepLastError keep;
    EnableWindow(W(h), on);
  }
  void Show(uint32_t h, int32_t mode) override {
    KeepLastError keep;
    ShowWindow(W(h), mode);
  }
  void Place(uint32_t h, uint32_t after, int32_t x, int32_t y, int32_t w, int32_t hgt, bool keepZ) override {
    KeepLastError keep;
    SetWindowPos(W(h), W(after), x, y, w, hgt, keepZ ? SWP_NOZORDER : 0);
  }
  int32_t ScrollPos(uint32_t h) override {
    KeepLastError keep;
    return GetScrollPos(W(h), SB_CTL);
  }
  void SetScrollPos(uint32_t h, int32_t pos) override {
    KeepLastError keep;
    ::SetScrollPos(W(h), SB_CTL, pos, TRUE);
  }
  void SetScrollRange(uint32_t h, int32_t lo, int32_t hi) override {
    KeepLastError keep;
    ::SetScrollRange(W(h), SB_CTL, lo, hi, TRUE);
  }

  bool ListText(uint32_t h, ListClass cls, int32_t index, std::string& out) override {
    KeepLastError keep;
    HWND w = W(h);
    const bool lb = cls == ListClass::ListBox;
    const LRESULT n = SendMessageA(w, lb ? LB_GETTEXTLEN : CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    out.clear();
    if (n < 0) return false;
    std::string buf(static_cast<size_t>(n) + 1, '\0');
    const LRESULT got =
        SendMessageA(w, lb ? LB_GETTEXT : CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buf.data()));
    if (got < 0) return false;
    buf.resize(static_cast<size_t>(got) <= static_cast<size_t>(n) ? static_cast<size_t>(got) : static_cast<size_t>(n));
    out = std::move(buf);
    return true;
  }

  std::string EditLine(uint32_t h, int32_t line) override {
    KeepLastError keep;
    HWND w = W(h);
    const LRESULT start = SendMessageA(w, EM_LINEINDEX, static_cast<WPARAM>(line), 0);
    if (start < 0) return std::string();
    const LRESULT len = SendMessageA(w, EM_LINELENGTH, static_cast<WPARAM>(start), 0);
    if (len <= 0) return std::string();
    if (len >= 0xFFFF) return WindowText(h).substr(static_cast<size_t>(start), static_cast<size_t>(len));
    // EM_GETLINE takes the buffer size in its first word.
    std::string buf(static_cast<size_t>(len) + sizeof(WORD), '\0');
    *reinterpret_cast<WORD*>(buf.data()) = static_cast<WORD>(len);
    const LRESULT got = SendMessageA(w, EM_GETLINE, static_cast<WPARAM>(line), reinterpret_cast<LPARAM>(buf.data()));
    buf.resize(got > 0 && got <= len ? static_cast<size_t>(got) : 0);
    return buf;
  }

  int32_t ListViewColumns(uint32_t h) override {
    KeepLastError keep;
    int32_t n = 0;
    LVCOLUMNA c{};
    c.mask = LVCF_WIDTH;
    while (n < kMaxColumns && SendMessageA(W(h), LVM_GETCOLUMNA, static_cast<WPARAM>(n), reinterpret_cast<LPARAM>(&c)))
      ++n;
    return n;
  }

  std::string ListViewCell(uint32_t h, int32_t row, int32_t column) override {
    KeepLastError keep;
    // The list view tells no length: the buffer grows until the text fits.
    for (size_t size = kFirstCellBuffer;; size *= 2) {
      std::string buf(size, '\0');
      LVITEMA it{};
      it.iSubItem = column;
      it.pszText = buf.data();
      it.cchTextMax = static_cast<int>(size);
      const LRESULT n =
          SendMessageA(W(h), LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
      if (n < 0) return std::string();
      if (static_cast<size_t>(n) + 1 < size || size >= (1u << 26)) {
        buf.resize(static_cast<size_t>(n) < size ? static_cast<size_t>(n) : size - 1);
        return buf;
      }
    }
  }

  int32_t ListViewInsert(uint32_t h, int32_t index, const std::vector<std::string>& cells) override {
    KeepLastError keep;
    std::vector<std::string> texts = cells;
    if (texts.empty()) texts.emplace_back();
    LVITEMA it{};
    it.mask = LVIF_TEXT;
    it.iItem = index < 0 ? 0x7FFFFFFF : index;
    it.pszText = texts[0].data();
    const int32_t row = static_cast<int32_t>(SendMessageA(W(h), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
    if (row < 0) return row;
    for (size_t c = 1; c < texts.size(); ++c) SetCell(h, row, static_cast<int32_t>(c), texts[c]);
    return row;
  }

  void ListViewSetCell(uint32_t h, int32_t row, int32_t column, const std::string& text) override {
    KeepLastError keep;
    SetCell(h, row, column, text);
  }

  int32_t ListViewFind(uint32_t h, int32_t start, const std::string& text) override {
    KeepLastError keep;
    LVFINDINFOA fi{};
    fi.flags = LVFI_STRING | LVFI_PARTIAL;
    fi.psz = text.c_str();
    return static_cast<int32_t>(
        SendMessageA(W(h), LVM_FINDITEMA, static_cast<WPARAM>(start), reinterpret_cast<LPARAM>(&fi)));
  }

  void ListViewSelect(uint32_t h, int32_t row) override {
    KeepLastError keep;
    HWND w = W(h);
    LVITEMA it{};
    it.stateMask = it.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(w, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
    if (GetWindowLongA(w, GWL_STYLE) & LVS_SINGLESEL) SendMessageA(w, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    if (IsWindowVisible(w)) SetFocus(w);
  }

  void ListViewAddColumn(uint32_t h, const std::string& caption, int32_t format, int32_t width) override {
    KeepLastError keep;
    std::string text = caption;
    LVCOLUMNA c{};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.fmt = format;
    c.cx = width;
    c.pszText = text.data();
    c.iSubItem = ListViewColumns(h);
    SendMessageA(W(h), LVM_INSERTCOLUMNA, 0x7FFFFFFF, reinterpret_cast<LPARAM>(&c));
  }

  int32_t TabInsert(uint32_t h, int32_t index, const std::string& text) override {
    KeepLastError keep;
    std::string t = text;
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    item.pszText = t.data();
    return static_cast<int32_t>(
        SendMessageA(W(h), TCM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
  }

  uint32_t CreateFontObject(const std::string& face, int32_t height, int32_t width, int32_t weight, bool italic,
                            bool underline, int32_t& charset) override {
    KeepLastError keep;
    HFONT font = CreateFontA(height, width, 0, 0, weight, italic, underline, FALSE, static_cast<DWORD>(charset),
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                             face.c_str());
    if (!font) return 0;
    if (HDC probe = CreateDCA("DISPLAY", nullptr, nullptr, nullptr)) {
      HGDIOBJ old = SelectObject(probe, font);
      charset = GetTextCharset(probe);
      SelectObject(probe, old);
      DeleteDC(probe);
    }
    return H32(font);
  }

  uint32_t DrawingFont() override {
    KeepLastError keep;
    HDC dc = reinterpret_cast<HDC>(static_cast<uintptr_t>(CurrentDcPair().memory));
    return dc ? H32(GetCurrentObject(dc, OBJ_FONT)) : 0;
  }

  uint32_t ExtractIconFrom(const std::string& file, int32_t index) override {
    KeepLastError keep;
    return H32(ExtractIconA(ProgramInstance(), file.c_str(), static_cast<UINT>(index)));
  }

  bool LoadPicture(int32_t source, const std::string& name, int32_t w, int32_t h, TPictureInfo& out) override {
    KeepLastError keep;
    const UINT sized = w > 0 && h > 0 ? 0 : LR_DEFAULTSIZE;
    HANDLE bmp = nullptr;
    if (source == 0 && name == "&MEMBMP") {
      if (gEvents.bitmap) bmp = CopyImage(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(gEvents.bitmap)), IMAGE_BITMAP, w, h, 0);
    } else {
      HINSTANCE module = source == 0 ? ProgramInstance() : reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(static_cast<uint32_t>(source)));
      bmp = LoadImageA(module, name.c_str(), IMAGE_BITMAP, w, h, sized);
    }
    if (!bmp) return false;
    BITMAP info{};
    GetObjectA(bmp, sizeof info, &info);
    out.handle = H32(bmp);
    out.width = info.bmWidth;
    out.height = info.bmHeight;
    const int bits = info.bmBitsPixel * info.bmPlanes;
    out.colours = bits >= 31 ? 0x7FFFFFFF : (1 << bits);
    return true;
  }

  void DeleteObjectOrIcon(uint32_t h) override {
    KeepLastError keep;
    // The back buffer of the program window is no object of the program.
    if (!h || h == gEvents.bitmap) return;
    HGDIOBJ obj = reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(h));
    static const struct {
      DWORD type;
      int stock;
    } kStock[] = {{OBJ_PEN, BLACK_PEN}, {OBJ_BRUSH, WHITE_BRUSH}, {OBJ_FONT, SYSTEM_FONT}};
    const DWORD type = GetObjectType(obj);
    const TDcPair& pair = CurrentDcPair();
    for (const auto& s : kStock) {
      if (s.type != type) continue;
      for (uint32_t v : {pair.window, pair.memory, gEvents.hdc, gEvents.hdc2}) {
        HDC dc = reinterpret_cast<HDC>(static_cast<uintptr_t>(v));
        if (dc && GetCurrentObject(dc, type) == obj) SelectObject(dc, GetStockObject(s.stock));
      }
    }
    if (!DeleteObject(obj)) DestroyIcon(reinterpret_cast<HICON>(obj));
  }

  bool RichEditStream(uint32_t h, const std::string& file, bool load, bool rtf) override {
    KeepLastError keep;
    HANDLE f = CreateFileA(file.c_str(), load ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           load ? OPEN_EXISTING : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    EDITSTREAM es{};
    es.dwCookie = reinterpret_cast<DWORD_PTR>(f);
    es.pfnCallback = load ? StreamIn : StreamOut;
    SendMessageA(W(h), load ? EM_STREAMIN : EM_STREAMOUT, rtf ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&es));
    CloseHandle(f);
    return true;
  }

  void FindFiles(const std::string& mask, bool recursive, std::vector<std::string>& out) override {
    KeepLastError keep;
    if (!recursive) {
      FindInto(mask, [&](const WIN32_FIND_DATAA& fd) {
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          out.push_back(std::string("[") + fd.cFileName + "]");
        else
          out.push_back(fd.cFileName);
      });
      return;
    }
    const size_t cut = mask.find_last_of("\\:");
    std::string dir = cut == std::string::npos ? std::string() : mask.substr(0, cut + 1);
    const std::string pattern = cut == std::string::npos ? mask : mask.substr(cut + 1);
    char full[MAX_PATH];
    DWORD n = GetFullPathNameA(dir.empty() ? "." : dir.c_str(), MAX_PATH, full, nullptr);
    if (n > 0 && n < MAX_PATH) {
      dir = full;
      if (dir.back() != '\\') dir += '\\';
    }
    FindBelow(dir, pattern, out);
  }

  void TopLevelTitles(std::vector<std::string>& out) override {
    KeepLastError keep;
    EnumWindows(CollectTitle, reinterpret_cast<LPARAM>(&out));
  }

  void FontFamilies(std::vector<std::string>& out) override {
    KeepLastError keep;
    HDC dc = reinterpret_cast<HDC>(static_cast<uintptr_t>(gEvents.hdc));
    HDC screen = dc ? nullptr : GetDC(nullptr);
    EnumFontFamiliesA(dc ? dc : screen, nullptr, CollectFace, reinterpret_cast<LPARAM>(&out));
    if (screen) ReleaseDC(nullptr, screen);
  }

 private:
  void SetCell(uint32_t h, int32_t row, int32_t column, const std::string& text) {
    std::string t = text;
    LVITEMA it{};
    it.iSubItem = column;
    it.pszText = t.data();
    SendMessageA(W(h), LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&it));
  }
};

Win32Controls gControlsImpl;

}  // namespace

void InstallWin32Controls() {
  SetControlPlatform(&gControlsImpl);
}

}  // namespace korv
