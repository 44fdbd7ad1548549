// The library's allocator: 32-byte aligned, zero-filled blocks from a private heap (or a caller's
// allocation hook), each of which can carry several planned sub-blocks.
#pragma once

#include <cstdint>

// Plans a sub-block of size bytes for the next MemAlloc, which writes its address to *slot.
// Returns 0 when the plan list cannot grow (the next MemAlloc then fails).
int MemPlan(void** slot, uint32_t size);
// Bytes planned so far (what the next MemAlloc adds after its own block).
uint32_t MemPlannedBytes();
// Allocates a zero-filled block of size bytes followed by all planned sub-blocks; clears the plan
// either way. Null on failure.
void* MemAlloc(uint32_t size);
void MemFree(void* block);

// The padded size MemPlan gives a sub-block of size bytes after planned bytes so far.
uint32_t MemPlannedSize(uint32_t plannedSoFar, uint32_t size);

template <typename T>
inline int MemPlanFor(T** slot, uint32_t size) {
  return MemPlan(reinterpret_cast<void**>(slot), size);
}
