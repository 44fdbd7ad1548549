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
    const int got = MutexTryLock(m);
    if (got) MutexUnlock(m);
    return got;
  });
}

TEST(PlatformMutex, IsRecursiveAndHeldUntilTheLastUnlock) {
  Mutex mutex;
  ASSERT_NE(mutex.m, nullptr);
  MutexLock(mutex.m);
  ASSERT_EQ(MutexTryLock(mutex.m), 1);  // again, by the owner
  MutexLock(mutex.m);                   // and a third time
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);
  MutexUnlock(mutex.m);
  MutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);
  MutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 1);
}

TEST(PlatformMutex, LockWaitsForTheOwnersRelease) {
  Mutex mutex;
  std::atomic<bool> started{false}, acquired{false}, released{false}, sawRelease{false};
  MutexLock(mutex.m);
  std::thread waiter([&] {
    started = true;
    MutexLock(mutex.m);
    acquired = true;
    sawRelease = released.load();
    MutexUnlock(mutex.m);
  });
  ASSERT_TRUE(Eventually([&] { return started.load(); }));
  SleepMs(50);
  EXPECT_FALSE(acquired);
  released = true;
  MutexUnlock(mutex.m);
  waiter.join();
  EXPECT_TRUE(acquired);
  EXPECT_TRUE(sawRelease);
}

TEST(PlatformMutex, OnlyTheOwnerCanUnlock) {
  Mutex mutex;
  MutexLock(mutex.m);
  const int stolen = OnOtherThread([&] {
    MutexUnlock(mutex.m);  // refused: not the owner's
    const int got = MutexTryLock(mutex.m);
    if (got) MutexUnlock(mutex.m);
    return got;
  });
  EXPECT_EQ(stolen, 0);
  MutexUnlock(mutex.m);
}

TEST(PlatformMutex, AbandonedByAnEndedThreadCanBeTaken) {
  Mutex mutex;
  std::thread([&] {
    MutexLock(mutex.m);
    MutexLock(mutex.m);
  }).join();  // ends still owning it, twice
  ASSERT_EQ(MutexTryLock(mutex.m), 1);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);  // and now it is this thread's, once
  MutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 1);
}

TEST(PlatformEvent, StartsClearAndResetsWhenTaken) {
  Event event;
  ASSERT_NE(event.e, nullptr);
  EXPECT_EQ(EventWait(event.e, 0), 0);
  EventSignal(event.e);
  EXPECT_EQ(EventWait(event.e, 0), 1);
  EXPECT_EQ(EventWait(event.e, 0), 0);
}

TEST(PlatformEvent, SignalsDoNotAccumulate) {
  Event event;
  EventSignal(event.e);
  EventSignal(event.e);
  EXPECT_EQ(EventWait(event.e, 0), 1);
  EXPECT_EQ(EventWait(event.e, 0), 0);
}

TEST(PlatformEvent, StaysSetUntilAWaiterComes) {
  Event event;
  EventSignal(event.e);
  SleepMs(20);
  EXPECT_EQ(OnOtherThread([&] { return EventWait(event.e, 0); }), 1);
  EXPECT_EQ(EventWait(event.e, 0), 0);
}

TEST(PlatformEvent, WaitTimesOutAfterItsLimit) {
  Event event;
  const auto start = Clock::now();
  EXPECT_EQ(EventWait(event.e, 60), 0);
  EXPECT_GE(MsSince(start), 60 - kWaitSlackMs);
}

TEST(PlatformEvent, SignalWakesAWaiterOnAnotherThread) {
  Event event;
  std::atomic<int> result{-1};
  std::thread waiter([&] { result = EventWait(event.e, kMustMs); });
  SleepMs(30);
  EventSignal(event.e);
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
      if (EventWait(event.e, kMustMs)) ++woken;
    });
  }
  SleepMs(50);  // let them block (a signal before that still releases only one)
  for (int released = 1; released <= kWaiters; ++released) {
    EventSignal(event.e);
    ASSERT_TRUE(Eventually([&] { return woken.load() >= released; }));
    SleepMs(50);
    EXPECT_EQ(woken.load(), released);
  }
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(EventWait(event.e, 0), 0);
}

TEST(PlatformSemaphore, CountsUpToItsMaximum) {
  Semaphore sem(2, 3);
  ASSERT_NE(sem.s, nullptr);
  EXPECT_EQ(SemaphoreWait(sem.s, 0), 1);
  EXPECT_EQ(SemaphoreWait(sem.s, 0), 1);
  EXPECT_EQ(SemaphoreWait(sem.s, 0), 0);

  EXPECT_EQ(SemaphoreRelease(sem.s, 1), 1);  // 1
  EXPECT_EQ(SemaphoreRelease(sem.s, 3), 0);  // would be 4: refused, count unchanged
  EXPECT_EQ(SemaphoreRelease(sem.s, 2), 1);  // 3
  EXPECT_EQ(SemaphoreRelease(sem.s, 1), 0);  // would be 4
  EXPECT_EQ(SemaphoreRelease(sem.s, 0), 0);  // releasing nothing is refused too
  for (int i = 0; i < 3; ++i) EXPECT_EQ(SemaphoreWait(sem.s, 0), 1) << i;
  EXPECT_EQ(SemaphoreWait(sem.s, 0), 0);
}

TEST(PlatformSemaphore, RefusesImpossibleCounts) {
  EXPECT_EQ(SemaphoreCreate(4, 3), nullptr);
  EXPECT_EQ(SemaphoreCreate(0, 0), nullptr);
  Semaphore ok(0, 1);
  EXPECT_NE(ok.s, nullptr);
}

TEST(PlatformSemaphore, WaitTimesOutAfterItsLimit) {
  Semaphore sem(0, 16);
  const auto start = Clock::now();
  EXPECT_EQ(SemaphoreWait(sem.s, 60), 0);
  EXPECT_GE(MsSince(start), 60 - kWaitSlackMs);
}

TEST(PlatformSemaphore, ReleaseWakesAsManyWaitersAsItsCount) {
  Semaphore sem(0, 16);
  constexpr int kWaiters = 3;
  std::atomic<int> woken{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < kWaiters; ++i) {
    waiters.emplace_back([&] {
      if (SemaphoreWait(sem.s, kMustMs)) ++woken;
    });
  }
  SleepMs(50);
  ASSERT_EQ(SemaphoreRelease(sem.s, 2), 1);
  ASSERT_TRUE(Eventually([&] { return woken.load() >= 2; }));
  SleepMs(50);
  EXPECT_EQ(woken.load(), 2);
  ASSERT_EQ(SemaphoreRelease(sem.s, 1), 1);
  for (auto& waiter : waiters) waiter.join();
  EXPECT_EQ(woken.load(), 3);
  EXPECT_EQ(SemaphoreWait(sem.s, 0), 0);
}

TEST(PlatformObjects, ClosingNullIsHarmless) {
  MutexDestroy(nullptr);
  EventDestroy(nullptr);
  SemaphoreDestroy(nullptr);
  ThreadClose(nullptr);
  FileClose(nullptr);
  HeapRelease(nullptr);
}

}  // namespace
