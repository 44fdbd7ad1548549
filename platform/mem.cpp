// The library's allocator. One MemAlloc call makes one raw allocation that holds the caller's block
// followed by every sub-block planned with MemPlan since the last call; each sub-block's start is
// shifted within a 1024-byte period so that parallel planes do not alias in the cache.
#include "platform/mem.h"

#include <cstring>

#include "platform/mem_hook.h"
#include "platform/platform.h"

namespace {

constexpr uint32_t kAlign = 32;
constexpr uint32_t kHeaderRoom = 64;  // the aligned block starts 33..64 bytes into the raw one
constexpr uint8_t kKindHeap = 0;
constexpr uint8_t kKindHook = 3;

struct Plan {
  void** slot;
  uint32_t size;
};

// The plan belongs to the thread that makes it: opens on different threads cannot mix plans.
struct PlanList {
  Plan fixed[32];
  Plan* entries = fixed;
  uint32_t capacity = 32;
  uint32_t count = 0;
  uint32_t total = 0;
  int overflowed = 0;  // a plan could not be recorded: the next MemAlloc fails
};
thread_local PlanList tPlan;

MemAllocHookFunc gAllocHook = nullptr;
MemFreeHookFunc gFreeHook = nullptr;

uint32_t RoundUp32(uint32_t n) { return (n + (kAlign - 1)) & ~(kAlign - 1); }

void ClearPlan() {
  if (tPlan.entries != tPlan.fixed) PlatformHeapRelease(tPlan.entries);
  tPlan.entries = tPlan.fixed;
  tPlan.capacity = 32;
  tPlan.count = 0;
  tPlan.total = 0;
  tPlan.overflowed = 0;
}

int GrowPlan() {
  uint64_t bytes = uint64_t(tPlan.capacity) * 2 * sizeof(Plan);
  Plan* grown = static_cast<Plan*>(PlatformHeapAllocate(bytes));
  if (!grown) return 0;
  std::memcpy(grown, tPlan.entries, tPlan.count * sizeof(Plan));
  if (tPlan.entries != tPlan.fixed) PlatformHeapRelease(tPlan.entries);
  tPlan.entries = grown;
  tPlan.capacity *= 2;
  return 1;
}

// Gets the raw storage: from the caller's hook when one is installed and accepts, else the heap.
uint8_t* RawAllocate(uint64_t bytes, uint8_t* kind, MemFreeHookFunc* release) {
  if (gAllocHook && bytes <= 0xFFFFFFFFu) {
    void* p = gAllocHook(uint32_t(bytes));
    if (p == reinterpret_cast<void*>(~uintptr_t(0))) return nullptr;
    if (p) {
      *kind = kKindHook;
      *release = gFreeHook;
      return static_cast<uint8_t*>(p);
    }
  }
  *kind = kKindHeap;
  *release = nullptr;
  return static_cast<uint8_t*>(PlatformHeapAllocate(bytes));
}

}  // namespace

uint32_t MemPlannedSize(uint32_t plannedSoFar, uint32_t size) {
  uint32_t rounded = RoundUp32(size);
  uint32_t shift = ((plannedSoFar / kAlign) - (rounded / kAlign) + 1u) % 32u;
  return rounded + shift * kAlign;
}

int MemPlan(void** slot, uint32_t size) {
  if (tPlan.count == tPlan.capacity && !GrowPlan()) {
    tPlan.overflowed = 1;
    return 0;
  }
  uint32_t planned = MemPlannedSize(tPlan.total, size);
  if (size > 0xFFFFFFFFu - 2 * 1024 || planned < size ||
      tPlan.total > 0xFFFFFFFFu - planned) {
    tPlan.overflowed = 1;  // a sum past 32 bits can never be allocated
    return 0;
  }
  tPlan.entries[tPlan.count++] = {slot, planned};
  tPlan.total += planned;
  return 1;
}

uint32_t MemPlannedBytes() { return tPlan.total; }

void* MemAlloc(uint32_t size) {
  uint64_t total = uint64_t(tPlan.total) + ((uint64_t(size) + (kAlign - 1)) & ~uint64_t(kAlign - 1));
  if (total == 0 || total >= 0xFFFFFFFFu || tPlan.overflowed) {
    ClearPlan();
    return nullptr;
  }
  uint8_t kind = kKindHeap;
  MemFreeHookFunc release = nullptr;
  uint8_t* raw = RawAllocate(total + kHeaderRoom, &kind, &release);
  if (!raw) {
    ClearPlan();
    return nullptr;
  }
  std::memset(raw, 0, size_t(total + kHeaderRoom));
  uint32_t offset = kHeaderRoom - uint32_t(reinterpret_cast<uintptr_t>(raw) % kAlign);
  uint8_t* block = raw + offset;
  block[-1] = uint8_t(offset);
  block[-2] = kind;
  if (kind == kKindHook) std::memcpy(block - 12, &release, sizeof(release));

  uint8_t* next = block + RoundUp32(size);
  for (uint32_t i = 0; i < tPlan.count; ++i) {
    *tPlan.entries[i].slot = next;
    next += tPlan.entries[i].size;
  }
  ClearPlan();
  return block;
}

void MemFree(void* block) {
  if (!block) return;
  uint8_t* p = static_cast<uint8_t*>(block);
  uint8_t* raw = p - p[-1];
  if (p[-2] == kKindHook) {
    MemFreeHookFunc release;
    std::memcpy(&release, p - 12, sizeof(release));
    if (release) release(raw);
    return;
  }
  PlatformHeapRelease(raw);
}

void MemSetHooks(MemAllocHookFunc alloc, MemFreeHookFunc release) {
  gAllocHook = alloc && release ? alloc : nullptr;
  gFreeHook = alloc && release ? release : nullptr;
}
