// Depths of the open blocks (conditions, selections, loops) that procedure
// frames save and restore.
#pragma once
#include <cstdint>

namespace korv {

struct BlockDepths {
  int32_t cond = 0;  // open IF/IFNOT levels
  int32_t sel = 0;   // open SELECT levels
  int32_t loop = 0;  // open loop levels
};
extern BlockDepths gBlocks;

}  // namespace korv
