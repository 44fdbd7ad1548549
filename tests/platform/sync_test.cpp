// Recursive mutexes (with abandonment), auto-reset events, counting semaphores, threads, and the
// refusals of impossible requests.
#include <vector>

#include "test_util.h"

namespace {

using namespace platform_test;

TEST(PlatformMutex, IsRecursiveOnlyTheOwnerUnlocksAndAnEndedOwnerAbandonsIt) {
  PlatformMutex* m = PlatformMutexCreate();
  PlatformMutexLock(m);
  ASSERT_EQ(PlatformMutexTryLock(m), 1);
  EXPECT_EQ(OnOtherThread([m] { return PlatformMutexUnlock(m), PlatformMutexTryLock(m); }), 0);
  PlatformMutexUnlock(m);
  EXPECT_EQ(TryLockElsewhere(m), 0);
  PlatformMutexUnlock(m);
  EXPECT_EQ(TryLockElsewhere(m), 1);
  // A thread that ends holding it (twice) leaves it to the next taker, held once.
  std::thread([m] { PlatformMutexLock(m), PlatformMutexLock(m); }).join();
  ASSERT_EQ(PlatformMutexTryLock(m), 1);
  EXPECT_EQ(TryLockElsewhere(m), 0);
  PlatformMutexUnlock(m);
  EXPECT_EQ(TryLockElsewhere(m), 1);
  PlatformMutexDestroy(m);
}

TEST(PlatformEvent, AutoResetsAndStaysSetUntilAWaiterComes) {
  PlatformEvent* e = PlatformEventCreate();
  EXPECT_EQ(PlatformEventWait(e, 0), 0);
  PlatformEventSignal(e);
  PlatformEventSignal(e);  // signals do not accumulate
  EXPECT_EQ(OnOtherThread([e] { return PlatformEventWait(e, 0); }), 1);
  EXPECT_EQ(PlatformEventWait(e, 0), 0);
  PlatformEventDestroy(e);
}

TEST(PlatformSemaphore, CountsUpToItsMaximumAndRefusesToPassIt) {
  PlatformSemaphore* s = PlatformSemaphoreCreate(2, 3);
  EXPECT_EQ(PlatformSemaphoreWait(s, 0) + PlatformSemaphoreWait(s, 0), 2);
  EXPECT_EQ(PlatformSemaphoreWait(s, 0), 0);
  EXPECT_EQ(PlatformSemaphoreRelease(s, 1), 1);
  EXPECT_EQ(PlatformSemaphoreRelease(s, 3), 0);  // would be 4: nothing released
  EXPECT_EQ(PlatformSemaphoreRelease(s, 2), 1);
  EXPECT_EQ(PlatformSemaphoreRelease(s, 0), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(PlatformSemaphoreWait(s, 0), 1) << i;
  EXPECT_EQ(PlatformSemaphoreWait(s, 0), 0);
  PlatformSemaphoreDestroy(s);
}

// Three blocked waiters: an event signal releases one, a semaphore release of 2 releases two.
TEST(PlatformSync, ReleasesWakeExactlyAsManyWaitersAsTheyCount) {
  PlatformEvent* e = PlatformEventCreate();
  PlatformSemaphore* s = PlatformSemaphoreCreate(0, 16);
  const PlatformWaitable objects[] = {PlatformWaitableEvent(e), PlatformWaitableSemaphore(s)};
  for (const PlatformWaitable& object : objects) {
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 3; ++i) {
      waiters.emplace_back([&] { woken += PlatformWaitAny(&object, 1, kMustMs) == 0; });
    }
    PlatformSleepMs(50);  // let them block
    const bool event = object.kind == PlatformWaitable::Event;
    for (int round : {1, 2}) {
      event ? PlatformEventSignal(e) : void(PlatformSemaphoreRelease(s, 2));
      const int expected = event ? round : std::min(3, 2 * round);
      EXPECT_TRUE(Eventually([&] { return woken >= expected; }));
      PlatformSleepMs(50);  // and no more
      EXPECT_EQ(woken, expected) << round;
    }
    PlatformEventSignal(e);  // the last event waiter
    for (std::thread& waiter : waiters) waiter.join();
  }
  PlatformEventDestroy(e), PlatformSemaphoreDestroy(s);
}

uint32_t StoreId(void* arg) {
  *static_cast<std::atomic<uint32_t>*>(arg) = PlatformThreadCurrentId();
  volatile unsigned char stack[16384] = {1};  // a small stack request still gives a usable one
  return stack[0];
}

TEST(PlatformThread, SuspendedThreadRunsOnlyAfterResumeAndHasItsOwnId) {
  std::atomic<uint32_t> id{0};
  PlatformThread* t = PlatformThreadCreate(StoreId, &id, 32768, 1);
  ASSERT_NE(t, nullptr);
  PlatformSleepMs(50);
  EXPECT_EQ(id, 0u);
  EXPECT_EQ(PlatformThreadJoin(t, 0), 0);
  PlatformThreadSetPriority(t, PlatformPriorityBelowNormal);
  PlatformThreadResume(t);
  EXPECT_EQ(PlatformThreadJoin(t, kMustMs), 1);
  EXPECT_EQ(PlatformThreadJoin(t, 0), 1);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, PlatformThreadCurrentId());
  PlatformThreadClose(t);
}

TEST(PlatformObjects, ImpossibleRequestsAreRefusedAndNullIsClosedHarmlessly) {
  EXPECT_EQ(PlatformSemaphoreCreate(4, 3), nullptr);
  EXPECT_EQ(PlatformSemaphoreCreate(0, 0), nullptr);
  EXPECT_EQ(PlatformThreadCreate(nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(PlatformHeapAllocate(UINT64_MAX), nullptr);  // before any allocator sees it
  PlatformThreadClose(nullptr);  // records behind the pointer: null must not be followed
  PlatformFileClose(nullptr);
  PlatformHeapRelease(nullptr);
}

}  // namespace
