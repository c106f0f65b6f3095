// The object kinds of CREATE: their argument lists, the window styles the
// flags compose, and the small text formats some kinds read (spin values,
// dates, times, grid columns).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

namespace create_style {
constexpr uint32_t kText = 0x50000000, kIcon = 0x50000003, kBitmap = 0x5000000E, kBitmapEx = 0x10000;
constexpr uint32_t kButton = 0x50010000, kDefButton = 0x50010001, kCheckBox = 0x50010003,
                   kRadioButton = 0x50010009, kGroupBox = 0x50020007, kPicButton = 0x50000080,
                   kIconButton = 0x50000040;
constexpr uint32_t kEdit = 0x50010080, kPassword = 0x20;
constexpr uint32_t kMultiEdit = 0x50311144, kMultiEditWrap = 0x50211144;
constexpr uint32_t kRichEdit = 0x543150C4, kRichEditWrap = 0x54215044;
constexpr uint32_t kHScroll = 0x50010000, kVScroll = 0x50010001, kTabCtrl = 0x50010000;
constexpr uint32_t kDateEdit = 0x50000000, kTimeEdit = 0x50000009, kStatus = 0x50800820;
constexpr uint32_t kUpDown = 0x54000026, kTooltip = 0x80000001;
constexpr uint32_t kGridExStyle = 0x31;
constexpr uint32_t kToolbarCreate = 0x50000100;
}  // namespace create_style

// Styles by flags (bit 0 sorted, bit 1 multiple selection / editable).
uint32_t ListBoxStyle(int32_t flags, bool visibleChild);
uint32_t ChoiceBoxStyle(int32_t flags);
uint32_t GridBoxStyle(int32_t flags);
uint32_t HiddenGridStyle(int32_t flags);
// TB_SETSTYLE value for a toolbar look 0..3 (other looks as 0).
uint32_t ToolbarLookStyle(int32_t look);
// Toolbar button counts are kept within 0..99.
int32_t ClampToolbarButtons(int32_t buttons);

// SPINEDIT value: "pos" or "pos;lower;upper". False for a malformed number.
bool ParseSpinValue(const std::string& text, int32_t& pos, int32_t& lower, int32_t& upper);

// The field order of a short-date pattern: the letters of day, month and
// year as they come ("dMy" for "dd.MM.yyyy").
std::string DateFieldOrder(const std::string& shortDate, const std::string& separator);
// Day, month and year from a date text; all 0 when a field is no number.
void ParseDateText(const std::string& text, const std::string& separator, const std::string& order,
                   int32_t& day, int32_t& month, int32_t& year);
// Hours, minutes and seconds separated by ":"; unreadable parts are 0.
void ParseTimeText(const std::string& text, int32_t& hour, int32_t& minute, int32_t& second);

struct TGridColumn {
  std::string caption;
  int32_t format = 0, width = 100;
};
// "caption;align;width;..." three fields at a time. False (error 200) when
// an alignment or width is no number.
bool ParseGridColumns(const std::string& text, std::vector<TGridColumn>& out);

// The cells of a list-view row: the text split at the delimiter (an empty
// delimiter keeps it whole).
std::vector<std::string> SplitCells(const std::string& text, const std::string& delimiter);

struct TPictureInfo;
// The picture that CREATE("HPIC"/"HSIZEDPIC") loaded last and its scale
// (1.0, the aspect-ratio factor, or -1 for a stretched picture).
const TPictureInfo& LastCreatedPicture();
double LastPictureScale();
void ResetCreatedPicture();

// CREATE itself, registered by RegisterControlCommands.
struct TParStack;
void FnCreate(TParStack& ps);

}  // namespace korv
