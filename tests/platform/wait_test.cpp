// Timed waits and PlatformWaitAny over mixes of mutexes, events, semaphores and thread ends.
#include <functional>

#include "test_util.h"

namespace {

using namespace platform_test;

uint32_t WaitForEvent(void* arg) {
  return uint32_t(PlatformEventWait(static_cast<PlatformEvent*>(arg), PlatformWaitForever));
}

// Every kind of wait gives up after its limit, not before, when nothing comes.
TEST(PlatformWait, TimedWaitsEndAfterTheirLimit) {
  PlatformMutex* m = PlatformMutexCreate();
  PlatformEvent* e = PlatformEventCreate();
  PlatformSemaphore* s = PlatformSemaphoreCreate(0, 1);
  PlatformThread* t = PlatformThreadCreate(WaitForEvent, e, 0, 0);
  MutexHolder holder(m);
  const PlatformWaitable all[] = {PlatformWaitableEvent(e), PlatformWaitableSemaphore(s),
                                  PlatformWaitableMutex(m), PlatformWaitableThread(t)};
  const std::function<int(uint32_t)> waits[] = {  // 1 when the wait (wrongly) obtained something
      [&](uint32_t ms) { return PlatformEventWait(e, ms); },
      [&](uint32_t ms) { return PlatformSemaphoreWait(s, ms); },
      [&](uint32_t ms) { return PlatformThreadJoin(t, ms); },
      [&](uint32_t ms) { return int(PlatformWaitAny(all, 4, ms) != PlatformWaitTimeout); }};
  for (uint32_t ms : {0u, 1u, 60u}) {
    for (size_t kind = 0; kind < 4; ++kind) {  // event, semaphore, thread, any of the four
      const auto start = Clock::now();
      EXPECT_EQ(waits[kind](ms), 0) << kind << ", " << ms << " ms";
      EXPECT_GE(MsSince(start), ms - kWaitSlackMs) << kind << ", " << ms << " ms";
    }
  }
  PlatformEventSignal(e);
  EXPECT_EQ(PlatformThreadJoin(t, kMustMs), 1);
  holder.Release();
  PlatformThreadClose(t), PlatformSemaphoreDestroy(s);
  PlatformEventDestroy(e), PlatformMutexDestroy(m);
}

// Objects made obtainable in turn: the lowest obtainable index is taken, and only it.
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
    EXPECT_EQ(PlatformWaitAny(objects, 4, 0), 2);  // the semaphore's one count
    EXPECT_EQ(PlatformWaitAny(objects, 4, 0), PlatformWaitTimeout);  // the mutex is held
  }
  EXPECT_EQ(PlatformWaitAny(objects, 4, 0), 3);  // now this thread's
  EXPECT_EQ(TryLockElsewhere(m), 0);
  EXPECT_EQ(PlatformWaitAny(objects + 3, 1, 0), 0);  // once more, recursively
  PlatformMutexUnlock(m);
  PlatformMutexUnlock(m);
  EXPECT_EQ(TryLockElsewhere(m), 1);
  std::thread([m] { PlatformMutexLock(m); }).join();  // abandoned
  EXPECT_EQ(PlatformWaitAny(objects, 4, 0), 3);
  PlatformMutexUnlock(m);
  PlatformMutexDestroy(m), PlatformSemaphoreDestroy(s);
  PlatformEventDestroy(set), PlatformEventDestroy(clear);
}

// A blocked wait for 64 objects wakes for whatever another thread makes the last one: a mutex's
// release, a semaphore's release, a thread's end (which waiting does not use up).
TEST(PlatformWaitAny, WakesWhenAnotherThreadMakesAnObjectObtainable) {
  PlatformWaitable objects[64];
  for (PlatformWaitable& o : objects) o = PlatformWaitableSemaphore(PlatformSemaphoreCreate(0, 1));
  auto* last = static_cast<PlatformSemaphore*>(objects[63].object);
  PlatformMutex* m = PlatformMutexCreate();
  PlatformEvent* go = PlatformEventCreate();
  PlatformThread* t = PlatformThreadCreate(WaitForEvent, go, 0, 0);
  MutexHolder holder(m);
  const struct {
    const char* trace;
    PlatformWaitable object;
    std::function<void()> act;
  } cases[] = {
      {"a mutex released", PlatformWaitableMutex(m), [&] { holder.Release(); }},
      {"a semaphore released", objects[63], [last] { PlatformSemaphoreRelease(last, 1); }},
      {"a thread's end", PlatformWaitableThread(t), [go] { PlatformEventSignal(go); }},
  };
  for (const auto& c : cases) {
    objects[63] = c.object;
    const auto start = Clock::now();
    std::thread actor([&] { PlatformSleepMs(30), c.act(); });
    EXPECT_EQ(PlatformWaitAny(objects, 64, kMustMs), 63) << c.trace;
    EXPECT_GE(MsSince(start), 30 - kWaitSlackMs) << c.trace;
    actor.join();
  }
  EXPECT_EQ(PlatformWaitAny(objects, 64, 0), 63);  // the thread has still ended
  EXPECT_EQ(TryLockElsewhere(m), 0);               // the wait took the mutex
  PlatformMutexUnlock(m);
  EXPECT_EQ(PlatformWaitAny(objects, 0, 0), PlatformWaitTimeout);  // refused at once
  objects[63] = PlatformWaitableSemaphore(last);
  for (PlatformWaitable& o : objects) {
    PlatformSemaphoreDestroy(static_cast<PlatformSemaphore*>(o.object));
  }
  PlatformThreadClose(t), PlatformEventDestroy(go), PlatformMutexDestroy(m);
}

}  // namespace
