// OGLSPRITE records: the packed 277-byte structure a program keeps per
// sprite, and the motion step of a drawing.
#pragma once
#include <cstdint>
#include <string>

namespace korv {

constexpr int32_t kSpriteSize = 277;
constexpr int32_t kSpriteNameBytes = 33;  // 32 characters and the terminating 0

struct SpriteRecord {
  std::string typ;  // up to the terminating 0, at most 32 characters
  double pos[3], vel[3], max[3], min[3], rot[3], spin[3], colour[4];
  int32_t lastTick, dTick, mode, texture;
  double textureRepeat;
  double x, y, z, a, b;
  int32_t pathData;
};

// Reads / writes the packed layout (bytes must hold kSpriteSize bytes).
SpriteRecord UnpackSprite(const uint8_t* bytes);
void PackSprite(const SpriteRecord& s, uint8_t* bytes);

// The motion after a drawing at tick `now`: a first drawing only starts
// the clock; otherwise position and rotation advance by the ticks elapsed
// (as an unsigned difference, so the wrap of the tick counter after 49
// days costs nothing) or by one step per drawing, and the box applies.
void StepSprite(SpriteRecord& s, uint32_t now);

// Rounds to the nearest integer (halves away from zero), saturating.
int32_t RoundToInt(double v);

}  // namespace korv
