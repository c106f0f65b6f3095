// Reading a BMP file into the pixel rows a GL texture takes: 24 bits per
// pixel, BGR, bottom-up rows padded to 4 bytes.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

struct BmpTexture {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rows;  // height rows of RowBytes(width) bytes, bottom row first
};

// Bytes of one 24-bit row, padded to a multiple of 4.
int64_t BmpRowBytes(int64_t width);

// Largest width or height accepted (GL implementations refuse more anyway).
constexpr int32_t kMaxTextureSide = 16384;

// Parses a whole file. Refuses (false) what is not a 24-bit uncompressed
// BMP whose pixel rows lie inside the file: no "BM", a header that does not
// fit, other bit depths, a width or height of 0 or beyond kMaxTextureSide,
// a pixel offset out of range. Top-down files are turned bottom-up.
bool ParseBmpTexture(const std::string& file, BmpTexture& out);

}  // namespace korv
