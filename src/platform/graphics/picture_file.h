// The picture-file loader behind CREATE("HPIC"/"HSIZEDPIC", -1, file$):
// the whole file is read here, the decoding into a bitmap of the display
// is the PictureDecoder's (OLE on Windows). Without a decoder every file
// that can be read counts as undecodable.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korv {

// HIMETRIC units (1/100 mm) per inch.
constexpr int32_t kHimetricPerInch = 2540;
// Files above this size are not read into memory.
constexpr size_t kMaxPictureFileSize = size_t{64} << 20;

// round(dots per inch x size / 2540), halves away from zero.
int32_t HimetricToPixels(int32_t himetric, int32_t dotsPerInch);

struct TDecodedPicture {
  uint32_t handle = 0;  // a bitmap compatible with the display
  int32_t width = 0, height = 0;
  uint32_t colours = 0;  // what the bitmap's pixel format can show
};

class PictureDecoder {
 public:
  virtual ~PictureDecoder() = default;
  // Decodes a whole file held in memory into a new bitmap of w x h pixels
  // (w, h <= 0: the picture's natural size on the display). False when the
  // bytes are no picture the platform decodes; nothing is left allocated.
  virtual bool Decode(const std::vector<uint8_t>& bytes, int32_t w, int32_t h, TDecodedPicture& out) = 0;
};
void SetPictureDecoder(PictureDecoder* decoder);
PictureDecoder* GetPictureDecoder();

enum class PictureLoad : uint8_t {
  Loaded,
  Unreadable,   // the file cannot be opened or read: error 300
  Empty,        // the file holds no byte: error 309
  Undecodable,  // no picture came out: warning 228 by the caller
};
constexpr int32_t kErrFileUnreadable = 300;
constexpr int32_t kErrInvalidFile = 309;

PictureLoad LoadPictureFile(const std::string& path, int32_t w, int32_t h, TDecodedPicture& out);

// The colour count a bitmap of that many bits per pixel can show (0x7FFFFFFF
// from 31 bits on).
uint32_t ColoursForBits(int32_t bitsPerPixel);

}  // namespace korv
