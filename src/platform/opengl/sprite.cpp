#include "opengl/sprite.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace korv {

namespace {

enum BoxMode : int32_t { kBounce = 1, kStop = 2, kWrap = 3 };

// Offsets of the packed layout.
constexpr size_t kPosAt = 33, kVelAt = 57, kMaxAt = 81, kMinAt = 105, kRotAt = 129,
                 kSpinAt = 153, kColourAt = 177, kLastTickAt = 209, kDTickAt = 213,
                 kModeAt = 217, kTextureAt = 221, kRepeatAt = 225, kShapeAt = 233,
                 kPathAt = 273;

double GetD(const uint8_t* p, size_t at) {
  double v;
  std::memcpy(&v, p + at, 8);
  return v;
}
int32_t GetI(const uint8_t* p, size_t at) {
  int32_t v;
  std::memcpy(&v, p + at, 4);
  return v;
}
void PutD(uint8_t* p, size_t at, double v) { std::memcpy(p + at, &v, 8); }
void PutI(uint8_t* p, size_t at, int32_t v) { std::memcpy(p + at, &v, 4); }

void GetVec(const uint8_t* p, size_t at, double* v, int n) {
  for (int i = 0; i < n; ++i) v[i] = GetD(p, at + 8 * i);
}
void PutVec(uint8_t* p, size_t at, const double* v, int n) {
  for (int i = 0; i < n; ++i) PutD(p, at + 8 * i, v[i]);
}

double Normalised(double angle) {
  if (angle < 0) angle += 360;
  if (angle > 360) angle -= 360;
  return angle;
}

}  // namespace

int32_t RoundToInt(double v) {
  if (!(v == v)) return 0;
  const double r = std::round(v);
  if (r >= 2147483647.0) return std::numeric_limits<int32_t>::max();
  if (r <= -2147483648.0) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(r);
}

SpriteRecord UnpackSprite(const uint8_t* p) {
  SpriteRecord s{};
  size_t n = 0;
  while (n < kSpriteNameBytes - 1 && p[n] != 0) ++n;
  s.typ.assign(reinterpret_cast<const char*>(p), n);
  GetVec(p, kPosAt, s.pos, 3);
  GetVec(p, kVelAt, s.vel, 3);
  GetVec(p, kMaxAt, s.max, 3);
  GetVec(p, kMinAt, s.min, 3);
  GetVec(p, kRotAt, s.rot, 3);
  GetVec(p, kSpinAt, s.spin, 3);
  GetVec(p, kColourAt, s.colour, 4);
  s.lastTick = GetI(p, kLastTickAt);
  s.dTick = GetI(p, kDTickAt);
  s.mode = GetI(p, kModeAt);
  s.texture = GetI(p, kTextureAt);
  s.textureRepeat = GetD(p, kRepeatAt);
  double shape[5];
  GetVec(p, kShapeAt, shape, 5);
  s.x = shape[0], s.y = shape[1], s.z = shape[2], s.a = shape[3], s.b = shape[4];
  s.pathData = GetI(p, kPathAt);
  return s;
}

void PackSprite(const SpriteRecord& s, uint8_t* p) {
  // The name bytes are the program's: only the numbers change.
  PutVec(p, kPosAt, s.pos, 3);
  PutVec(p, kVelAt, s.vel, 3);
  PutVec(p, kMaxAt, s.max, 3);
  PutVec(p, kMinAt, s.min, 3);
  PutVec(p, kRotAt, s.rot, 3);
  PutVec(p, kSpinAt, s.spin, 3);
  PutVec(p, kColourAt, s.colour, 4);
  PutI(p, kLastTickAt, s.lastTick);
  PutI(p, kDTickAt, s.dTick);
  PutI(p, kModeAt, s.mode);
  PutI(p, kTextureAt, s.texture);
  PutD(p, kRepeatAt, s.textureRepeat);
  const double shape[5] = {s.x, s.y, s.z, s.a, s.b};
  PutVec(p, kShapeAt, shape, 5);
  PutI(p, kPathAt, s.pathData);
}

void StepSprite(SpriteRecord& s, uint32_t now) {
  if (s.lastTick == 0) s.lastTick = static_cast<int32_t>(now);
  if (s.dTick != 0) {
    const uint32_t elapsed = now - static_cast<uint32_t>(s.lastTick);
    const double f = s.dTick > 0 ? static_cast<double>(elapsed) / s.dTick : 1.0;
    for (int i = 0; i < 3; ++i) s.pos[i] += f * s.vel[i];
    for (int i = 0; i < 3; ++i) {
      if (s.pos[i] <= s.max[i]) continue;
      if (s.mode == kBounce) s.pos[i] = s.max[i], s.vel[i] = -std::fabs(s.vel[i]);
      else if (s.mode == kStop) s.pos[i] = s.max[i];
      else if (s.mode == kWrap) s.pos[i] = s.min[i];
    }
    for (int i = 0; i < 3; ++i) {
      if (s.pos[i] >= s.min[i]) continue;
      if (s.mode == kBounce) s.pos[i] = s.min[i], s.vel[i] = std::fabs(s.vel[i]);
      else if (s.mode == kStop) s.pos[i] = s.min[i];
      else if (s.mode == kWrap) s.pos[i] = s.max[i];
    }
    for (int i = 0; i < 3; ++i) s.rot[i] = Normalised(s.rot[i] + f * s.spin[i]);
  }
  s.lastTick = static_cast<int32_t>(now);
}

}  // namespace korv
