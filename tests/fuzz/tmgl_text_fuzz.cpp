// Fuzz target: the text reader of model files. Any text must parse without
// fault; a model it accepts must hold every array its format names, with
// count vertices, and survive the binary form unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "opengl/tmgl_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  korv::TmglModel m;
  int32_t line = 0;
  if (korv::ParseTmglText(text, m, line) != korv::TmglTextStatus::Ok) return 0;
  if (m.count <= 0 || !m.positions == m.HasLetter('V')) std::abort();
  korv::TmglModel back;
  if (!korv::ParseTmglBinary(korv::WriteTmglBinary(m), back) || back.count != m.count) std::abort();
  for (int a = 0; a < 4; ++a) {
    if (back.own[a].size() != m.own[a].size()) std::abort();
    if (!m.own[a].empty() &&
        std::memcmp(back.own[a].data(), m.own[a].data(), m.own[a].size() * sizeof(double)) != 0)
      std::abort();
  }
  return 0;
}
