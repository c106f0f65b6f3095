// The list functions on list boxes, combo boxes and list views, the
// MOVELIST functions between controls and the string list, and the
// string-list commands (CLEARLIST, ADDSTRING, LISTBOXITEM$, ADDFILES,
// ADDWINDOWS, ADDFONTS) with %GETCOUNT and %GETCURSEL.
#pragma once

namespace korv {

void RegisterListControlCommands();

}  // namespace korv
