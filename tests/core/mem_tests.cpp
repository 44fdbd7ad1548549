// The allocator: planned sub-blocks carved from one block, and failures that clear the plan.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/mem.h"

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
    end = slots[i] + 40 * i;
    ASSERT_EQ(std::count(slots[i], end, 0), long(40 * i)) << i;
    std::fill(slots[i], end, uint8_t(0xFF));  // under ASan: each lies inside the block
  }
  MemFree(block);
}

TEST(MemAlloc, AFailedAllocationClearsThePlanAndLeavesItsSlots) {
  void* slot = nullptr;
  MemPlan(&slot, 1000);
  EXPECT_EQ(MemAlloc(0xFFFFFFF0u), nullptr);
  EXPECT_EQ(MemPlannedBytes(), 0u);
  void* huge[8] = {};  // plans that pass 32 bits together
  for (void*& s : huge) MemPlan(&s, 0x40000000u);
  EXPECT_EQ(MemAlloc(32), nullptr);
  for (void* s : {slot, huge[0], huge[7]}) EXPECT_EQ(s, nullptr);
  EXPECT_EQ(MemAlloc(0), nullptr);  // nothing planned and nothing asked: no block
}

}  // namespace
