// The key strings of SENDSTRING: ordinary characters, "+", "^", "%" for
// Shift, Ctrl and Alt (for the next key, or for every key of a following
// "( ... )" group), "~" and "{NAME count}" key names.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv::keys {

struct KeyStroke {
  bool isChar = false;  // ch is sent as the key that produces it
  char ch = 0;
  int32_t vk = 0;       // virtual key when !isChar
  bool shift = false, ctrl = false, alt = false;
};

constexpr int32_t kMaxRepeat = 1000;  // repeat counts above are cut

// Virtual key of a brace name (case-insensitive), 0 when the name is none.
int32_t KeyNameCode(const std::string& name);
std::vector<KeyStroke> ParseKeyString(const std::string& text);

}  // namespace korv::keys
