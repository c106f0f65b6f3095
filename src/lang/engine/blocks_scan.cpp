// The interpreter's jump over the forward scans of core/block_scan.h.
#include "engine/blocks.h"

#include "base/errors.h"
#include "engine/executor.h"

namespace korv {

int32_t ScanJump(BlockScan scan) {
  int32_t end = ScanBlockEnd(scan, gExec.pc);
  if (end == 0) {
    RaiseError(ScanMissingError(scan));
    return -1;
  }
  return ScanTarget(scan, end);
}

}  // namespace korv
