// MovieTimerMs driven through a fake time source: the first call, the drift correction against
// the tick count, the never-backwards rule, wrapping, and the multimedia-time fallback.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "io/timer.h"
#include "platform/platform.h"
#include "vexa/movie.h"

namespace {

struct FakeClock {
  uint64_t Frequency = 1000;  // counter ticks per second
  uint64_t Counter = 0;
  uint32_t Tick = 0;
  uint32_t Multimedia = 0;
};
FakeClock gClock;

const TimerSource kFakeSource = {
    [] { return gClock.Frequency; },
    [] { return gClock.Counter; },
    [] { return gClock.Tick; },
    [] { return gClock.Multimedia; },
};

class TimerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gClock = FakeClock{};
    TimerUseSource(&kFakeSource);
  }
  void TearDown() override { TimerUseSource(nullptr); }

  // Real time passes: counter and tick move together (counter at 1000 Hz).
  static void Advance(uint32_t ms) {
    gClock.Counter += ms;
    gClock.Tick += ms;
  }
};

TEST_F(TimerTest, FirstCallIsZeroAndLaterCallsCountMilliseconds) {
  gClock.Counter = 987654321;
  gClock.Tick = 4000000000u;
  EXPECT_EQ(MovieTimerMs(), 0u);
  Advance(150);
  EXPECT_EQ(MovieTimerMs(), 150u);
  Advance(1);
  EXPECT_EQ(MovieTimerMs(), 151u);
}

TEST_F(TimerTest, CounterFrequencyIsHonoured) {
  gClock.Frequency = 3579545;  // an odd, real-world counter rate
  EXPECT_EQ(MovieTimerMs(), 0u);
  gClock.Counter += 3579545u * 7 + 3579545u / 4;  // 7.2499998 s: whole milliseconds count
  gClock.Tick += 7250;
  EXPECT_EQ(MovieTimerMs(), 7249u);
}

TEST_F(TimerTest, WithoutCounterTheMultimediaTimeIsUsed) {
  gClock.Frequency = 0;
  gClock.Multimedia = 12345;
  EXPECT_EQ(MovieTimerMs(), 12345u);
  gClock.Multimedia = 12400;
  gClock.Counter = 999999;  // ignored
  EXPECT_EQ(MovieTimerMs(), 12400u);
}

TEST_F(TimerTest, DriftWithinLimitIsLeftAlone) {
  MovieTimerMs();
  gClock.Counter += 100;
  gClock.Tick += 300;  // 200 ms apart: still believed
  EXPECT_EQ(MovieTimerMs(), 100u);
  gClock.Counter += 100;
  gClock.Tick -= 100;  // the tick went back by 200 relative to the counter
  EXPECT_EQ(MovieTimerMs(), 200u);
}

TEST_F(TimerTest, LargeDriftPullsTheCounterToTheTickCount) {
  MovieTimerMs();
  gClock.Counter += 100;
  gClock.Tick += 400;  // the counter lost 300 ms (e.g. it stopped while the machine slept)
  EXPECT_EQ(MovieTimerMs(), 400u);
  Advance(10);  // the correction persists
  EXPECT_EQ(MovieTimerMs(), 410u);

  gClock.Counter += 1000;  // now the counter leaps 990 ms ahead of the tick
  gClock.Tick += 10;
  EXPECT_EQ(MovieTimerMs(), 420u);
  Advance(5);
  EXPECT_EQ(MovieTimerMs(), 425u);
}

TEST_F(TimerTest, EarlierReadingReturnsTheLastValueAgain) {
  MovieTimerMs();
  Advance(500);
  EXPECT_EQ(MovieTimerMs(), 500u);
  gClock.Counter -= 100;  // a counter read on another processor, slightly behind
  EXPECT_EQ(MovieTimerMs(), 500u);
  EXPECT_EQ(MovieTimerMs(), 500u);
  gClock.Counter += 150;
  gClock.Tick += 50;
  EXPECT_EQ(MovieTimerMs(), 550u);
}

TEST_F(TimerTest, CountWrapsThroughZero) {
  MovieTimerMs();
  for (int step = 0; step < 4; ++step) {
    Advance(0x3FFFFFFCu);
    EXPECT_EQ(MovieTimerMs(), 0x3FFFFFFCu * (step + 1u));
  }
  Advance(0x20);
  EXPECT_EQ(MovieTimerMs(), 0x10u);
  Advance(0x7FFFFFFF);  // a long step forward is not mistaken for a step back
  EXPECT_EQ(MovieTimerMs(), 0x8000000Fu);
}

TEST_F(TimerTest, ChoosingASourceRestartsTheClock) {
  MovieTimerMs();
  Advance(777);
  EXPECT_EQ(MovieTimerMs(), 777u);
  TimerUseSource(&kFakeSource);
  EXPECT_EQ(MovieTimerMs(), 0u);
}

TEST(TimerPlatform, RealClockAdvancesAndNeverGoesBackOnAnyThread) {
  TimerUseSource(nullptr);
  const uint32_t start = MovieTimerMs();
  PlatformSleepMs(30);
  EXPECT_GE(MovieTimerMs() - start, 25u);

  std::vector<std::thread> threads;
  std::atomic<int> backwards{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      uint32_t last = MovieTimerMs();
      for (int i = 0; i < 20000; ++i) {
        const uint32_t now = MovieTimerMs();
        if (now - last > 0x80000000u) backwards.fetch_add(1);
        last = now;
      }
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(backwards.load(), 0);
}

}  // namespace
