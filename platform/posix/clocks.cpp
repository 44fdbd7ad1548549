// Clocks, sleeping and the processor count on POSIX. Every clock is CLOCK_MONOTONIC.
#include <sched.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "platform/platform.h"

namespace {

uint64_t MonotonicNs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

}  // namespace

uint64_t PlatformCounterFrequency() { return 1000000000u; }

uint64_t PlatformCounterNow() { return MonotonicNs(); }

uint32_t PlatformTickCountMs() { return static_cast<uint32_t>(MonotonicNs() / 1000000u); }

uint32_t PlatformMultimediaTimeMs() { return static_cast<uint32_t>(MonotonicNs() / 1000000u); }

void PlatformSleepMs(uint32_t ms) {
  if (ms == 0) {
    sched_yield();
    return;
  }
  timespec left{static_cast<time_t>(ms / 1000u), static_cast<long>(ms % 1000u) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

uint32_t PlatformProcessorCount() {
  const long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count < 1 ? 1u : static_cast<uint32_t>(count);
}

// Sleeps and waits here already have fine resolution: nothing to raise.
void PlatformTimerPeriodBegin() {}
void PlatformTimerPeriodEnd() {}
