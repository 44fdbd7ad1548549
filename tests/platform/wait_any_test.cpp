// PlatformWaitAny over mixes of mutexes, events, semaphores and thread ends.
#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <thread>

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

TEST(PlatformWaitAny, TakesOnlyTheLowestObtainableObject) {
  Event clear, set;
  Semaphore sem(1, 4);
  PlatformEventSignal(set.e);
  const PlatformWaitable objects[] = {PlatformWaitableEvent(clear.e), PlatformWaitableEvent(set.e),
                                      PlatformWaitableSemaphore(sem.s)};
  EXPECT_EQ(PlatformWaitAny(objects, 3, 0), 1);  // the event, now reset; the count is left
  EXPECT_EQ(PlatformWaitAny(objects, 3, 0), 2);  // the semaphore's one count
  EXPECT_EQ(PlatformWaitAny(objects, 3, 0), PlatformWaitTimeout);
}

TEST(PlatformWaitAny, AnObtainedMutexBelongsToTheCaller) {
  Mutex mutex;
  Event event;
  const PlatformWaitable objects[] = {PlatformWaitableEvent(event.e),
                                      PlatformWaitableMutex(mutex.m)};
  ASSERT_EQ(PlatformWaitAny(objects, 2, 0), 1);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);
  PlatformMutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 1);
}

TEST(PlatformWaitAny, TakesAMutexTheCallerHoldsOnceMore) {
  Mutex mutex;
  PlatformMutexLock(mutex.m);
  const PlatformWaitable object = PlatformWaitableMutex(mutex.m);
  ASSERT_EQ(PlatformWaitAny(&object, 1, 0), 0);
  PlatformMutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);
  PlatformMutexUnlock(mutex.m);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 1);
}

TEST(PlatformWaitAny, PassesOverAMutexHeldElsewhere) {
  Mutex mutex;
  Event event;
  MutexHolder holder(mutex.m);
  const PlatformWaitable objects[] = {PlatformWaitableMutex(mutex.m),
                                      PlatformWaitableEvent(event.e)};
  EXPECT_EQ(PlatformWaitAny(objects, 2, 0), PlatformWaitTimeout);
  PlatformEventSignal(event.e);
  EXPECT_EQ(PlatformWaitAny(objects, 2, 0), 1);
  holder.Release();
  EXPECT_EQ(PlatformWaitAny(objects, 2, kMustMs), 0);
  PlatformMutexUnlock(mutex.m);
}

TEST(PlatformWaitAny, WakesWhenAMutexIsReleasedElsewhere) {
  Mutex mutex;
  Event event;
  MutexHolder holder(mutex.m);
  std::thread releaser([&] {
    PlatformSleepMs(50);
    holder.Release();
  });
  const PlatformWaitable objects[] = {PlatformWaitableEvent(event.e),
                                      PlatformWaitableMutex(mutex.m)};
  const auto start = Clock::now();
  EXPECT_EQ(PlatformWaitAny(objects, 2, kMustMs), 1);
  EXPECT_GE(MsSince(start), 50 - kWaitSlackMs);
  releaser.join();
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);
  PlatformMutexUnlock(mutex.m);
}

TEST(PlatformWaitAny, WakesWhenASemaphoreIsReleasedElsewhere) {
  Event event;
  Semaphore sem(0, 1);
  std::thread releaser([&] {
    PlatformSleepMs(30);
    PlatformSemaphoreRelease(sem.s, 1);
  });
  const PlatformWaitable objects[] = {PlatformWaitableEvent(event.e),
                                      PlatformWaitableSemaphore(sem.s)};
  EXPECT_EQ(PlatformWaitAny(objects, 2, kMustMs), 1);
  releaser.join();
  EXPECT_EQ(PlatformSemaphoreWait(sem.s, 0), 0);
}

TEST(PlatformWaitAny, TimesOutAfterItsLimit) {
  Mutex mutex;
  Event event;
  Semaphore sem(0, 1);
  MutexHolder holder(mutex.m);
  const PlatformWaitable objects[] = {PlatformWaitableEvent(event.e),
                                      PlatformWaitableSemaphore(sem.s),
                                      PlatformWaitableMutex(mutex.m)};
  auto start = Clock::now();
  EXPECT_EQ(PlatformWaitAny(objects, 3, 80), PlatformWaitTimeout);
  EXPECT_GE(MsSince(start), 80 - kWaitSlackMs);
  start = Clock::now();
  EXPECT_EQ(PlatformWaitAny(objects, 3, 1), PlatformWaitTimeout);
  EXPECT_GE(MsSince(start), 1 - kWaitSlackMs);
  EXPECT_EQ(PlatformWaitAny(objects, 3, 0), PlatformWaitTimeout);
}

uint32_t WaitForEvent(void* arg) {
  PlatformEventWait(static_cast<PlatformEvent*>(arg), PlatformWaitForever);
  return 7;
}

TEST(PlatformWaitAny, SeesAThreadsEndAndKeepsSeeingIt) {
  Event go, other;
  PlatformThread* thread = PlatformThreadCreate(WaitForEvent, go.e, 0, 0);
  ASSERT_NE(thread, nullptr);
  const PlatformWaitable objects[] = {PlatformWaitableEvent(other.e),
                                      PlatformWaitableThread(thread)};
  EXPECT_EQ(PlatformWaitAny(objects, 2, 30), PlatformWaitTimeout);
  PlatformEventSignal(go.e);
  ASSERT_EQ(PlatformWaitAny(objects, 2, kMustMs), 1);
  EXPECT_EQ(PlatformWaitAny(objects, 2, PlatformWaitForever), 1);
  EXPECT_EQ(PlatformWaitAny(objects, 2, 0), 1);  // an end is not used up by waiting
  PlatformThreadClose(thread);
}

TEST(PlatformWaitAny, ObtainsAMutexAbandonedByAnEndedThread) {
  Mutex mutex;
  Event event;
  std::thread([&] { PlatformMutexLock(mutex.m); }).join();
  const PlatformWaitable objects[] = {PlatformWaitableEvent(event.e),
                                      PlatformWaitableMutex(mutex.m)};
  EXPECT_EQ(PlatformWaitAny(objects, 2, 0), 1);
  EXPECT_EQ(TryLockElsewhere(mutex.m), 0);
  PlatformMutexUnlock(mutex.m);
}

TEST(PlatformWaitAny, WaitsForSixtyFourObjects) {
  std::deque<Semaphore> sems;
  for (int i = 0; i < 64; ++i) sems.emplace_back(0, 1);
  PlatformWaitable objects[64];
  for (int i = 0; i < 64; ++i) objects[i] = PlatformWaitableSemaphore(sems[i].s);
  std::thread releaser([&] {
    PlatformSleepMs(20);
    PlatformSemaphoreRelease(sems[63].s, 1);
  });
  EXPECT_EQ(PlatformWaitAny(objects, 64, kMustMs), 63);
  releaser.join();
}

TEST(PlatformWaitAny, RefusesBadCountsAtOnce) {
  Event event;
  PlatformEventSignal(event.e);
  PlatformWaitable objects[65];
  for (auto& object : objects) object = PlatformWaitableEvent(event.e);
  EXPECT_EQ(PlatformWaitAny(objects, 0, PlatformWaitForever), PlatformWaitTimeout);
  EXPECT_EQ(PlatformWaitAny(objects, 65, PlatformWaitForever), PlatformWaitTimeout);
  EXPECT_EQ(PlatformEventWait(event.e, 0), 1);  // untouched
}

}  // namespace
