// The allocator: planned padding, alignment, zero fill, sub-block carving and the caller's hook.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/mem.h"
#include "vexa/movie.h"

namespace {

TEST(MemPlan, PaddingShiftsEachBlockWithinAKilobytePeriod) {
  EXPECT_EQ(MemPlannedSize(0, 100), 1056u);  // 128 + 32 x ((0 - 4 + 1) mod 32)
  EXPECT_EQ(MemPlannedSize(0, 0), 32u);      // 0 + 32 x 1
  EXPECT_EQ(MemPlannedSize(1056, 32), 32u + 32u * ((33u - 1u + 1u) % 32u));
  // Whatever came before, a block's start moves by whole 32-byte steps below 1024.
  for (uint32_t before : {0u, 32u, 992u, 4096u, 123456u})
    for (uint32_t size : {1u, 31u, 33u, 640u, 100000u}) {
      uint32_t planned = MemPlannedSize(before, size);
      EXPECT_GE(planned, size);
      EXPECT_EQ(planned % 32, 0u);
      EXPECT_LT(planned - ((size + 31) & ~31u), 1024u);
    }
}

TEST(MemAlloc, BlocksAreAlignedZeroedAndCarryTheirPlannedSubBlocks) {
  uint8_t* a = nullptr;
  uint32_t* b = nullptr;
  ASSERT_TRUE(MemPlanFor(&a, 100));
  ASSERT_TRUE(MemPlanFor(&b, 4000));
  uint32_t planned = MemPlannedBytes();
  EXPECT_EQ(planned, MemPlannedSize(0, 100) + MemPlannedSize(MemPlannedSize(0, 100), 4000));
  uint8_t* block = static_cast<uint8_t*>(MemAlloc(50));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 32, 0u);
  EXPECT_EQ(a, block + 64);  // after the block's own 50 bytes rounded up to 32
  EXPECT_EQ(reinterpret_cast<uint8_t*>(b), a + MemPlannedSize(0, 100));
  for (uint32_t i = 0; i < 64 + planned; ++i) ASSERT_EQ(block[i], 0) << i;
  EXPECT_GE(block[-1], 33);
  EXPECT_LE(block[-1], 64);
  EXPECT_EQ(MemPlannedBytes(), 0u);  // the plan is used up
  MemFree(block);
}

TEST(MemAlloc, PlanIsClearedEvenWhenTheAllocationFails) {
  void* slot = nullptr;
  MemPlan(&slot, 1000);
  EXPECT_EQ(MemAlloc(0xFFFFFFF0u), nullptr);
  EXPECT_EQ(MemPlannedBytes(), 0u);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(MemAlloc(0), nullptr);  // nothing planned and nothing asked: no block
}

TEST(MemPlan, PlansThatPassThirtyTwoBitsMakeTheAllocationFail) {
  void* slots[8] = {};
  for (void*& s : slots) MemPlan(&s, 0x40000000u);
  EXPECT_EQ(MemAlloc(32), nullptr);
  for (void* s : slots) EXPECT_EQ(s, nullptr);
}

TEST(MemPlan, ThePlanListGrowsPastItsFirstThirtyTwoEntries) {
  std::vector<void*> slots(100, nullptr);
  for (void*& s : slots) ASSERT_TRUE(MemPlan(&s, 8));
  uint8_t* block = static_cast<uint8_t*>(MemAlloc(8));
  ASSERT_NE(block, nullptr);
  for (size_t i = 1; i < slots.size(); ++i) EXPECT_GT(slots[i], slots[i - 1]);
  MemFree(block);
}

struct HookLog {
  int allocs = 0, frees = 0;
  int mode = 0;  // 0 serve, 1 decline, 2 fail
};
HookLog gHook;

void* HookAlloc(uint32_t bytes) {
  ++gHook.allocs;
  if (gHook.mode == 1) return nullptr;
  if (gHook.mode == 2) return reinterpret_cast<void*>(~uintptr_t(0));
  return std::malloc(bytes);
}
void HookFree(void* p) {
  ++gHook.frees;
  std::free(p);
}

TEST(MemAlloc, CallersHookServesDeclinesOrFails) {
  gHook = {};
  MovieSetAllocator(HookAlloc, HookFree);
  void* served = MemAlloc(100);
  ASSERT_NE(served, nullptr);
  EXPECT_EQ(static_cast<uint8_t*>(served)[-2], 3);  // kind: the hook's block
  MemFree(served);
  EXPECT_EQ(gHook.frees, 1);

  gHook.mode = 1;  // declined: the private heap serves, and frees it without the hook
  void* fallback = MemAlloc(100);
  ASSERT_NE(fallback, nullptr);
  EXPECT_EQ(static_cast<uint8_t*>(fallback)[-2], 0);
  MemFree(fallback);
  EXPECT_EQ(gHook.frees, 1);

  gHook.mode = 2;
  EXPECT_EQ(MemAlloc(100), nullptr);
  MovieSetAllocator(nullptr, nullptr);
  EXPECT_EQ(gHook.allocs, 3);
}

}  // namespace
