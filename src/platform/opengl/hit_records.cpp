#include "opengl/hit_records.h"

namespace korv {

int32_t NearestHit(const uint32_t* buffer, size_t words, int32_t hits) {
  constexpr size_t kRecordHead = 3;  // count, minimum depth, maximum depth
  int32_t best = -1;
  uint32_t bestDepth = 0;
  bool found = false;
  size_t at = 0;
  for (int32_t h = 0; h < hits; ++h) {
    if (at + kRecordHead > words) break;
    const uint32_t names = buffer[at];
    const uint32_t depth = buffer[at + 1];
    if (names > words - at - kRecordHead) break;  // record runs past the buffer
    if (names > 0 && (!found || depth < bestDepth)) {
      found = true;
      bestDepth = depth;
      best = static_cast<int32_t>(buffer[at + kRecordHead]);
    }
    at += kRecordHead + names;
  }
  return found ? best : -1;
}

}  // namespace korv
