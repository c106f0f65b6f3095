// Fuzz target: the bitmap-file reader. Any bytes must parse or be refused
// without fault; a parsed image must be consistent with itself (pixel and
// info blocks of the sizes its header states), and every pixel it reports
// must be readable.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "graphics/bmp_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korv::bmp::TBmpImage img;
  std::string why;
  if (!korv::bmp::Parse(data, size, img, &why)) {
    if (why.empty() || !img.pixels.empty()) std::abort();
    return 0;
  }
  const size_t rows = static_cast<size_t>(img.Rows());
  if (img.width <= 0 || rows == 0 || img.pixels.size() != img.stride * rows) std::abort();
  if (img.stride * 8 < static_cast<size_t>(img.width) * img.bitCount) std::abort();
  const size_t masks = img.compression == korv::bmp::kBitFields ? 12 : 0;
  if (img.info.size() != korv::bmp::kInfoHeaderSize + masks + img.tableEntries * 4) std::abort();
  if (img.bitCount <= 8 && (img.tableEntries == 0 || img.tableEntries > (1u << img.bitCount))) std::abort();
  // Corners, the diagonal and one step outside.
  const int32_t w = img.width, h = img.Rows();
  for (int32_t i = 0; i < 64; ++i) {
    const int32_t x = static_cast<int32_t>(int64_t{w - 1} * i / 63);
    const int32_t y = static_cast<int32_t>(int64_t{h - 1} * i / 63);
    if (img.PixelColour(x, y) > 0xFFFFFFu || img.PixelColour(x, h - 1 - y) > 0xFFFFFFu) std::abort();
  }
  if (img.PixelColour(w, 0) != 0xFFFFFFFFu || img.PixelColour(0, h) != 0xFFFFFFFFu) std::abort();
  return 0;
}
