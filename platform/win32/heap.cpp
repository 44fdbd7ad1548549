// The library's private heap: growable, serialised, created by whichever thread needs it first.
#include <atomic>
#include <cstdint>

#include "platform/win32/win32.h"

namespace {

std::atomic<HANDLE> gHeap{nullptr};

HANDLE Heap() {
  HANDLE heap = gHeap.load(std::memory_order_acquire);
  if (heap != nullptr) return heap;
  HANDLE created = HeapCreate(0, 256, 0);
  if (created == nullptr) return nullptr;
  // Two first users may race: one heap wins, the other is destroyed unused.
  if (!gHeap.compare_exchange_strong(heap, created, std::memory_order_acq_rel)) {
    HeapDestroy(created);
    return heap;
  }
  return created;
}

}  // namespace

void* PlatformHeapAllocate(uint64_t bytes) {
  if (bytes > static_cast<uint64_t>(PTRDIFF_MAX)) return nullptr;
  HANDLE heap = Heap();
  return heap == nullptr ? nullptr : HeapAlloc(heap, 0, static_cast<SIZE_T>(bytes));
}

void PlatformHeapRelease(void* block) {
  if (block != nullptr) HeapFree(gHeap.load(std::memory_order_acquire), 0, block);
}
