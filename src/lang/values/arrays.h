// Element pools and array elements. An array variable (TVarArr) is only a
// descriptor: its elements are consecutive entries of the pool of its kind,
// element (i, j, k) at First + i + (Bound1 + 1) * (j + k * (Bound2 + 1)).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "values/composite.h"
#include "values/stores.h"
#include "values/value.h"

namespace korv {

constexpr int32_t kPoolSize = 262141;
constexpr int32_t kPoolLast = kPoolSize - 1;  // at most this many elements of one kind

enum PoolId : int { kPoolInt = 0, kPoolLng, kPoolStr, kPoolSng, kPoolPtr, kPoolCount };

// Allocated on the first declaration of an array of the kind, kept for the
// process; entries 1..used are live.
struct TPools {
  std::vector<int32_t> ints, lngs;
  std::vector<std::string> strs;  // StrArr
  std::vector<double> sngs;
  std::vector<TAreaFields> ptrs;
  PoolMarks used{};
};
extern TPools gPools;

// Empties every pool (program start); the pools stay allocated.
void ResetPools();

// The pool of an element kind character; -1 for none.
int PoolOfKind(char elemKind);

// One element: the array's store index and the element's pool index.
struct ElementRef {
  int32_t array = 0;
  int32_t element = 0;
  char kind = ' ';
};

enum class Resolve { Ok, Unknown, Failed };

// Splits "NAME[list]" into the name and the text in brackets; false when the
// text is no such form (the bracket must close at the end).
bool SplitIndexed(const std::string& upper, std::string& name, std::string& inside);

// Resolves an element reference "A%[1,2]": Unknown when there is no array of
// that name (nothing reported), Failed after a report (254, 233, an index
// that did not evaluate).
Resolve ResolveElement(const std::string& upperOperand, TParStack& ps, ElementRef& out);

// Loads an element into gRes (243 for an area element without block).
bool LoadElement(const ElementRef& e, int expectedKind);

// The area fields of an element of an area array.
TAreaFields& AreaElement(int32_t element);

// CLEAR of a whole array: strings empty, numbers 0, areas zero-filled.
bool ClearArray(int32_t arrayIndex);

// Address of an element's value (ADDR): a string's characters, an area's
// Address, else the pool slot.
int32_t ElementAddress(const ElementRef& e);

// Text of an element for the string list; the converted write of a text.
std::string ElementText(int32_t arrayIndex, int32_t element);
void SetElementFromText(int32_t arrayIndex, int32_t element, const std::string& text);

// Stores the current gRes into a scalar element (not for areas).
void StoreElement(const ElementRef& e);

// MOVEARRTOLIST and MOVELISTTOARR (arrays_list.cpp).
void RegisterArrayListFunctions();

}  // namespace korv
