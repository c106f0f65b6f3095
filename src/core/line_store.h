// The line store: one trimmed statement per slot, numbered from 1, with the
// source position of every slot.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

constexpr int32_t kMaxSlots = 262140;
constexpr int32_t kMaxLineLength = 32767;

struct Tdebuginfo {
  int32_t FileIndex = 0;  // into Program::files
  int32_t Line = 0;       // source line, 1-based, counted per file
  int32_t Reserved = 0;
  uint8_t ReservedByte = 0;
};

struct Program {
  std::vector<std::string> lines{std::string()};  // slot 0 unused
  std::vector<Tdebuginfo> debug{Tdebuginfo()};
  std::vector<std::string> files;
  uint32_t generation = 0;  // changes with every load (caches compare it)

  int32_t Length() const { return static_cast<int32_t>(lines.size()) - 1; }
  const std::string& FileOf(int32_t slot) const { return files[debug[slot].FileIndex]; }
  int32_t LineOf(int32_t slot) const { return debug[slot].Line; }
  void Clear() {
    lines.assign(1, std::string());
    debug.assign(1, Tdebuginfo());
    files.clear();
    ++generation;
  }
};

extern Program gProgram;

}  // namespace korv
