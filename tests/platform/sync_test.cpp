// Recursive mutexes, auto-reset events and counting semaphores.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "test_util.h"

namespace {

using namespace platform_test;

int TryLockElsewhere(PlatformMutex* m) {
  return OnOtherThread([m] {
    const int got = PlatformMutexTryLock(m);
    if (got) PlatformMutexUnlock(m);
    return got;
  });
}

TEST(PlatformMutex, IsRecursiveAndHeldUntilTheLastUnlock) {
  Mutex mutex;
  ASSERT_NE(mutex.m, nullptr);
  PlatformMutexLock(mutex.m);
  ASSERT_EQ(PlatformMutexTryLock(mutex.m), 1);  // again, by the owner
  PlatformMutexLock(mutex.m);                   // and a third time
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);
  PlatformMutexUnlock(mutex.m);
  PlatformMutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);
  PlatformMutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 1);
}

TEST(PlatformMutex, LockWaitsForTheOwnersRelease) {
  Mutex mutex;
  std::atomic<bool> started{false}, acquired{false}, released{false}, sawRelease{false};
  PlatformMutexLock(mutex.m);
  std::thread waiter([&] {
    started = true;
    PlatformMutexLock(mutex.m);
    acquired = true;
    sawRelease = released.load();
    PlatformMutexUnlock(mutex.m);
  });
  ASSERT_TRUE(Eventually([&] { return started.load(); }));
  PlatformSleepMs(50);
  EXPECT_FALSE(acquired);
  released = true;
  PlatformMutexUnlock(mutex.m);
  waiter.join();
  EXPECT_TRUE(acquired);
  EXPECT_TRUE(sawRelease);
}

TEST(PlatformMutex, OnlyTheOwnerCanUnlock) {
  Mutex mutex;
  PlatformMutexLock(mutex.m);
  const int stolen = OnOtherThread([&] {
    PlatformMutexUnlock(mutex.m);  // refused: not the owner's
    const int got = PlatformMutexTryLock(mutex.m);
    if (got) PlatformMutexUnlock(mutex.m);
    return got;
  });
  EXPECT_EQ(stolen, 0);
  PlatformMutexUnlock(mutex.m);
}

TEST(PlatformMutex, AbandonedByAnEndedThreadCanBeTaken) {
  Mutex mutex;
  std::thread([&] {
    PlatformMutexLock(mutex.m);
    PlatformMutexLock(mutex.m);
  }).join();  // ends still owning it, twice
  ASSERT_EQ(PlatformMutexTryLock(mutex.m), 1);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);  // and now it is this thread's, once
  PlatformMutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 1);
}

TEST(PlatformEvent, StartsClearAndResetsWhenTaken) {
  Event event;
  ASSERT_NE(event.e, nullptr);
  EXPECT_EQ(PlatformEventWait(event.e, 0), 0);
  PlatformEventSignal(event.e);
  EXPECT_EQ(PlatformEventWait(event.e, 0), 1);
  EXPECT_EQ(PlatformEventWait(event.e, 0), 0);
}

TEST(PlatformEvent, SignalsDoNotAccumulate) {
  Event event;
  PlatformEventSignal(event.e);
  PlatformEventSignal(event.e);
  EXPECT_EQ(PlatformEventWait(event.e, 0), 1);
  EXPECT_EQ(PlatformEventWait(event.e, 0), 0);
}

TEST(PlatformEvent, StaysSetUntilAWaiterComes) {
  Event event;
  PlatformEventSignal(event.e);
  PlatformSleepMs(20);
  EXPECT_EQ(OnOtherThread([&] { return PlatformEventWait(event.e, 0); }), 1);
  EXPECT_EQ(PlatformEventWait(event.e, 0), 0);
}

TEST(PlatformEvent, WaitTimesOutAfterItsLimit) {
  Event event;
  const auto start = Clock::now();
  EXPECT_EQ(PlatformEventWait(event.e, 60), 0);
  EXPECT_GE(MsSince(start), 60 - kWaitSlackMs);
}

TEST(PlatformEvent, SignalWakesAWaiterOnAnotherThread) {
  Event event;
  std::atomic<int> result{-1};
  std::thread waiter([&] { result = PlatformEventWait(event.e, kMustMs); });
  PlatformSleepMs(30);
  PlatformEventSignal(event.e);
  waiter.join();
  EXPECT_EQ(result, 1);
}

TEST(PlatformEvent, EachSignalReleasesExactlyOneWaiter) {
  Event event;
  constexpr int kWaiters = 3;
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&] {
      if (PlatformEventWait(event.e, kMustMs)) ++woken;
    });
  }
  PlatformSleepMs(50);  // let them block (a signal before that still releases only one)
  for (int released = 1; released <= kWaiters; ++released) {
    PlatformEventSignal(event.e);
    ASSERT_TRUE(Eventually([&] { return woken.load() >= released; }));
    PlatformSleepMs(50);
    EXPECT_EQ(woken.load(), released);
  }
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(PlatformEventWait(event.e, 0), 0);
}

TEST(PlatformSemaphore, CountsUpToItsMaximum) {
  Semaphore sem(2, 3);
  ASSERT_NE(sem.s, nullptr);
  EXPECT_EQ(PlatformSemaphoreWait(sem.s, 0), 1);
  EXPECT_EQ(PlatformSemaphoreWait(sem.s, 0), 1);
  EXPECT_EQ(PlatformSemaphoreWait(sem.s, 0), 0);

  EXPECT_EQ(PlatformSemaphoreRelease(sem.s, 1), 1);  // 1
  EXPECT_EQ(PlatformSemaphoreRelease(sem.s, 3), 0);  // would be 4: refused, count unchanged
  EXPECT_EQ(PlatformSemaphoreRelease(sem.s, 2), 1);  // 3
  EXPECT_EQ(PlatformSemaphoreRelease(sem.s, 1), 0);  // would be 4
  EXPECT_EQ(PlatformSemaphoreRelease(sem.s, 0), 0);  // releasing nothing is refused too
  for (int i = 0; i < 3; ++i) EXPECT_EQ(PlatformSemaphoreWait(sem.s, 0), 1) << i;
  EXPECT_EQ(PlatformSemaphoreWait(sem.s, 0), 0);
}

TEST(PlatformSemaphore, RefusesImpossibleCounts) {
  EXPECT_EQ(PlatformSemaphoreCreate(4, 3), nullptr);
  EXPECT_EQ(PlatformSemaphoreCreate(0, 0), nullptr);
  Semaphore ok(0, 1);
  EXPECT_NE(ok.s, nullptr);
}

TEST(PlatformSemaphore, WaitTimesOutAfterItsLimit) {
  Semaphore sem(0, 16);
  const auto start = Clock::now();
  EXPECT_EQ(PlatformSemaphoreWait(sem.s, 60), 0);
  EXPECT_GE(MsSince(start), 60 - kWaitSlackMs);
}

TEST(PlatformSemaphore, ReleaseWakesAsManyWaitersAsItsCount) {
  Semaphore sem(0, 16);
  constexpr int kWaiters = 3;
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&] {
      if (PlatformSemaphoreWait(sem.s, kMustMs)) ++woken;
    });
  }
  PlatformSleepMs(50);
  ASSERT_EQ(PlatformSemaphoreRelease(sem.s, 2), 1);
  ASSERT_TRUE(Eventually([&] { return woken.load() >= 2; }));
  PlatformSleepMs(50);
  EXPECT_EQ(woken.load(), 2);
  ASSERT_EQ(PlatformSemaphoreRelease(sem.s, 1), 1);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_EQ(PlatformSemaphoreWait(sem.s, 0), 0);
}

TEST(PlatformObjects, ClosingNullIsHarmless) {
  PlatformMutexDestroy(nullptr);
  PlatformEventDestroy(nullptr);
  PlatformSemaphoreDestroy(nullptr);
  PlatformThreadClose(nullptr);
  PlatformFileClose(nullptr);
  PlatformHeapRelease(nullptr);
}

}  // namespace
