#include "graphics/bmp_file.h"

#include <cstring>
#include <fstream>

namespace korv::bmp {

namespace {

constexpr uint16_t kMagic = 0x4D42;  // "BM"
constexpr size_t kMaskBytes = 12;
// Files above this size are refused before they are read.
constexpr int64_t kMaxFileSize = int64_t{256} << 20;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool Fail(std::string* why, const char* text) {
  if (why) *why = text;
  return false;
}

bool KnownDepth(uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

// One channel of a bit-field pixel, scaled to 0..255.
uint32_t Channel(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = 0;
  while (((mask >> shift) & 1) == 0) ++shift;
  const uint64_t top = mask >> shift;
  return static_cast<uint32_t>(((pixel & mask) >> shift) * 255 / top);
}

}  // namespace

uint32_t TBmpImage::TableColour(uint32_t i) const {
  const size_t at = kInfoHeaderSize + (compression == kBitFields ? kMaskBytes : 0) + size_t{i} * 4;
  if (i >= tableEntries || at + 4 > info.size()) return 0;
  const uint8_t* q = &info[at];  // blue, green, red, reserved
  return q[2] | (q[1] << 8) | (static_cast<uint32_t>(q[0]) << 16);
}

uint32_t TBmpImage::PixelColour(int32_t x, int32_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= Rows()) return 0xFFFFFFFFu;
  const int32_t row = TopDown() ? y : Rows() - 1 - y;
  const uint8_t* p = pixels.data() + static_cast<size_t>(row) * stride;
  switch (bitCount) {
    case 1: return TableColour((p[x / 8] >> (7 - x % 8)) & 1);
    case 4: return TableColour((p[x / 2] >> (x % 2 ? 0 : 4)) & 15);
    case 8: return TableColour(p[x]);
    case 24: {
      const uint8_t* q = p + static_cast<size_t>(x) * 3;
      return q[2] | (q[1] << 8) | (static_cast<uint32_t>(q[0]) << 16);
    }
    default: break;
  }
  uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};  // 16 bits: 5-5-5
  if (bitCount == 32) {
    masks[0] = 0xFF0000;
    masks[1] = 0xFF00;
    masks[2] = 0xFF;
  }
  if (compression == kBitFields) {
    for (int i = 0; i < 3; ++i) masks[i] = U32(&info[kInfoHeaderSize + 4 * i]);
  }
  const uint32_t px = bitCount == 16 ? U16(p + static_cast<size_t>(x) * 2) : U32(p + static_cast<size_t>(x) * 4);
  return Channel(px, masks[0]) | (Channel(px, masks[1]) << 8) | (Channel(px, masks[2]) << 16);
}

uint32_t TBmpImage::ColourCount() const {
  if (tableEntries && bitCount <= 8) return tableEntries;
  return bitCount >= 24 ? (1u << 24) : (1u << bitCount);
}

bool Parse(const uint8_t* data, size_t size, TBmpImage& out, std::string* why) {
  out = TBmpImage{};
  if (size < kFileHeaderSize + kInfoHeaderSize) return Fail(why, "file too short");
  if (U16(data) != kMagic) return Fail(why, "no BM signature");
  const uint32_t offBits = U32(data + 10);
  const uint8_t* h = data + kFileHeaderSize;
  if (U32(h) != kInfoHeaderSize) return Fail(why, "info header is not 40 bytes");
  const int32_t width = static_cast<int32_t>(U32(h + 4));
  const int32_t height = static_cast<int32_t>(U32(h + 8));
  const uint16_t planes = U16(h + 12), bits = U16(h + 14);
  const uint32_t compression = U32(h + 16), used = U32(h + 32);
  if (planes != 1) return Fail(why, "planes is not 1");
  if (!KnownDepth(bits)) return Fail(why, "unknown bits per pixel");
  if (width <= 0 || width > kMaxSide || height == 0 || height < -kMaxSide || height > kMaxSide)
    return Fail(why, "dimensions out of range");
  const int64_t rows = height < 0 ? -int64_t{height} : height;
  if (width * rows > kMaxPixels) return Fail(why, "too many pixels");
  if (compression != kRgb && !(compression == kBitFields && (bits == 16 || bits == 32)))
    return Fail(why, "unsupported compression");

  // The colour table: required below 9 bits (of the stated size, at most
  // 2^bits entries), optional and unused above.
  uint32_t entries = 0;
  if (bits <= 8) {
    const uint32_t full = 1u << bits;
    if (used > full) return Fail(why, "colour table too large");
    entries = used ? used : full;
  }
  const size_t masks = compression == kBitFields ? kMaskBytes : 0;
  const size_t tableEnd = kFileHeaderSize + kInfoHeaderSize + masks + size_t{entries} * 4;
  const size_t stride = static_cast<size_t>((int64_t{width} * bits + 31) / 32 * 4);
  const uint64_t imageBytes = uint64_t{stride} * static_cast<uint64_t>(rows);
  if (tableEnd > size) return Fail(why, "colour table beyond the end of the file");
  if (offBits < tableEnd) return Fail(why, "pixel data overlaps the headers");
  if (uint64_t{offBits} + imageBytes > size) return Fail(why, "pixel data beyond the end of the file");

  out.width = width;
  out.height = height;
  out.bitCount = bits;
  out.compression = compression;
  out.tableEntries = entries;
  out.stride = stride;
  out.info.assign(h, data + tableEnd);
  Put32(&out.info[20], static_cast<uint32_t>(imageBytes));
  Put32(&out.info[32], entries);
  Put32(&out.info[36], 0);  // all colours count
  out.pixels.assign(data + offBits, data + offBits + imageBytes);
  return true;
}

bool LoadFile(const std::string& path, TBmpImage& out, std::string* why) {
  out = TBmpImage{};
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return Fail(why, "cannot open the file");
  const std::streamoff size = in.tellg();
  if (size < 0 || size > kMaxFileSize) return Fail(why, "file size out of range");
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size)) return Fail(why, "cannot read the file");
  return Parse(bytes.data(), bytes.size(), out, why);
}

}  // namespace korv::bmp
