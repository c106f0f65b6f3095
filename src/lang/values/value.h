// The three-form value that every operand, variable read and function result
// travels in, and the parameter record of a procedure invocation.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace korv {

// The longest string a program can build (by an operator, an assignment, a
// function or a read); what would grow beyond it is refused with an error
// report instead of exhausting the memory of the process.
constexpr size_t kMaxStringLength = size_t{64} << 20;

// Result kind codes.
namespace kind {
constexpr uint8_t kNone = 0;
constexpr uint8_t kString = 1;
constexpr uint8_t kInt = 2;
constexpr uint8_t kLong = 3;
constexpr uint8_t kFloat = 4;
constexpr uint8_t kObject = 10;
constexpr uint8_t kAddress = 11;
constexpr uint8_t kArray = 20;
}  // namespace kind

struct TEvalResult {
  int32_t IntValue = 0;
  double FloatValue = 0.0;
  std::string StrValue;
  uint8_t ResultKind = kind::kNone;
  char AreaKind = ' ';  // ' ' none, 'b', 's', 'o', or 'n' for a NEW result
  int32_t AreaSize = 0;
  int32_t AreaStruct = 0;
  // Inside an evaluation the text form of a number may be left to be made
  // when something needs it (MaterializeText); Evaluate always hands out a
  // result whose StrValue is made.
  enum : uint8_t { kTextMade, kTextFromInt, kTextFromFloat };
  uint8_t PendingText = kTextMade;

  void Reset() {
    IntValue = 0;
    FloatValue = 0.0;
    StrValue.clear();
    PendingText = kTextMade;
    ResultKind = kind::kNone;
    AreaKind = ' ';
    AreaSize = 0;
    AreaStruct = 0;
  }
};

constexpr int kParSlots = 16;  // slot 0 takes the RETURN value

// to = from, left out when both are empty: the strings a call saves and
// copies (argument texts, object names) are empty in most calls.
inline void AssignUnlessBothEmpty(std::string& to, const std::string& from) {
  if (!to.empty() || !from.empty()) to = from;
}

struct TParStack {
  std::array<std::string, kParSlots> StrValue{};
  std::array<int32_t, kParSlots> IntValue{};
  std::array<double, kParSlots> FloatValue{};
  std::array<char, kParSlots> AreaKind{' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                                       ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  std::array<int32_t, kParSlots> AreaSize{};
  std::array<int32_t, kParSlots> AreaStruct{};
  std::array<uint8_t, kParSlots> ValueKind{};
  // A number's text form may be left to be made when it is read: how
  // (TEvalResult::PendingText) and the DECIMALS and NUMWIDTH of the moment
  // the value was read (TextFormat).
  std::array<uint8_t, kParSlots> PendingText{};
  std::array<std::pair<int32_t, int32_t>, kParSlots> TextFormat{};
  int32_t Count = 0;  // arguments of this call (1..15 used)
  // Every slot above Used holds what a new record holds: slots are set
  // through SetSlot only, so no slot above the highest one set since (or
  // copied by CopyFrom) was changed. A copy leaves such slots out.
  int32_t Used = 0;

  // A copy of o that touches only the slots either record has used, and of
  // those only the strings either holds: most slots of a procedure call
  // hold none, and a call copies its caller's record.
  void CopyFrom(const TParStack& o) {
    const size_t n = static_cast<size_t>(Used > o.Used ? Used : o.Used) + 1;
    for (size_t i = 0; i < n; ++i) {
      AssignUnlessBothEmpty(StrValue[i], o.StrValue[i]);
      IntValue[i] = o.IntValue[i];
      FloatValue[i] = o.FloatValue[i];
      AreaKind[i] = o.AreaKind[i];
      AreaSize[i] = o.AreaSize[i];
      AreaStruct[i] = o.AreaStruct[i];
      ValueKind[i] = o.ValueKind[i];
      PendingText[i] = o.PendingText[i];
      TextFormat[i] = o.TextFormat[i];
    }
    Count = o.Count;
    Used = o.Used;
  }

  void SetSlot(int i, const TEvalResult& r) {
    PendingText[i] = r.PendingText;
    if (r.PendingText == TEvalResult::kTextMade) StrValue[i] = r.StrValue;
    else StrValue[i].clear();
    IntValue[i] = r.IntValue;
    FloatValue[i] = r.FloatValue;
    AreaKind[i] = r.AreaKind;
    AreaSize[i] = r.AreaSize;
    AreaStruct[i] = r.AreaStruct;
    ValueKind[i] = r.ResultKind;
    if (i > Used) Used = i;
  }
  // The text form stays pending where it was (see TextFormat).
  void GetSlot(int i, TEvalResult& r) const {
    r.PendingText = PendingText[i];
    r.StrValue = StrValue[i];
    r.IntValue = IntValue[i];
    r.FloatValue = FloatValue[i];
    r.AreaKind = AreaKind[i];
    r.AreaSize = AreaSize[i];
    r.AreaStruct = AreaStruct[i];
    r.ResultKind = ValueKind[i];
  }
};

}  // namespace korv
