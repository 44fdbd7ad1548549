// MovieTimerMs: the high-resolution counter in milliseconds, kept in step with the coarse tick
// count (a counter that drifts or jumps is pulled back to it) and never running backwards.
#include "io/timer.h"

#include <mutex>

#include "platform/platform.h"
#include "vexa/movie.h"

namespace {

const MovieTimerSource kPlatformSource = {PlatformCounterFrequency, PlatformCounterNow,
                                     PlatformTickCountMs, PlatformMultimediaTimeMs};

// Larger than this difference between the counter's and the tick's elapsed time (ms), the
// counter is taken to have jumped and is corrected by the difference.
constexpr int32_t kMaxDriftMs = 200;
// A reading this far "ahead" of the last one (as unsigned 32 bits) is really behind it.
constexpr uint32_t kBackwardsLimit = 0xC0000000u;

struct TimerState {
  const MovieTimerSource* Source = &kPlatformSource;
  bool First = true;
  uint64_t Frequency = 0;     // 0 = no counter: use the multimedia time
  uint64_t FirstCounter = 0;
  uint32_t Adjustment = 0;    // ms added to the counter's elapsed time by drift corrections
  uint32_t Last = 0;          // last value returned
  uint32_t LastTick = 0;      // tick count at that return
};

std::mutex gTimerLock;  // the clock is read from every thread of the library
TimerState gTimer;

// Counter ticks since the first call in ms, without overflowing for any realistic frequency.
uint32_t CounterElapsedMs(uint64_t ticks, uint64_t frequency) {
  const uint64_t whole = ticks / frequency;
  const uint64_t rest = ticks % frequency;
  return static_cast<uint32_t>(whole * 1000u + rest * 1000u / frequency);
}

uint32_t TimerFirstCall(TimerState* t) {
  t->First = false;
  t->Frequency = t->Source->Frequency();
  if (t->Frequency == 0) return t->Source->MultimediaTime();
  t->FirstCounter = t->Source->Counter();
  t->Last = 0;
  t->LastTick = t->Source->Tick();
  return 0;
}

uint32_t TimerNext(TimerState* t) {
  const uint64_t counter = t->Source->Counter();
  const uint32_t tick = t->Source->Tick();
  uint32_t ms = t->Adjustment + CounterElapsedMs(counter - t->FirstCounter, t->Frequency);
  const int32_t drift = static_cast<int32_t>((tick - t->LastTick) - (ms - t->Last));
  if (drift > kMaxDriftMs || drift < -kMaxDriftMs) {
    ms += static_cast<uint32_t>(drift);
    t->Adjustment += static_cast<uint32_t>(drift);
  }
  if (ms - t->Last > kBackwardsLimit) return t->Last;
  t->Last = ms;
  t->LastTick = tick;
  return ms;
}

}  // namespace

void MovieTimerUseSource(const MovieTimerSource* source) {
  std::lock_guard<std::mutex> hold(gTimerLock);
  gTimer = TimerState{};
  if (source != nullptr) gTimer.Source = source;
}

uint32_t MovieTimerMs(void) {
  std::lock_guard<std::mutex> hold(gTimerLock);
  if (gTimer.First) return TimerFirstCall(&gTimer);
  if (gTimer.Frequency == 0) return gTimer.Source->MultimediaTime();
  return TimerNext(&gTimer);
}
