// MovieTimerMs over a fake time source: each case is a run of readings from a fresh start, with
// what the counter, the tick count and the multimedia time did before each reading.
#include <gtest/gtest.h>

#include <vector>

#include "io/timer.h"
#include "vexa/movie.h"

namespace {

struct FakeClock { uint64_t Frequency, Counter; uint32_t Tick, Multimedia; } gClock;

const MovieTimerSource kFakeSource = {[] { return gClock.Frequency; },
                                      [] { return gClock.Counter; }, [] { return gClock.Tick; },
                                      [] { return gClock.Multimedia; }};

// Counter ticks and tick-count (and multimedia) milliseconds passed, and the reading expected.
struct Step { int64_t counter, tick, expected; };
struct Case { const char* trace; uint64_t frequency; std::vector<Step> steps; };  // 0: no counter

TEST(MovieTimer, ReadingsFollowTheCounterAndTheTickCount) {
  constexpr int64_t kQ = 0x3FFFFFFC;
  const Case cases[] = {
      {"milliseconds from the first call", 1000, {{0, 0, 0}, {150, 150, 150}, {1, 1, 151}}},
      {"an odd counter rate", 3579545, {{0, 0, 0}, {3579545 * 7 + 3579545 / 4, 7250, 7249}}},
      {"no counter: the multimedia time", 0, {{0, 12345, 12345}, {999, 55, 12400}}},
      {"drift of 200 ms is believed", 1000, {{0, 0, 0}, {100, 300, 100}, {100, -100, 200}}},
      {"larger drift follows the tick count, smaller follows the counter", 1000,
       {{0, 0, 0}, {100, 400, 400}, {10, 10, 410}, {1000, 10, 420}, {5, 5, 425}, {10, 150, 435}}},
      {"an earlier reading repeats the last value", 1000,
       {{0, 0, 0}, {500, 500, 500}, {-100, 0, 500}, {0, 0, 500}, {150, 50, 550}}},
      {"wraps through zero; a long step is no step back", 1000,
       {{0, 0, 0}, {kQ, kQ, kQ}, {kQ, kQ, 2 * kQ}, {kQ, kQ, 3 * kQ}, {kQ, kQ, 4 * kQ},
        {0x20, 0x20, 0x10}, {0x7FFFFFFF, 0x7FFFFFFF, 0x8000000Fu}}}};
  for (const Case& c : cases) {
    gClock = {c.frequency, 987654321, 4000000000u, 0};
    MovieTimerUseSource(&kFakeSource);
    for (const Step& step : c.steps) {
      gClock.Counter += uint64_t(step.counter), gClock.Tick += uint32_t(step.tick);
      gClock.Multimedia += uint32_t(step.tick);
      EXPECT_EQ(MovieTimerMs(), uint32_t(step.expected)) << c.trace;
    }
  }
  MovieTimerUseSource(nullptr);
}

}  // namespace
