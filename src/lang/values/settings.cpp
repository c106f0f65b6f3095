#include "values/settings.h"

namespace korv {

TSettings gSettings;

void ResetSettings() { gSettings = TSettings(); }

namespace {
int32_t ClampWidth(int32_t v) {
  if (v < 0) return 0;
  return v > kMaxFieldWidth ? kMaxFieldWidth : v;
}
}  // namespace

int32_t SetDecimals(int32_t v) {
  int32_t old = gSettings.Decimals;
  gSettings.Decimals = v < 0 ? 0 : (v > kMaxDecimals ? kMaxDecimals : v);
  return old;
}

int32_t SetNumWidth(int32_t v) {
  int32_t old = gSettings.NumWidth;
  gSettings.NumWidth = ClampWidth(v);
  return old;
}

int32_t SetStrWidth(int32_t v) {
  int32_t old = gSettings.StrWidth;
  gSettings.StrWidth = ClampWidth(v);
  return old;
}

}  // namespace korv
