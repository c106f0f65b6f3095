// MOVEARRTOLIST and MOVELISTTOARR: whole arrays into and out of the string
// list.
#include "base/errors.h"
#include "values/string_list.h"
#include "values/arrays.h"
#include "base/names.h"
#include "values/evaluator.h"
#include "values/functions_support.h"

namespace korv {

namespace {

// The whole-array argument "A%[]"; 0 after a report.
int32_t WholeArrayArgument(TParStack& ps) {
  if (!fn::Arg(ps, true, kind::kArray)) return 0;
  int32_t a = gRes.IntValue;
  if (a < 1 || a > gStores.counts.count[kStoreArr]) return 0;  // unknown: 215 was given
  return a;
}

void FnMoveArrToList(TParStack& ps) {
  int32_t a = WholeArrayArgument(ps);
  if (a == 0) {
    fn::SetEmpty(kind::kInt);
    return;
  }
  const TVarArr& arr = gStores.arrs[a];
  if (PoolOfKind(arr.ElemKind) < 0) {
    RaiseError(277, arr.Name);
    fn::SetEmpty(kind::kInt);
    return;
  }
  int32_t moved = 0;
  for (int32_t i = 0; i < arr.Count; ++i) {
    if (!AddToStringList(ElementText(a, arr.First + i))) break;
    ++moved;
  }
  fn::SetInt(moved);
}

void FnMoveListToArr(TParStack& ps) {
  int32_t a = WholeArrayArgument(ps);
  if (a == 0) {
    fn::SetEmpty(kind::kInt);
    return;
  }
  const TVarArr& arr = gStores.arrs[a];
  if (arr.ElemKind == '#') {
    RaiseError(283);
    fn::SetEmpty(kind::kInt);
    return;
  }
  if (PoolOfKind(arr.ElemKind) < 0) {
    RaiseError(277, arr.Name);
    fn::SetEmpty(kind::kInt);
    return;
  }
  const std::vector<std::string>& list = StringList();
  int32_t n = static_cast<int32_t>(list.size());
  if (n > arr.Count) {
    RaiseWarning(282);
    n = arr.Count;
  }
  for (int32_t i = 0; i < n; ++i) SetElementFromText(a, arr.First + i, list[static_cast<size_t>(i)]);
  fn::SetInt(n);
}

}  // namespace

void RegisterArrayListFunctions() {
#define KORV_UNIT_array_lists 1
#include "base/bind_unit.h"
#undef KORV_UNIT_array_lists
}

}  // namespace korv
