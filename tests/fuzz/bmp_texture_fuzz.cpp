// Fuzz target: the BMP reader of textures. Any bytes must parse without
// reading outside the file; an accepted picture has the rows its size
// promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "opengl/bmp_texture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  korv::BmpTexture t;
  if (!korv::ParseBmpTexture(file, t)) return 0;
  if (t.width <= 0 || t.height <= 0 || t.width > korv::kMaxTextureSide ||
      t.height > korv::kMaxTextureSide)
    std::abort();
  if (static_cast<int64_t>(t.rows.size()) != korv::BmpRowBytes(t.width) * t.height) std::abort();
  return 0;
}
