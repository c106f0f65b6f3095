#include "opengl/bmp_texture.h"

#include <cstring>

namespace korv {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr size_t kCoreHeaderSize = 12;
constexpr uint32_t kBiRgb = 0;

uint32_t U32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + i]);
  return v;
}
uint16_t U16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}

}  // namespace

int64_t BmpRowBytes(int64_t width) { return (width * 3 + 3) / 4 * 4; }

bool ParseBmpTexture(const std::string& file, BmpTexture& out) {
  out = BmpTexture{};
  if (file.size() < kFileHeaderSize + 4 || file[0] != 'B' || file[1] != 'M') return false;
  const uint32_t offset = U32(file, 10);
  const uint32_t headerSize = U32(file, 14);
  int64_t width, height;
  uint16_t bits;
  if (headerSize == kInfoHeaderSize) {
    if (file.size() < kFileHeaderSize + kInfoHeaderSize) return false;
    width = static_cast<int32_t>(U32(file, 18));
    height = static_cast<int32_t>(U32(file, 22));
    bits = U16(file, 28);
    if (U32(file, 30) != kBiRgb) return false;  // compressed or bit fields
  } else {
    if (file.size() < kFileHeaderSize + kCoreHeaderSize) return false;
    width = U16(file, 18);
    height = U16(file, 20);
    bits = U16(file, 24);
  }
  if (bits != 24) return false;
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width <= 0 || height <= 0 || width > kMaxTextureSide || height > kMaxTextureSide) return false;
  const int64_t rowBytes = BmpRowBytes(width);
  const int64_t total = rowBytes * height;
  if (offset < kFileHeaderSize || static_cast<int64_t>(offset) + total > static_cast<int64_t>(file.size()))
    return false;
  out.width = static_cast<int32_t>(width);
  out.height = static_cast<int32_t>(height);
  out.rows.resize(static_cast<size_t>(total));
  const char* src = file.data() + offset;
  if (!topDown) {
    std::memcpy(out.rows.data(), src, static_cast<size_t>(total));
  } else {
    for (int64_t r = 0; r < height; ++r)
      std::memcpy(out.rows.data() + r * rowBytes, src + (height - 1 - r) * rowBytes,
                  static_cast<size_t>(rowBytes));
  }
  return true;
}

}  // namespace korv
