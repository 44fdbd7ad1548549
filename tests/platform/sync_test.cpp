// Recursive mutexes (abandoned by owners that end), auto-reset events, semaphores, threads, timed
// waits and PlatformWaitAny. Elapsed times come from std::chrono and are only checked from below.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
#if defined(_WIN32)
constexpr double kWaitSlackMs = 16.0;  // Windows ends waits on timer ticks, up to 15.6 ms early
#else
constexpr double kWaitSlackMs = 0.0;
#endif
constexpr uint32_t kMustMs = 20000;  // a broken wait then fails the test instead of hanging it

int TryLockElsewhere(PlatformMutex* m) {
  int got = 0;
  std::thread([&] { (got = PlatformMutexTryLock(m)) ? PlatformMutexUnlock(m) : void(); }).join();
  return got;
}

struct MutexHolder {  // holds a mutex on another thread from construction until Release
  std::atomic<bool> locked{false}, release{false};
  std::thread thread;
  explicit MutexHolder(PlatformMutex* m) : thread([this, m] {
    PlatformMutexLock(m), locked = true;
    while (!release) PlatformSleepMs(1);
    PlatformMutexUnlock(m);
  }) {
    while (!locked) PlatformSleepMs(1);
  }
  void Release() { release.exchange(true) ? void() : thread.join(); }
  ~MutexHolder() { Release(); }
};

// Taken again by its owner (also by a wait), unlocked only by it; a thread that ends holding it
// (twice) leaves it to the next taker, by a try or a wait, held once.
TEST(PlatformMutex, IsRecursiveOnlyTheOwnerUnlocksAndAnEndedOwnerAbandonsIt) {
  PlatformMutex* m = PlatformMutexCreate();
  const PlatformWaitable waitable = PlatformWaitableMutex(m);
  PlatformMutexLock(m);
  ASSERT_EQ(PlatformWaitAny(&waitable, 1, 0), 0);
  std::thread([m] { PlatformMutexUnlock(m); }).join();  // not the owner: no effect
  PlatformMutexUnlock(m);
  EXPECT_EQ(TryLockElsewhere(m), 0);
  PlatformMutexUnlock(m);
  EXPECT_EQ(TryLockElsewhere(m), 1);
  for (bool byWait : {false, true}) {
    std::thread([m] { PlatformMutexLock(m), PlatformMutexLock(m); }).join();
    ASSERT_TRUE(byWait ? PlatformWaitAny(&waitable, 1, 0) == 0 : PlatformMutexTryLock(m) == 1);
    EXPECT_EQ(TryLockElsewhere(m), 0) << byWait;
    PlatformMutexUnlock(m);
    EXPECT_EQ(TryLockElsewhere(m), 1) << byWait;
  }
  PlatformMutexDestroy(m);
}

// An event keeps one signal until a waiter comes; a semaphore counts up to its maximum and
// refuses a release that would pass it.
TEST(PlatformSync, EventsAutoResetAndSemaphoresCountToTheirMaximum) {
  PlatformEvent* e = PlatformEventCreate();
  EXPECT_EQ(PlatformEventWait(e, 0), 0);
  PlatformEventSignal(e), PlatformEventSignal(e);
  EXPECT_EQ(PlatformEventWait(e, 0), 1);
  EXPECT_EQ(PlatformEventWait(e, 0), 0);
  PlatformSemaphore* s = PlatformSemaphoreCreate(2, 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(PlatformSemaphoreWait(s, 0), int(i < 2)) << i;
  const uint32_t releases[][2] = {{1, 1}, {3, 0}, {2, 1}, {0, 0}};  // count, released
  for (const auto& r : releases) EXPECT_EQ(PlatformSemaphoreRelease(s, r[0]), int(r[1])) << r[0];
  for (int i = 0; i < 4; ++i) EXPECT_EQ(PlatformSemaphoreWait(s, 0), int(i < 3)) << i;
  PlatformEventDestroy(e), PlatformSemaphoreDestroy(s);
}

// Three blocked waiters: an event signal releases one, a semaphore release of 2 releases two.
TEST(PlatformSync, ReleasesWakeExactlyAsManyWaitersAsTheyCount) {
  PlatformEvent* e = PlatformEventCreate();
  PlatformSemaphore* s = PlatformSemaphoreCreate(0, 16);
  for (const PlatformWaitable& object : {PlatformWaitableEvent(e), PlatformWaitableSemaphore(s)}) {
    const bool event = object.kind == PlatformWaitable::Event;
    std::atomic<int> woken{0};
    std::vector<std::thread> waiters;
    auto wait = [&] { woken += !PlatformWaitAny(&object, 1, kMustMs); };
    for (int i = 0; i < 3; ++i) waiters.emplace_back(wait);
    for (int expected : {0, event ? 1 : 2, event ? 2 : 3}) {  // the last signal wakes the last
      for (int ms = 0; woken < expected && ms < 20000; ++ms) PlatformSleepMs(1);
      PlatformSleepMs(50);  // blocked, and no more woken
      EXPECT_EQ(woken, expected) << event;
      event ? PlatformEventSignal(e) : void(PlatformSemaphoreRelease(s, 2));
    }
    for (std::thread& waiter : waiters) waiter.join();
  }
  PlatformEventDestroy(e), PlatformSemaphoreDestroy(s);
}

uint32_t StoreId(void* arg) {
  *static_cast<std::atomic<uint32_t>*>(arg) = PlatformThreadCurrentId();
  volatile unsigned char stack[16384] = {1};  // a small stack request still gives a usable one
  return stack[0];
}

// A suspended thread runs only after resume, with its own id; impossible requests are refused and
// null closes harmlessly (records sit behind the pointers).
TEST(PlatformThread, RunsOnlyAfterResumeWithItsOwnIdAndImpossibleRequestsAreRefused) {
  std::atomic<uint32_t> id{0};
  PlatformThread* t = PlatformThreadCreate(StoreId, &id, 32768, 1);
  ASSERT_NE(t, nullptr);
  const auto start = Clock::now();
  EXPECT_EQ(PlatformThreadJoin(t, 0) + PlatformThreadJoin(t, 60), 0);
  EXPECT_GE(MsSince(start), 60 - kWaitSlackMs);
  EXPECT_EQ(id, 0u);
  PlatformThreadSetPriority(t, PlatformPriorityBelowNormal);
  PlatformThreadResume(t);
  EXPECT_EQ(PlatformThreadJoin(t, kMustMs) + PlatformThreadJoin(t, 0), 2);
  EXPECT_TRUE(id != 0 && id != PlatformThreadCurrentId()) << id;
  PlatformThreadClose(t);
  EXPECT_EQ(PlatformSemaphoreCreate(4, 3), nullptr);
  EXPECT_EQ(PlatformSemaphoreCreate(0, 0), nullptr);
  EXPECT_EQ(PlatformThreadCreate(nullptr, nullptr, 0, 0), nullptr);
  EXPECT_EQ(PlatformHeapAllocate(UINT64_MAX), nullptr);  // before any allocator sees it
  PlatformThreadClose(nullptr), PlatformFileClose(nullptr), PlatformHeapRelease(nullptr);
}

// The lowest obtainable index is taken, and only it; with none, waits end after their limit.
TEST(PlatformWaitAny, TakesOnlyTheLowestObtainableObject) {
  PlatformEvent *clear = PlatformEventCreate(), *set = PlatformEventCreate();
  PlatformSemaphore* s = PlatformSemaphoreCreate(1, 4);
  PlatformMutex* m = PlatformMutexCreate();
  PlatformEventSignal(set);
  const PlatformWaitable objects[] = {PlatformWaitableEvent(clear), PlatformWaitableEvent(set),
                                      PlatformWaitableSemaphore(s), PlatformWaitableMutex(m)};
  {
    MutexHolder holder(m);
    EXPECT_EQ(PlatformWaitAny(objects, 4, 0), 1);  // the event, now reset; the count is left
    EXPECT_EQ(PlatformWaitAny(objects, 4, 0), 2);
    for (uint32_t ms : {0u, 1u, 60u}) {  // nothing obtainable: waits end after their limit
      auto start = Clock::now();
      auto nothing = [&](int obtained, const char* wait) {
        EXPECT_TRUE(!obtained && MsSince(start) >= ms - kWaitSlackMs) << wait << " " << ms;
        start = Clock::now();
      };
      nothing(PlatformEventWait(clear, ms), "event");
      nothing(PlatformSemaphoreWait(s, ms), "semaphore");
      nothing(PlatformWaitAny(objects, 4, ms) != PlatformWaitTimeout, "any of the four");
    }
  }
  EXPECT_EQ(PlatformWaitAny(objects, 4, 0), 3);  // the mutex, released
  PlatformMutexUnlock(m), PlatformMutexDestroy(m), PlatformSemaphoreDestroy(s);
  PlatformEventDestroy(set), PlatformEventDestroy(clear);
}

// A blocked wait for 64 objects wakes for whatever another thread makes the last one: a mutex's
// release, a semaphore's release, a thread's end (which waiting does not use up).
TEST(PlatformWaitAny, WakesWhenAnotherThreadMakesAnObjectObtainable) {
  PlatformWaitable objects[64];  // distinct objects: Windows refuses a wait for one twice
  for (PlatformWaitable& o : objects) o = PlatformWaitableSemaphore(PlatformSemaphoreCreate(0, 1));
  auto* last = static_cast<PlatformSemaphore*>(objects[63].object);
  PlatformMutex* m = PlatformMutexCreate();
  std::atomic<uint32_t> id{0};
  PlatformThread* t = PlatformThreadCreate(StoreId, &id, 0, 1);
  MutexHolder holder(m);
  const struct { const char* what; PlatformWaitable object; std::function<void()> act; } cases[] = {
      {"a mutex released", PlatformWaitableMutex(m), [&] { holder.Release(); }},
      {"a semaphore released", objects[63], [last] { PlatformSemaphoreRelease(last, 1); }},
      {"a thread's end", PlatformWaitableThread(t), [t] { PlatformThreadResume(t); }}};
  for (const auto& c : cases) {
    objects[63] = c.object;
    const auto start = Clock::now();
    std::thread actor([&] { PlatformSleepMs(30), c.act(); });
    EXPECT_EQ(PlatformWaitAny(objects, 64, kMustMs), 63) << c.what;
    EXPECT_GE(MsSince(start), 30 - kWaitSlackMs) << c.what;
    actor.join();
  }
  EXPECT_EQ(PlatformWaitAny(objects, 64, 0), 63);  // the thread has still ended
  EXPECT_EQ(TryLockElsewhere(m), 0);               // the wait took the mutex
  PlatformMutexUnlock(m);
  EXPECT_EQ(PlatformWaitAny(objects, 0, 0), PlatformWaitTimeout);  // refused at once
  objects[63] = PlatformWaitableSemaphore(last);
  for (auto& o : objects) PlatformSemaphoreDestroy(static_cast<PlatformSemaphore*>(o.object));
  PlatformThreadClose(t), PlatformMutexDestroy(m);
}

}  // namespace
