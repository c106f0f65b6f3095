// The interpreter's number and text formatting switches. They keep their
// values for the whole run; SET and GET read and change them.
#pragma once
#include <cstdint>

namespace korv {

struct TSettings {
  int32_t NumWidth = 0;  // minimum field width of number-to-text conversion
  int32_t Decimals = 6;  // decimals of float-to-text conversion (0..35)
  int32_t StrWidth = 0;  // minimum field width of strings PRINTed to files
};

extern TSettings gSettings;

constexpr int32_t kMaxDecimals = 35;
constexpr int32_t kMaxFieldWidth = 32767;

void ResetSettings();

// Each setter stores the clamped value and returns the previous one.
int32_t SetDecimals(int32_t v);  // 0..35
int32_t SetNumWidth(int32_t v);  // below 0 counts as 0, at most 32767
int32_t SetStrWidth(int32_t v);  // as NumWidth

}  // namespace korv
