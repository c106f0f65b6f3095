// The bitmap-file reader: checks a BMP file's headers against the file's
// size and against sane dimensions before anything is handed to the
// platform, and keeps what a device-independent bitmap needs: the info
// block (header, bit-field masks, colour table) and the pixel rows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace korv::bmp {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
// Larger images are refused: a 32-bit process cannot hold them next to
// the window's back buffer anyway.
constexpr int32_t kMaxSide = 16384;
constexpr int64_t kMaxPixels = int64_t{1} << 24;
constexpr uint32_t kRgb = 0, kBitFields = 3;

struct TBmpImage {
  int32_t width = 0;
  int32_t height = 0;  // as stored: negative for rows from the top down
  uint16_t bitCount = 0;
  uint32_t compression = kRgb;
  uint32_t tableEntries = 0;  // colour-table entries; 0 = no palette
  size_t stride = 0;          // bytes per pixel row
  // BITMAPINFOHEADER (size, used colours and image size made consistent),
  // then the three masks for bit fields, then the colour table (RGBQUAD).
  std::vector<uint8_t> info;
  std::vector<uint8_t> pixels;  // stride * |height| bytes

  int32_t Rows() const { return height < 0 ? -height : height; }
  bool TopDown() const { return height < 0; }
  // Colour table entry i as a colour value 0x00BBGGRR.
  uint32_t TableColour(uint32_t i) const;
  // The colour value of the pixel (x, y), y counted from the top row of
  // the picture; 0xFFFFFFFF outside the picture.
  uint32_t PixelColour(int32_t x, int32_t y) const;
  // The number of colours the picture can show (table size, else 2^bits).
  uint32_t ColourCount() const;
};

// Parses a whole file held in memory. False when the file is no bitmap
// this reader takes; why then names the reason.
bool Parse(const uint8_t* data, size_t size, TBmpImage& out, std::string* why = nullptr);

// Reads and parses a file. False when it cannot be read or parsed.
bool LoadFile(const std::string& path, TBmpImage& out, std::string* why = nullptr);

}  // namespace korv::bmp
