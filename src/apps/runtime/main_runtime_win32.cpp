// KORVEX: the runtime. Runs a .kvc file named on its command line or chosen
// in the open dialog, or the program the linker appended to its own file.
#include <windows.h>

#include <string>
#include <vector>

#include "apps/runtime/runtime_app.h"
#include "base/text.h"
#include "base/errors.h"
#include "base/host.h"
#include "apps/subsystems.h"
#include "base/open_dialog.h"
#include "base/win32_host.h"

namespace {

bool ChooseFile(std::string& name) {
  return korv::ChooseOpenFile(std::string("Korvid-") + korv::ErrorText(800),
                              "Korvid-Code (*.kvc)|*.KVC|All (*.*)|*.*", name);
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
  korv::SetDebugLineNote(korv::SourcePositionNote);

  korv::InstallNeutralSubsystems();
  korv::InstallSubsystems(korv::kWindowsSubsystems, korv::kWindowsSubsystemCount);

  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.push_back(__argv[i]);
  int code = korv::RunRuntime(args, OwnFile(), ChooseFile);
  host.Exit(code);
}
