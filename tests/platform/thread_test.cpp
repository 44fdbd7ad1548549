// Threads: suspended start, resume, priorities, joins with and without a limit, ids.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "platform/platform.h"
#include "test_util.h"

namespace {

using namespace platform_test;

struct Flag {
  std::atomic<int> ran{0};
  std::atomic<uint32_t> id{0};
};

uint32_t MarkRan(void* arg) {
  auto* flag = static_cast<Flag*>(arg);
  flag->id = PlatformThreadCurrentId();
  ++flag->ran;
  return 0;
}

uint32_t WaitForEvent(void* arg) {
  PlatformEventWait(static_cast<PlatformEvent*>(arg), PlatformWaitForever);
  return 0;
}

TEST(PlatformThread, RunsAndIsJoined) {
  Flag flag;
  PlatformThread* thread = PlatformThreadCreate(MarkRan, &flag, 0, 0);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(PlatformThreadJoin(thread, kMustMs), 1);
  EXPECT_EQ(PlatformThreadJoin(thread, PlatformWaitForever), 1);
  EXPECT_EQ(flag.ran, 1);
  EXPECT_EQ(PlatformThreadJoin(thread, 0), 1);  // still ended
  PlatformThreadClose(thread);
}

TEST(PlatformThread, CreatedSuspendedRunsOnlyAfterResume) {
  Flag flag;
  PlatformThread* thread = PlatformThreadCreate(MarkRan, &flag, 32768, 1);
  ASSERT_NE(thread, nullptr);
  PlatformSleepMs(100);
  EXPECT_EQ(flag.ran, 0);
  EXPECT_EQ(PlatformThreadJoin(thread, 0), 0);
  PlatformThreadResume(thread);
  EXPECT_EQ(PlatformThreadJoin(thread, kMustMs), 1);
  EXPECT_EQ(flag.ran, 1);
  PlatformThreadClose(thread);
}

TEST(PlatformThread, PrioritiesCanBeSetBeforeAndAfterTheStart) {
  Flag flag;
  PlatformThread* thread = PlatformThreadCreate(MarkRan, &flag, 32768, 1);
  ASSERT_NE(thread, nullptr);
  PlatformThreadSetPriority(thread, PlatformPriorityBelowNormal);
  PlatformThreadResume(thread);
  EXPECT_EQ(PlatformThreadJoin(thread, kMustMs), 1);
  EXPECT_EQ(flag.ran, 1);
  PlatformThreadClose(thread);

  Event go;
  thread = PlatformThreadCreate(WaitForEvent, go.e, 0, 0);
  ASSERT_NE(thread, nullptr);
  PlatformThreadSetPriority(thread, PlatformPriorityTimeCritical);
  PlatformThreadSetPriority(thread, PlatformPriorityNormal);
  PlatformEventSignal(go.e);
  EXPECT_EQ(PlatformThreadJoin(thread, kMustMs), 1);
  PlatformThreadClose(thread);
}

TEST(PlatformThread, JoinTimesOutWhileTheThreadRuns) {
  Event go;
  PlatformThread* thread = PlatformThreadCreate(WaitForEvent, go.e, 0, 0);
  ASSERT_NE(thread, nullptr);
  const auto start = Clock::now();
  EXPECT_EQ(PlatformThreadJoin(thread, 60), 0);
  EXPECT_GE(MsSince(start), 60 - kWaitSlackMs);
  PlatformEventSignal(go.e);
  EXPECT_EQ(PlatformThreadJoin(thread, kMustMs), 1);
  PlatformThreadClose(thread);
}

TEST(PlatformThread, IdsAreStableAndDistinct) {
  const uint32_t self = PlatformThreadCurrentId();
  EXPECT_NE(self, 0u);
  EXPECT_EQ(PlatformThreadCurrentId(), self);
  Flag flag;
  PlatformThread* thread = PlatformThreadCreate(MarkRan, &flag, 0, 0);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(PlatformThreadJoin(thread, kMustMs), 1);
  PlatformThreadClose(thread);
  EXPECT_NE(flag.id, 0u);
  EXPECT_NE(flag.id, self);
}

uint32_t UseStack(void* arg) {
  volatile unsigned char block[16384];
  std::memset(const_cast<unsigned char*>(block), 0x5A, sizeof block);
  unsigned sum = 0;
  for (unsigned char byte : block) sum += byte;
  *static_cast<unsigned*>(arg) = sum;
  return 0;
}

TEST(PlatformThread, ASmallStackRequestStillGivesAUsableStack) {
  unsigned sum = 0;
  PlatformThread* thread = PlatformThreadCreate(UseStack, &sum, 32768, 0);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(PlatformThreadJoin(thread, kMustMs), 1);
  PlatformThreadClose(thread);
  EXPECT_EQ(sum, 16384u * 0x5A);
}

uint32_t Count(void* arg) {
  ++*static_cast<std::atomic<int>*>(arg);
  return 0;
}

TEST(PlatformThread, ManyRunAtOnce) {
  std::atomic<int> count{0};
  std::vector<PlatformThread*> threads;
  for (int i = 0; i < 32; ++i) {
    PlatformThread* thread = PlatformThreadCreate(Count, &count, 32768, i % 2);
    ASSERT_NE(thread, nullptr);
    threads.push_back(thread);
  }
  for (PlatformThread* thread : threads)
    PlatformThreadResume(thread);  // harmless when not suspended
  for (PlatformThread* thread : threads) {
    EXPECT_EQ(PlatformThreadJoin(thread, kMustMs), 1);
    PlatformThreadClose(thread);
  }
  EXPECT_EQ(count, 32);
}

TEST(PlatformThread, RefusesNoProcedure) {
  EXPECT_EQ(PlatformThreadCreate(nullptr, nullptr, 0, 0), nullptr);
}

}  // namespace
