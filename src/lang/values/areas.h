// Memory areas: the blocks they own, name resolution of areas and area
// elements, the area assignment, and checked access to area memory.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "values/stores.h"
#include "values/value.h"

namespace korv {

// ---------------------------------------------------------------------------
// Blocks. Every block an area allocates is registered until it is freed, so
// the end of the program frees all of them and plain addresses into them are
// known to be valid.

// A zero-filled block of size bytes (a block of size 0 still has an
// address); nullptr when the allocation fails or size is negative.
void* AllocateBlock(int32_t size);
// Resizes an owned block keeping its contents up to the smaller size; new
// bytes are zero. nullptr on failure (the old block is then still valid).
void* ResizeBlock(void* base, int32_t newSize);
void FreeBlock(void* base);
void FreeAllBlocks();
int32_t LiveBlockCount();

// After a block moved, shrank or was freed: every other area whose Address
// pointed into it follows the block (same offset, size cut to the new end)
// or, when the block is gone, loses its address. owner is not touched.
void RelocateAreasInto(const TAreaFields* owner, void* oldBase, int32_t oldSize, void* newBase,
                       int32_t newSize);

// Frees the block an area owns and resets Address, Base and Size (kind and
// structure stay). An area that owns nothing only loses its address.
void DisposeArea(TAreaFields& a);

// Gives the area a block (DIM, NEW): an owned block is resized, otherwise a
// new one is allocated (a byte area that was a window onto foreign memory
// takes a copy of the bytes it could see). On failure the area is reset and
// false returned (the caller reports 240).
bool DimensionArea(TAreaFields& a, int32_t size, char kind, int32_t structIndex);

// Resets an area to the declared state, freeing the block it owns.
void ResetArea(TAreaFields& a);

// ---------------------------------------------------------------------------
// Resolution of "A#" and "A#[i,j]".
struct AreaRef {
  TAreaFields* area = nullptr;
  bool element = false;
};
enum class AreaLookup { Ok, Unknown, Failed, NotArea };
AreaLookup ResolveArea(const std::string& upperName, TParStack& ps, AreaRef& out);

// True for "A#" and for "A#[...]" (the two forms of an area name).
bool IsAreaName(const std::string& upperName);

// ---------------------------------------------------------------------------
// Checked access: false after error 207 (detail: name) when the range is
// outside [0, limit) (limit < 0: no limit) or not readable / writable.
bool CheckRange(const void* address, int64_t offset, int64_t length, int64_t limit, bool write,
                const std::string& name);

// The area assignment "target = expression" (the remaining text holds the
// expression); element: the target is an element of an area array.
bool AssignArea(TAreaFields& target, const std::string& targetName, bool element, TParStack& ps);

// The constructor-argument text kept by the last NEW.
const std::string& PendingNewArguments();
void SetPendingNewArguments(std::string text);

// Statements and functions of areas (areas_commands.cpp).
void RegisterAreaCommands();

}  // namespace korv
