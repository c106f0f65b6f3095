#include "base/open_dialog.h"

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "base/host.h"

namespace korv {

bool ChooseOpenFile(const std::string& title, const std::string& filter, std::string& name) {
  if (host().ConsoleMode()) return false;
  std::string f = filter + "||";
  for (char& c : f)
    if (c == '|') c = '\0';
  std::vector<char> buf(256, '\0');
  OPENFILENAMEA ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.lpstrFilter = f.c_str();
  ofn.lpstrFile = buf.data();
  ofn.nMaxFile = 255;
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = 0x00081804;  // explorer, file and path must exist, hide read-only
  if (!GetOpenFileNameA(&ofn)) return false;
  name = buf.data();
  return true;
}

}  // namespace korv
