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
    auto* block = static_cast<unsigned char*>(HeapAllocate(size));
    ASSERT_NE(block, nullptr) << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u) << size;
    std::memset(block, static_cast<int>(blocks.size() + 1), static_cast<size_t>(size));
    blocks.push_back(block);
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    for (uint64_t j = 0; j < sizes[i]; j += 97) {
      ASSERT_EQ(blocks[i][j], i + 1) << "block " << i << " byte " << j;
    }
    HeapRelease(blocks[i]);
  }
}

TEST(PlatformHeap, RefusesImpossibleSizesAndIgnoresNull) {
  EXPECT_EQ(HeapAllocate(UINT64_MAX), nullptr);
  HeapRelease(nullptr);
}

TEST(PlatformHeap, ServesManyThreadsAtOnce) {
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      for (int i = 0; i < 2000; ++i) {
        auto* block =
            static_cast<unsigned char*>(HeapAllocate(static_cast<uint64_t>(16 + i % 300)));
        if (block == nullptr) {
          ++failures[static_cast<size_t>(t)];
          continue;
        }
        block[0] = static_cast<unsigned char>(t);
        HeapRelease(block);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int failed : failures) EXPECT_EQ(failed, 0);
}

TEST(PlatformClock, CounterIsMonotonic) {
  ASSERT_GT(CounterFrequency(), 0u);
  uint64_t last = CounterNow();
  for (int i = 0; i < 100000; ++i) {
    const uint64_t now = CounterNow();
    ASSERT_GE(now, last);
    last = now;
  }
}

TEST(PlatformClock, ClocksAdvanceAtLeastAsLongAsASleep) {
  const double frequency = static_cast<double>(CounterFrequency());
  const auto start = Clock::now();
  const uint64_t counter = CounterNow();
  const uint32_t tick = TickCountMs();
  const uint32_t multimedia = MultimediaTimeMs();
  SleepMs(80);
  const double slept = MsSince(start);
  EXPECT_GE(slept, 80 - kWaitSlackMs);
  EXPECT_GE(static_cast<double>(CounterNow() - counter) * 1000.0 / frequency, 80 - kWaitSlackMs);
  EXPECT_GE(static_cast<double>(TickCountMs() - tick), 80 - kTickSlackMs);
  EXPECT_GE(static_cast<double>(MultimediaTimeMs() - multimedia), 80 - kTickSlackMs);
}

TEST(PlatformClock, TickCountersDoNotGoBackwards) {
  uint32_t tick = TickCountMs();
  uint32_t multimedia = MultimediaTimeMs();
  for (int i = 0; i < 20; ++i) {
    SleepMs(i % 2);
    const uint32_t nextTick = TickCountMs();
    const uint32_t nextMultimedia = MultimediaTimeMs();
    // Differences, so that a wrap at 2^32 is no step back.
    EXPECT_LT(static_cast<uint32_t>(nextTick - tick), 1u << 31);
    EXPECT_LT(static_cast<uint32_t>(nextMultimedia - multimedia), 1u << 31);
    tick = nextTick;
    multimedia = nextMultimedia;
  }
}

TEST(PlatformClock, TimerPeriodRequestsNest) {
  TimerPeriodBegin();
  TimerPeriodBegin();
  TimerPeriodEnd();
  const auto start = Clock::now();
  SleepMs(5);
  EXPECT_GE(MsSince(start), 5 - kWaitSlackMs);
  TimerPeriodEnd();
}

TEST(PlatformSystem, HasProcessorsAndYields) {
  EXPECT_GE(ProcessorCount(), 1u);
  EXPECT_LE(ProcessorCount(), 4096u);
  SleepMs(0);
}

}  // namespace
