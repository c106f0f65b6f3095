// The byte codes of the compiled form with a meaning of their own, and the
// token bytes of compiled arguments. The codes of all names are in the name
// lists (base/names.h).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/names.h"

namespace korv {

namespace code {
// Command codes with a meaning of their own in the compiler or the runtime.
constexpr uint8_t kProgEnd = 2;
constexpr uint8_t kSubproc = 31;
constexpr uint8_t kNoOp = 39;  // REM, empty slot, TRACEON/TRACEOFF, SETLFN, $B, $D
constexpr uint8_t kUntil = 42;
constexpr uint8_t kRepeat = 43;
constexpr uint8_t kClass = 49;
constexpr uint8_t kWhileLoop = 51;
constexpr uint8_t kStruct = 54;
constexpr uint8_t kContinue = 59;
constexpr uint8_t kBreak = 60;
constexpr uint8_t kExpression = 64;  // a statement that is a function call
constexpr uint8_t kErrorProc = 80;
constexpr uint8_t kOtherwise = 93;
constexpr uint8_t kEndSelect = 117;
constexpr uint8_t kSelect = 121;
constexpr uint8_t kCaseOf = 122;
constexpr uint8_t kCase = 129;
constexpr uint8_t kCaseNot = 130;
constexpr uint8_t kDef = 131;
constexpr uint8_t kEndIf = 132;
constexpr uint8_t kIf = 133;
constexpr uint8_t kElse = 134;
constexpr uint8_t kIfNot = 135;
constexpr uint8_t kWhile = 136;
constexpr uint8_t kWhileNot = 137;
constexpr uint8_t kEndWhile = 138;
constexpr uint8_t kReturn = 139;
constexpr uint8_t kEndProc = 140;
constexpr uint8_t kProc = 143;
constexpr uint8_t kElseIf = 243;
constexpr uint8_t kLabel = 254;
constexpr uint8_t kUserProc = 255;  // call of a user procedure by its header slot

// Token bytes inside compiled arguments.
constexpr char kOperatorToken = '\x15';  // 0x15, letter, precedence digit, '|'
constexpr char kProcToken = '\x14';      // "@", 0x14, 4-byte header slot
constexpr char kMethodToken = '\x13';    // "@", 0x13, name, ":"
constexpr char kDefToken = '\xFE';       // sigil, 0xFE, 4-byte DEF slot
constexpr char kFunctionMark = '@';      // "@", function code

// The operator tokens and the source text each replaces (word operators
// with their surrounding blanks), in the order the compiler replaces them.
struct OperatorSpelling {
  std::string_view text;
  std::string_view token;
};
inline constexpr OperatorSpelling kOperatorSpellings[] = {
    {" AND ", "\x15" "A4|"}, {" MOD ", "\x15" "M4|"}, {" OR ", "\x15" "O3|"},
    {" & ", "\x15" "a4|"},   {" | ", "\x15" "|3|"},   {">>", "\x15" "r4|"},
    {"<<", "\x15" "l4|"},    {"<>", "\x15" "#1|"},    {">=", "\x15" "G1|"},
    {"<=", "\x15" "L1|"},
};
}  // namespace code

// Little-endian 32-bit numbers inside compiled statements.
inline void PutLe32(std::string& out, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((u >> (8 * i)) & 0xFF));
}
inline int32_t GetLe32(std::string_view s, size_t at) {
  uint32_t u = 0;
  for (int i = 0; i < 4; ++i) {
    size_t k = at + static_cast<size_t>(i);
    uint32_t b = k < s.size() ? static_cast<unsigned char>(s[k]) : 0u;
    u |= b << (8 * i);
  }
  return static_cast<int32_t>(u);
}

}  // namespace korv
