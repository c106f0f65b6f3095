// Builds BMP files in memory for the tests: headers as a writer of the
// format makes them, every field open to be spoiled afterwards.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace korv::test {

struct BmpSpec {
  int32_t width = 2, height = 2;  // negative height: rows from the top down
  uint16_t bits = 24;
  uint32_t compression = 0;
  std::vector<uint32_t> table;    // colour values 0x00BBGGRR
  std::vector<uint32_t> masks;    // bit fields (3 values) when given
  // Rows as the file stores them (first stored row first), each a list of
  // pixel values: colour values for 24 and 32 bits, indices or raw values
  // otherwise.
  std::vector<std::vector<uint32_t>> rows;
};

inline void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v);
  s[at + 1] = static_cast<char>(v >> 8);
}
inline void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
}

inline std::string MakeBmp(const BmpSpec& spec) {
  const size_t stride = (static_cast<size_t>(spec.width) * spec.bits + 31) / 32 * 4;
  const size_t rows = static_cast<size_t>(spec.height < 0 ? -spec.height : spec.height);
  const size_t off = 14 + 40 + spec.masks.size() * 4 + spec.table.size() * 4;
  std::string s(off + stride * rows, '\0');
  s[0] = 'B';
  s[1] = 'M';
  Put32(s, 2, static_cast<uint32_t>(s.size()));
  Put32(s, 10, static_cast<uint32_t>(off));
  Put32(s, 14, 40);
  Put32(s, 18, static_cast<uint32_t>(spec.width));
  Put32(s, 22, static_cast<uint32_t>(spec.height));
  Put16(s, 26, 1);
  Put16(s, 28, spec.bits);
  Put32(s, 30, spec.compression);
  Put32(s, 34, static_cast<uint32_t>(stride * rows));
  Put32(s, 46, static_cast<uint32_t>(spec.table.size()));
  size_t at = 54;
  for (uint32_t m : spec.masks) Put32(s, (at += 4) - 4, m);
  for (uint32_t c : spec.table) {  // RGBQUAD: blue, green, red, 0
    Put32(s, at, ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF));
    at += 4;
  }
  for (size_t r = 0; r < spec.rows.size() && r < rows; ++r) {
    const size_t base = off + r * stride;
    for (size_t x = 0; x < spec.rows[r].size(); ++x) {
      const uint32_t v = spec.rows[r][x];
      switch (spec.bits) {
        case 1: s[base + x / 8] = static_cast<char>(s[base + x / 8] | ((v & 1) << (7 - x % 8))); break;
        case 4: s[base + x / 2] = static_cast<char>(s[base + x / 2] | ((v & 15) << (x % 2 ? 0 : 4))); break;
        case 8: s[base + x] = static_cast<char>(v); break;
        case 16: Put16(s, base + 2 * x, static_cast<uint16_t>(v)); break;
        case 24:
          s[base + 3 * x] = static_cast<char>(v >> 16);  // blue first
          s[base + 3 * x + 1] = static_cast<char>(v >> 8);
          s[base + 3 * x + 2] = static_cast<char>(v);
          break;
        default: Put32(s, base + 4 * x, ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF)); break;
      }
    }
  }
  return s;
}

}  // namespace korv::test
