// The private heap, the clocks, sleeping and the processor count.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "test_util.h"

namespace {

using namespace platform_test;

TEST(PlatformHeap, BlocksAreAlignedUsableAndSeparate) {
  const uint64_t sizes[] = {0, 1, 7, 16, 33, 1000, 65536, 1u << 20, 8u << 20};
  std::vector<unsigned char*> blocks;
  for (uint64_t size : sizes) {
    auto* block = static_cast<unsigned char*>(PlatformHeapAllocate(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u) << size;
    std::memset(block, static_cast<int>(blocks.size() + 1), static_cast<size_t>(size));
    blocks.push_back(block);
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    for (uint64_t j = 0; j < sizes[i]; j += 97) {
      ASSERT_EQ(blocks[i][j], i + 1) << "block " << i << " byte " << j;
    }
    PlatformHeapRelease(blocks[i]);
  }
}

TEST(PlatformHeap, RefusesImpossibleSizesAndIgnoresNull) {
  EXPECT_EQ(PlatformHeapAllocate(UINT64_MAX), nullptr);
  PlatformHeapRelease(nullptr);
}

TEST(PlatformHeap, ServesManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        auto* block =
            static_cast<unsigned char*>(PlatformHeapAllocate(static_cast<uint64_t>(16 + i % 300)));
        if (block == nullptr) {
          ++failures[static_cast<size_t>(t)];
          continue;
        }
        block[0] = static_cast<unsigned char>(t);
        PlatformHeapRelease(block);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int failed : failures) EXPECT_EQ(failed, 0);
}

TEST(PlatformClock, CounterIsMonotonic) {
  ASSERT_GT(PlatformCounterFrequency(), 0u);
  uint64_t last = PlatformCounterNow();
  for (int i = 0; i < 100000; ++i) {
    const uint64_t now = PlatformCounterNow();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(PlatformClock, ClocksAdvanceAtLeastAsLongAsASleep) {
  const double frequency = static_cast<double>(PlatformCounterFrequency());
  const auto start = Clock::now();
  const uint64_t counter = PlatformCounterNow();
  const uint32_t tick = PlatformTickCountMs();
  const uint32_t multimedia = PlatformMultimediaTimeMs();
  PlatformSleepMs(80);
  const double slept = MsSince(start);
  EXPECT_GE(slept, 80 - kWaitSlackMs);
  EXPECT_GE(static_cast<double>(PlatformCounterNow() - counter) * 1000.0 / frequency,
            80 - kWaitSlackMs);
  EXPECT_GE(static_cast<double>(PlatformTickCountMs() - tick), 80 - kTickSlackMs);
  EXPECT_GE(static_cast<double>(PlatformMultimediaTimeMs() - multimedia), 80 - kTickSlackMs);
}

TEST(PlatformClock, TickCountersDoNotGoBackwards) {
  uint32_t tick = PlatformTickCountMs();
  uint32_t multimedia = PlatformMultimediaTimeMs();
  for (int i = 0; i < 20; ++i) {
    PlatformSleepMs(i % 2);
    const uint32_t nextTick = PlatformTickCountMs();
    const uint32_t nextMultimedia = PlatformMultimediaTimeMs();
    // Differences, so that a wrap at 2^32 is no step back.
    EXPECT_LT(static_cast<uint32_t>(nextTick - tick), 1u << 31);
    EXPECT_LT(static_cast<uint32_t>(nextMultimedia - multimedia), 1u << 31);
    tick = nextTick;
    multimedia = nextMultimedia;
  }
}

TEST(PlatformClock, TimerPeriodRequestsNest) {
  PlatformTimerPeriodBegin();
  PlatformTimerPeriodBegin();
  PlatformTimerPeriodEnd();
  const auto start = Clock::now();
  PlatformSleepMs(5);
  EXPECT_GE(MsSince(start), 5 - kWaitSlackMs);
  PlatformTimerPeriodEnd();
}

TEST(PlatformSystem, HasProcessorsAndYields) {
  EXPECT_GE(PlatformProcessorCount(), 1u);
  EXPECT_LE(PlatformProcessorCount(), 4096u);
  PlatformSleepMs(0);
}

}  // namespace
