// KORVAC: the compiler program. Shows its progress in a small text window
// (console mode: on standard output) and reports success in a box.
#include <windows.h>
#include <commctrl.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "apps/compiler/compiler_app.h"
#include "base/text.h"
#include "base/host.h"
#include "base/open_dialog.h"
#include "base/win32_host.h"

namespace {

constexpr int kColumns = 60;
constexpr int kRows = 18;
const char* const kClassName = "KorvidCompilerProgress";

// The progress window: a grid of 60 x 18 characters.
class WindowProgress : public korv::CompilerProgress {
 public:
  explicit WindowProgress(HINSTANCE instance) {
    for (auto& row : grid_) row.assign(kColumns, ' ');
    WNDCLASSA wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, kClassName, korv::kCompilerCaption, WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                              180, 120, 500, 180, nullptr, nullptr, instance, this);
    Pump();
  }
  ~WindowProgress() override {
    if (window_) DestroyWindow(window_);
  }

  void Put(int column, int row, const std::string& text) override {
    if (row < 1 || row > kRows) return;
    std::string& line = grid_[static_cast<size_t>(row - 1)];
    for (size_t i = 0; i < text.size(); ++i) {
      size_t c = static_cast<size_t>(column - 1) + i;
      if (c < line.size()) line[c] = text[i];
    }
    Redraw();
  }
  void Counter(int32_t slot) override {
    last_ = slot;
    DWORD now = GetTickCount();
    if (now - shown_ >= 50) {
      shown_ = now;
      Flush();
    }
  }
  void Pause(int ms) override {
    Pump();
    Sleep(static_cast<DWORD>(ms));
  }
  void Flush() override {
    if (last_ < 0) return;
    char buf[16];
    wsprintfA(buf, "%6ld", static_cast<long>(last_));
    Put(21, 5, buf);
  }

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_NCCREATE) {
      auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
      SetWindowLongPtrA(w, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(cs->lpCreateParams));
    }
    auto* self = reinterpret_cast<WindowProgress*>(GetWindowLongPtrA(w, GWLP_USERDATA));
    if (msg == WM_PAINT && self) {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      HGDIOBJ old = SelectObject(dc, GetStockObject(ANSI_FIXED_FONT));
      TEXTMETRICA tm;
      GetTextMetricsA(dc, &tm);
      for (int r = 0; r < kRows; ++r) {
        const std::string& line = self->grid_[static_cast<size_t>(r)];
        TextOutA(dc, 0, r * tm.tmHeight, line.data(), static_cast<int>(line.size()));
      }
      SelectObject(dc, old);
      EndPaint(w, &ps);
      return 0;
    }
    return DefWindowProcA(w, msg, wp, lp);
  }
  void Redraw() {
    if (!window_) return;
    InvalidateRect(window_, nullptr, TRUE);
    UpdateWindow(window_);
    Pump();
  }
  static void Pump() {
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }

  HWND window_ = nullptr;
  std::array<std::string, kRows> grid_;
  int32_t last_ = -1;
  DWORD shown_ = 0;
};


}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  static korv::Win32Host win32(korv::ConsoleModeRequested());
  static korv::CompilerHost host(win32);
  korv::SetHost(&host);
  INITCOMMONCONTROLSEX icc{8, 0x0FFF};
  InitCommonControlsEx(&icc);

  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.push_back(__argv[i]);
  korv::CompilerOptions o =
      korv::ParseCompilerOptions(args, std::getenv("TMR_PATH"), std::getenv("TMR_RUNTIME"));
  int code;
  if (host.ConsoleMode()) {
    korv::ConsoleProgress progress;
    code = korv::RunCompiler(o, progress, korv::ChooseOpenFile);
  } else {
    WindowProgress progress(instance);
    code = korv::RunCompiler(o, progress, korv::ChooseOpenFile);
  }
  host.Exit(code);
}
