// The library's millisecond clock (MovieTimerMs) and the table of time sources it reads.
#pragma once

#include <cstdint>

// Where the clock reads time. Frequency returns 0 when there is no high-resolution counter;
// then the clock is the multimedia time.
struct MovieTimerSource {
  uint64_t (*Frequency)();
  uint64_t (*Counter)();
  uint32_t (*Tick)();
  uint32_t (*MultimediaTime)();
};

// Makes the clock read from source (null = the platform's clocks) and starts it afresh: the next
// MovieTimerMs is again a first call. The source must outlive its use.
void MovieTimerUseSource(const MovieTimerSource* source);
