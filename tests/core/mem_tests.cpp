// The allocator: planned sub-blocks carved from one block, failures that clear the plan, and the
// caller's allocation hook.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "core/mem.h"
#include "vexa/movie.h"

namespace {

TEST(MemAlloc, PlannedSubBlocksFollowTheBlockAlignedZeroedAndApart) {
  std::vector<uint8_t*> slots(100, nullptr);  // more than the plan list's first 32 entries
  for (size_t i = 0; i < slots.size(); ++i) ASSERT_TRUE(MemPlanFor(&slots[i], uint32_t(40 * i)));
  uint8_t* block = static_cast<uint8_t*>(MemAlloc(50));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(MemPlannedBytes(), 0u);  // the plan is used up
  uint8_t* end = block + 50;
  for (size_t i = 0; i < slots.size(); ++i) {
    ASSERT_GE(slots[i], end) << i;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(slots[i]) % 32, 0u) << i;
    for (uint32_t k = 0; k < 40 * i; ++k) ASSERT_EQ(slots[i][k], 0) << i;
    std::fill(slots[i], slots[i] + 40 * i, uint8_t(0xFF));  // ASan: each lies inside the block
    end = slots[i] + 40 * i;
  }
  MemFree(block);
}

TEST(MemAlloc, AFailedAllocationClearsThePlanAndLeavesItsSlots) {
  void* slot = nullptr;
  MemPlan(&slot, 1000);
  EXPECT_EQ(MemAlloc(0xFFFFFFF0u), nullptr);
  EXPECT_EQ(slot, nullptr);  // never pointed anywhere
  EXPECT_EQ(MemPlannedBytes(), 0u);
  void* huge[8] = {};  // plans that pass 32 bits together
  for (void*& s : huge) MemPlan(&s, 0x40000000u);
  EXPECT_EQ(MemAlloc(32), nullptr);
  for (void* s : huge) EXPECT_EQ(s, nullptr);
  EXPECT_EQ(MemAlloc(0), nullptr);  // nothing planned and nothing asked: no block
}

struct HookLog {
  int allocs = 0, frees = 0;
  int mode = 0;  // 0 serve, 1 decline, 2 fail
} gHook;

void* HookAlloc(uint32_t bytes) {
  ++gHook.allocs;
  if (gHook.mode == 2) return reinterpret_cast<void*>(~uintptr_t(0));
  return gHook.mode == 1 ? nullptr : std::malloc(bytes);
}
void HookFree(void* p) {
  ++gHook.frees;
  std::free(p);
}

TEST(MemAlloc, TheCallersHookServesDeclinesOrFails) {
  MovieSetAllocator(HookAlloc, HookFree);
  const int modes[] = {0, 1, 2};
  const int frees[] = {1, 0, 0};  // a declined block comes from the private heap
  for (int i = 0; i < 3; ++i) {
    gHook = {};
    gHook.mode = modes[i];
    void* block = MemAlloc(100);
    EXPECT_EQ(block == nullptr, modes[i] == 2) << i;
    if (block) std::fill_n(static_cast<uint8_t*>(block), 100, uint8_t(1));
    MemFree(block);
    EXPECT_EQ(gHook.allocs, 1) << i;
    EXPECT_EQ(gHook.frees, frees[i]) << i;
  }
  MovieSetAllocator(nullptr, nullptr);
}

}  // namespace
