// Helpers for the OS layer's tests. Elapsed times are measured with std::chrono::steady_clock, not
// with the clocks under test, and only ever checked from below: a slow machine may take longer.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/platform.h"

namespace platform_test {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// How much before its limit a timed wait may end by another clock's reckoning: Windows ends waits
// on its timer ticks, which may come up to one tick (15.6 ms by default) early.
#if defined(_WIN32)
constexpr double kWaitSlackMs = 16.0;
#else
constexpr double kWaitSlackMs = 0.0;
#endif
// A limit for waits that must succeed: a broken wait then fails the test instead of hanging it.
constexpr uint32_t kMustMs = 20000;

// Waits until done() holds, for things that must happen soon; false after a generous limit.
template <typename Done>
bool Eventually(Done done) {
  for (const auto limit = Clock::now() + std::chrono::seconds(20); !done();) {
    if (Clock::now() > limit) return false;
    PlatformSleepMs(1);
  }
  return true;
}

// Runs fn on a new thread and returns its result.
template <typename Fn>
auto OnOtherThread(Fn fn) {
  decltype(fn()) result{};
  std::thread([&] { result = fn(); }).join();
  return result;
}

inline int TryLockElsewhere(PlatformMutex* m) {
  return OnOtherThread([m] {
    const int got = PlatformMutexTryLock(m);
    if (got) PlatformMutexUnlock(m);
    return got;
  });
}

// Holds a mutex on another thread from construction until Release.
struct MutexHolder {
  std::atomic<bool> locked{false}, release{false};
  std::thread thread;
  explicit MutexHolder(PlatformMutex* m) : thread([this, m] {
    PlatformMutexLock(m);
    locked = true;
    while (!release) PlatformSleepMs(1);
    PlatformMutexUnlock(m);
  }) {
    while (!locked) PlatformSleepMs(1);
  }
  void Release() {
    release = true;
    if (thread.joinable()) thread.join();
  }
  ~MutexHolder() { Release(); }
};

}  // namespace platform_test
