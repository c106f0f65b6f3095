// The built-in modal dialogs: INPUT$, EDITBOX, LISTBOX$, LOADFILE$,
// SAVEFILE$ and CHOOSEDIR$, with ITEMID and %ITEMID.
//
// Argument handling, the choice of template, the filter strings of the file
// dialogs, the exchange with the string list and the console-mode answers
// are platform-neutral; showing the dialogs is the DialogPlatform's.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

// What a file dialog is asked to show.
struct TFileRequest {
  std::string title;
  // Pairs of description and pattern, each ended by a NUL, the whole ended
  // by a further NUL (as the common dialogs read it); empty for none.
  std::string filter;
  std::string fileName;  // proposed name, at most kFileNameMax characters
};

// File-name buffers of the file dialogs hold MAX_PATH characters with the
// terminator.
constexpr size_t kFileBufferSize = 260;
constexpr size_t kFileNameMax = kFileBufferSize - 1;
// The edit of the "INPUT" dialog takes at most this many characters.
constexpr size_t kInputMax = 254;

class DialogPlatform {
 public:
  virtual ~DialogPlatform() = default;
  // Console mode: dialogs are answered without being shown.
  virtual bool Unattended() = 0;
  // Each returns true after OK, false after Cancel.
  virtual bool InputBox(const std::string& prompt, const std::string& caption, const std::string& text,
                        std::string& out) = 0;
  // The edit shows text; out receives its whole contents.
  virtual bool EditBox(const std::string& templ, const std::string& caption, const std::string& text,
                       std::string& out) = 0;
  // index: -1 for no selection; selected receives that entry's text.
  virtual bool ListBox(const std::string& templ, const std::string& caption,
                       const std::vector<std::string>& items, int32_t& index, std::string& selected) = 0;
  virtual bool OpenFile(const TFileRequest& request, std::string& path) = 0;
  virtual bool SaveFile(const TFileRequest& request, std::string& path) = 0;
  // Makes the chosen folder the current directory; path without a final
  // separator.
  virtual bool ChooseFolder(const std::string& title, std::string& path) = 0;
  // GetDlgCtrlID.
  virtual int32_t ControlId(uint32_t window) = 0;
};
void SetDialogPlatform(DialogPlatform* platform);

struct TDialogState {
  int32_t listSelection = -1;   // index the last LISTBOX$ recorded
  std::string listText;         // its text
};
extern TDialogState gDialogs;

// Neutral helpers, exposed for the tests.
std::string EditBoxTemplate(int32_t style);
std::string ListBoxTemplate(int32_t style);
// LOADFILE$: a second argument with "|" is a filter list, else a name.
TFileRequest OpenFileRequest(const std::string& title, const std::string& filterOrName);
// SAVEFILE$: the filter comes from the proposed name's extension.
TFileRequest SaveFileRequest(const std::string& title, const std::string& filterOrName);
// The string list as one text, lines joined with CR LF.
std::string JoinListLines(const std::vector<std::string>& lines);
// The lines of an edit's text (CR LF, or LF alone, ends a line); an empty
// text has no lines.
std::vector<std::string> SplitEditLines(const std::string& text);

void ResetDialogState();
void RegisterDialogFunctions();

}  // namespace korv
