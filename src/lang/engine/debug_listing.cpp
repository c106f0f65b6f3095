// The variable listing of a debug-information box.
#include "base/text.h"
#include "engine/executor.h"
#include "values/evaluator.h"
#include "values/stores.h"

namespace korv {

std::string DebugListingEntry(const std::string& upperName) {
  int32_t idx = Find(upperName);
  if (idx == 0) return std::string();
  std::string value;
  switch (upperName.back()) {
    case '$': value = gStores.strs[idx].Value; break;
    case '!': value = FloatToText(gStores.sngs[idx].Value); break;
    case '%': value = ToDecimal(gStores.ints[idx].Value); break;
    case '&': value = ToDecimal(gStores.lngs[idx].Value); break;
    default: return std::string();  // areas are not listed
  }
  return upperName + " = " + value + "\r";
}

}  // namespace korv
