// Windows only: the common open-file dialog as the three programs show it.
#pragma once
#include <string>

namespace korv {

// filter is "Text|pattern|Text|pattern". False when cancelled; in console
// mode the dialog counts as cancelled without being shown.
bool ChooseOpenFile(const std::string& title, const std::string& filter, std::string& name);

}  // namespace korv
