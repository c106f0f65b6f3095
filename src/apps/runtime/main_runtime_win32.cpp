// KORVEX: the runtime. Runs a .kvc file named on its command line or chosen
// in the open dialog, or the program the linker appended to its own file.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "apps/runtime/runtime_app.h"
#include "core/text.h"
#include "engine/errors.h"
#include "engine/host.h"
#include "engine/registry.h"
#include "system/platform.h"
#include "system/win32_host.h"

namespace {

// The open-file dialog; false when cancelled (console mode always cancels).
bool ChooseFile(std::string& name) {
  if (korv::host().ConsoleMode()) return false;
  std::vector<char> buf(256, '\0');
  std::string title = std::string("Korvid-") + korv::ErrorText(800);
  const char filter[] = "Korvid-Code (*.kvc)\0*.KVC\0All (*.*)\0*.*\0";
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = filter;
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = 255;
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = 0x00081804;  // explorer, file and path must exist, hide read-only
  if (!GetOpenFileNameA(&ofn)) return false;
  name = buf.data();
  return true;
}

std::string OwnFile() {
  std::vector<char> buf(32768, '\0');
  DWORD n = GetModuleFileNameA(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
  return std::string(buf.data(), n);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  static korv::Win32Host host(korv::ConsoleModeRequested());
  korv::SetHost(&host);

  INITCOMMONCONTROLSEX icc{8, 0x0FFF};
  InitCommonControlsEx(&icc);
  korv::RegisterNeutral();
  korv::RegisterPlatformSubsystems();
  korv::ResetPlatformState();

  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.push_back(__argv[i]);
  int code = korv::RunRuntime(args, OwnFile(), ChooseFile);
  host.Exit(code);
}
