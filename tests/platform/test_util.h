// Helpers for the OS layer's tests. Elapsed times are measured with std::chrono::steady_clock, not
// with the clocks under test, and only ever checked from below: a slow machine may take longer.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>
#include <utility>

#include "platform/platform.h"

namespace platform_test {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// How much before its limit a timed wait may end by another clock's reckoning. Windows ends waits
// on its timer ticks, which may come up to one tick (15.6 ms by default) early; POSIX waits here
// are measured on the same monotonic clock as their limits.
#if defined(_WIN32)
constexpr double kWaitSlackMs = 16.0;
#else
constexpr double kWaitSlackMs = 0.0;
#endif
// The millisecond tick counters may lag by one system timer tick.
constexpr double kTickSlackMs = 16.0;
// A limit for waits that must succeed: a broken wait then fails the test instead of hanging it.
constexpr uint32_t kMustMs = 20000;

// Waits until done() holds, for things that must happen soon; false after a generous limit.
template <typename Done>
bool Eventually(Done done) {
  const auto limit = Clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (Clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// Runs fn on a new thread and returns its result.
template <typename Fn>
auto OnOtherThread(Fn fn) {
  decltype(fn()) result{};
  std::thread thread([&] { result = fn(); });
  thread.join();
  return result;
}

// Owners that destroy the objects at the end of a test, whatever happens.
struct Mutex {
  PlatformMutex* m = PlatformMutexCreate();
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;
  ~Mutex() { PlatformMutexDestroy(m); }
};

struct Event {
  PlatformEvent* e = PlatformEventCreate();
  Event() = default;
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;
  ~Event() { PlatformEventDestroy(e); }
};

struct Semaphore {
  PlatformSemaphore* s;
  Semaphore(uint32_t initial, uint32_t maximum) : s(PlatformSemaphoreCreate(initial, maximum)) {}
  Semaphore(const Semaphore&) = delete;
  Semaphore& operator=(const Semaphore&) = delete;
  ~Semaphore() { PlatformSemaphoreDestroy(s); }
};

// Holds a mutex on another thread from construction until Release.
class MutexHolder {
 public:
  explicit MutexHolder(PlatformMutex* m)
      : thread_([this, m] {
          PlatformMutexLock(m);
          locked_ = true;
          while (!release_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
          PlatformMutexUnlock(m);
        }) {
    Eventually([this] { return locked_.load(); });
  }
  MutexHolder(const MutexHolder&) = delete;
  MutexHolder& operator=(const MutexHolder&) = delete;
  ~MutexHolder() { Release(); }

  void Release() {
    release_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  std::atomic<bool> locked_{false};
  std::atomic<bool> release_{false};
  std::thread thread_;
};

}  // namespace platform_test
