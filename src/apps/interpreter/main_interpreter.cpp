// KORVID: takes a source file from the command line or the open dialog,
// loads it into the line store and runs it as text.
#include <windows.h>

#include <string>
#include <vector>

#include "apps/interpreter/interpreter.h"
#include "apps/subsystems.h"
#include "core/preprocessor.h"
#include "base/text.h"
#include "base/errors.h"
#include "base/host.h"
#include "base/open_dialog.h"
#include "base/win32_host.h"

namespace {

const char* const kCaption = "Korvid";

// "Contains no dot" looks at the last path component only.
bool HasExtension(const std::string& name) {
  size_t sep = name.find_last_of("\\/");
  size_t dot = name.find('.', sep == std::string::npos ? 0 : sep + 1);
  return dot != std::string::npos;
}

bool Readable(const std::string& name) {
  HANDLE h = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  CloseHandle(h);
  return true;
}

bool ChooseFile(std::string& name) {
  if (!korv::ChooseOpenFile(std::string("Korvid-") + korv::ErrorText(800),
                            "Korvid-Source (*.krv, *.krvsrc)|*.KRV;*.KRVSRC|All (*.*)|*.*", name))
    return false;
  name = korv::Trim(name);
  return true;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  static korv::Win32Host host(korv::ConsoleModeRequested());
  korv::SetHost(&host);

  korv::InstallNeutralSubsystems();
  korv::InstallSubsystems(korv::kWindowsSubsystems, korv::kWindowsSubsystemCount);

  std::string file;
  bool haveFile = false;
  if (__argc >= 2) {
    file = __argv[1];
    if (!HasExtension(file)) file += ".KRVSRC";
    haveFile = Readable(file);
    // Unattended, the dialog that follows counts as cancelled: say first
    // which file was not there.
    if (!haveFile && host.ConsoleMode())
      host.ShowMessageBox(kCaption, korv::ErrorText(209) + file, korv::mb::kOk | korv::mb::kIconError);
  }
  if (!haveFile) {
    if (!ChooseFile(file)) {
      host.ShowMessageBox(kCaption, korv::ErrorText(802), korv::mb::kOk | korv::mb::kIconError);
      host.Exit(korv::kExitCancelled);
    }
    if (!Readable(file)) {
      host.ShowMessageBox(kCaption, korv::ErrorText(300) + file, korv::mb::kOk | korv::mb::kIconError);
      host.Exit(korv::kExitLoadError);
    }
  }

  std::vector<std::string> args;
  for (int i = 1; i < __argc; ++i) args.push_back(__argv[i]);
  int code = korv::RunInterpreterProgram(file, args);
  host.Exit(code);
}
