// The select buffer of GL selection mode after glRenderMode(GL_RENDER).
#pragma once
#include <cstddef>
#include <cstdint>

namespace korv {

// Each hit record is: name count n, minimum depth, maximum depth, n names.
// Returns the first name of the record with the smallest minimum depth
// (unsigned; the first on ties), reading at most `hits` records and never
// past `words`; -1 when hits < 1 or no complete record with a name is found.
int32_t NearestHit(const uint32_t* buffer, size_t words, int32_t hits);

}  // namespace korv
