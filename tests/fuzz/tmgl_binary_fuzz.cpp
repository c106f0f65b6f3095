// Fuzz target: the binary reader of model files. Any bytes must parse
// without reading outside the file; an accepted model written again must
// read back with the same arrays.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "opengl/tmgl_model.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  korv::TmglModel m;
  if (!korv::ParseTmglBinary(file, m)) return 0;
  const std::string again = korv::WriteTmglBinary(m);
  if (static_cast<int64_t>(again.size()) != korv::TmglBinarySize(m)) std::abort();
  korv::TmglModel back;
  if (!korv::ParseTmglBinary(again, back) || back.count != m.count || back.format != m.format)
    std::abort();
  for (int a = 0; a < 4; ++a) {
    if (back.own[a].size() != m.own[a].size()) std::abort();
    if (!m.own[a].empty() &&
        std::memcmp(back.own[a].data(), m.own[a].data(), m.own[a].size() * sizeof(double)) != 0)
      std::abort();
  }
  return 0;
}
