#include "graphics/picture_file.h"

#include <cmath>
#include <fstream>

namespace korv {

namespace {
PictureDecoder* gDecoder = nullptr;
}

void SetPictureDecoder(PictureDecoder* decoder) { gDecoder = decoder; }
PictureDecoder* GetPictureDecoder() { return gDecoder; }

int32_t HimetricToPixels(int32_t himetric, int32_t dotsPerInch) {
  const double pixels = static_cast<double>(dotsPerInch) * himetric / kHimetricPerInch;
  return static_cast<int32_t>(std::lround(pixels));
}

uint32_t ColoursForBits(int32_t bitsPerPixel) {
  constexpr int32_t kAllColoursFrom = 31;
  if (bitsPerPixel <= 0) return 0;
  return bitsPerPixel >= kAllColoursFrom ? 0x7FFFFFFFu : (1u << bitsPerPixel);
}

PictureLoad LoadPictureFile(const std::string& path, int32_t w, int32_t h, TDecodedPicture& out) {
  out = TDecodedPicture{};
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return PictureLoad::Unreadable;
  const std::streamoff size = in.tellg();
  if (size < 0) return PictureLoad::Unreadable;
  if (size == 0) return PictureLoad::Empty;
  if (static_cast<uint64_t>(size) > kMaxPictureFileSize) return PictureLoad::Undecodable;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size)) return PictureLoad::Unreadable;
  if (!gDecoder || !gDecoder->Decode(bytes, w, h, out) || !out.handle) {
    out = TDecodedPicture{};
    return PictureLoad::Undecodable;
  }
  return PictureLoad::Loaded;
}

}  // namespace korv
