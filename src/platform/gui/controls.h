// Dialog controls and CREATE objects: the control-id counter, the dialog
// font, the tooltip window, and the seam through which the control
// commands, the list functions and CREATE reach the window system.
//
// The commands decide everything that does not need Windows (argument
// reading, object kinds, style bits, which list messages a window takes,
// errors); ControlPlatform carries out the window calls. Without a platform
// (native programs) the commands read their arguments and return 0 or "".
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

struct TControlState {
  int32_t nextId = 1000;   // control ids are never reused
  uint32_t tooltip = 0;    // the one tooltip window of the run
  uint32_t dialogFont = 0; // SETDIALOGFONT: 0 off, 1 the drawing font, else a font
  // The selection a list dialog recorded (%GETCURSEL).
  int32_t listSelection = -1;
};
extern TControlState gControls;

// Which list messages a window takes, by its class name (compared without
// case). Edit windows take the MOVELIST functions only.
enum class ListClass : uint8_t { Other, ListBox, ComboBox, ListView, Edit };
ListClass ClassifyWindowClass(const std::string& className);

// One CreateWindowEx call.
struct TWindowSpec {
  std::string className, text;
  uint32_t style = 0, exStyle = 0;
  int32_t x = 0, y = 0, w = 0, h = 0;
  uint32_t parent = 0;
  int32_t id = 0;          // the hMenu argument
  uint32_t instance = 0;   // 0: the program's own
  bool useInstance = false;// CONTROL passes its instance as given
};

struct TPictureInfo {
  uint32_t handle = 0;
  int32_t width = 0, height = 0, colours = 0;
};

class ControlPlatform {
 public:
  virtual ~ControlPlatform() = default;

  // --- Windows -------------------------------------------------------------
  // CreateWindowEx; font != 0 is then set with WM_SETFONT (redraw on).
  virtual uint32_t CreateWindowObject(const TWindowSpec& spec, uint32_t font) = 0;
  // The rich-edit class of the first library that loads ("" when none).
  virtual std::string RichEditClass() = 0;
  // Modeless dialog from the empty template, with the dialog procedure.
  virtual uint32_t CreateEmptyDialog(uint32_t parent) = 0;
  virtual uint32_t CreateUpDown(uint32_t parent, int32_t id, uint32_t buddy, int32_t lower, int32_t upper,
                                int32_t position) = 0;
  virtual uint32_t CreateStatusBar(uint32_t style, const std::string& text, uint32_t parent, int32_t id) = 0;
  // CreateToolbarEx with `buttons` buttons (image i, command -(firstId + i));
  // bitmap 0 takes the standard images chosen by size.
  virtual uint32_t CreateToolbar(uint32_t parent, uint32_t style, int32_t id, uint32_t bitmap, int32_t buttons,
                                 int32_t size, int32_t firstId) = 0;
  virtual uint32_t CreateTooltipWindow(uint32_t parent) = 0;
  virtual void AddTooltipTool(uint32_t tooltip, uint32_t parent, uint32_t control, const std::string& text) = 0;
  virtual int32_t ToolbarAddButton(uint32_t toolbar, int32_t image, int32_t id, const std::string& tip,
                                   const std::string& label, bool separator) = 0;
  virtual void SetDateTime(uint32_t h, int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                           int32_t second, bool timeOnly) = 0;
  // The user profile's "INTL" value of key.
  virtual std::string ProfileIntl(const std::string& key, const std::string& def) = 0;

  virtual int32_t Send(uint32_t h, uint32_t msg, uint32_t wParam, int32_t lParam) = 0;
  // A message whose lParam points to text.
  virtual int32_t SendText(uint32_t h, uint32_t msg, uint32_t wParam, const std::string& text) = 0;
  virtual bool IsWindow(uint32_t h) = 0;
  virtual std::string ClassName(uint32_t h) = 0;
  // The whole window text, sized from the window.
  virtual std::string WindowText(uint32_t h) = 0;
  virtual void SetText(uint32_t h, const std::string& text) = 0;
  virtual int32_t GetLong(uint32_t h, int32_t index) = 0;
  // SetWindowLong, then the window is invalidated with erasing.
  virtual void SetLong(uint32_t h, int32_t index, int32_t value) = 0;
  virtual void ClientSize(uint32_t h, int32_t& w, int32_t& hgt) = 0;
  virtual uint32_t DialogItem(uint32_t parent, int32_t id) = 0;
  virtual int32_t ControlId(uint32_t h) = 0;
  virtual void Enable(uint32_t h, bool on) = 0;
  virtual void Show(uint32_t h, int32_t mode) = 0;
  // SetWindowPos; after == 0 keeps the z-order.
  virtual void Place(uint32_t h, uint32_t after, int32_t x, int32_t y, int32_t w, int32_t hgt, bool keepZ) = 0;
  virtual int32_t ScrollPos(uint32_t h) = 0;
  virtual void SetScrollPos(uint32_t h, int32_t pos) = 0;
  virtual void SetScrollRange(uint32_t h, int32_t lo, int32_t hi) = 0;

  // --- List texts (buffers sized from the control) -------------------------
  // Entry index of a list box or combo box; false when there is none.
  virtual bool ListText(uint32_t h, ListClass cls, int32_t index, std::string& out) = 0;
  virtual std::string EditLine(uint32_t h, int32_t line) = 0;
  virtual int32_t ListViewColumns(uint32_t h) = 0;
  virtual std::string ListViewCell(uint32_t h, int32_t row, int32_t column) = 0;
  // Inserts a row at index (-1: at the end) with its cells; the row index or -1.
  virtual int32_t ListViewInsert(uint32_t h, int32_t index, const std::vector<std::string>& cells) = 0;
  virtual void ListViewSetCell(uint32_t h, int32_t row, int32_t column, const std::string& text) = 0;
  virtual int32_t ListViewFind(uint32_t h, int32_t start, const std::string& text) = 0;
  // Selects and focuses the row (scrolls it into view in single-selection views).
  virtual void ListViewSelect(uint32_t h, int32_t row) = 0;
  virtual void ListViewAddColumn(uint32_t h, const std::string& caption, int32_t format, int32_t width) = 0;
  virtual int32_t TabInsert(uint32_t h, int32_t index, const std::string& text) = 0;

  // --- GDI objects -----------------------------------------------------------
  virtual uint32_t CreateFontObject(const std::string& face, int32_t height, int32_t width, int32_t weight,
                                    bool italic, bool underline, int32_t& charset) = 0;
  // The current drawing font (SETDIALOGFONT 1).
  virtual uint32_t DrawingFont() = 0;
  virtual uint32_t ExtractIconFrom(const std::string& file, int32_t index) = 0;
  // source 0 program resource (or "&MEMBMP"), else a module handle (picture
  // files, source -1, are read by the picture-file loader instead).
  // w, h > 0 ask for that size. False when it cannot be loaded.
  virtual bool LoadPicture(int32_t source, const std::string& name, int32_t w, int32_t h, TPictureInfo& out) = 0;
  // Takes the object out of every context and state that still holds it,
  // then deletes it (DestroyIcon when it is no GDI object).
  virtual void DeleteObjectOrIcon(uint32_t h) = 0;
  // Streams a file into or out of a rich edit; false when it cannot be opened.
  virtual bool RichEditStream(uint32_t h, const std::string& file, bool load, bool rtf) = 0;

  // --- String-list sources ---------------------------------------------------
  // Names matching mask (directories as "[name]"); with recursive, the full
  // paths of matching files below the directory of mask too.
  virtual void FindFiles(const std::string& mask, bool recursive, std::vector<std::string>& out) = 0;
  virtual void TopLevelTitles(std::vector<std::string>& out) = 0;
  virtual void FontFamilies(std::vector<std::string>& out) = 0;
};
void SetControlPlatform(ControlPlatform* platform);
ControlPlatform* GetControlPlatform();

// Per-run reset: the id counter starts again at 1000, no tooltip, no font.
void ResetControls();
// Registers CREATE, the control and list functions and the string-list commands.
void RegisterControlCommands();

// Window messages and styles the neutral side composes (Windows values).
namespace ctl {
constexpr uint32_t kChildVisible = 0x50000000;
constexpr uint32_t kExClientEdge = 0x200;
constexpr uint32_t kLbAddString = 0x180, kLbInsertString = 0x181, kLbDeleteString = 0x182,
                   kLbResetContent = 0x184, kLbSetSel = 0x185, kLbGetSel = 0x187, kLbGetCurSel = 0x188,
                   kLbGetCount = 0x18B, kLbSelectString = 0x18C, kLbGetSelCount = 0x190, kLbFindString = 0x18F;
constexpr uint32_t kCbAddString = 0x143, kCbDeleteString = 0x144, kCbGetCount = 0x146, kCbGetCurSel = 0x147,
                   kCbInsertString = 0x14A, kCbResetContent = 0x14B, kCbSelectString = 0x14D;
constexpr uint32_t kLvmGetItemCount = 0x1004, kLvmDeleteItem = 0x1008, kLvmDeleteAllItems = 0x1009,
                   kLvmGetNextItem = 0x100C, kLvmGetItemState = 0x102C, kLvmGetSelectedCount = 0x1032,
                   kLvmSetExtendedStyle = 0x1036;
constexpr uint32_t kLvniFocused = 1, kLvisSelected = 2;
constexpr uint32_t kBmGetCheck = 0xF0, kBmSetCheck = 0xF1, kBmSetImage = 0xF7, kStmSetImage = 0x172;
constexpr uint32_t kEmGetLineCount = 0xBA, kEmExLimitText = 0x435;
constexpr uint32_t kSbmSetRange = 0xE2, kSbSetText = 0x401, kSbSetParts = 0x404;
constexpr uint32_t kTcmGetCurSel = 0x130B, kTbSetStyle = 0x438, kUdmGetBuddy = 0x46A;
constexpr int32_t kGwlStyle = -16, kGwlExStyle = -20;
constexpr int32_t kTabSelChange = -551;
}  // namespace ctl

}  // namespace korv
