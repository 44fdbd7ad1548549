// Frame stepping and timing, driven by a clock the test moves by hand.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "io/timer.h"
#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

uint64_t gClock = 5000;  // ms
uint64_t ClockFrequency() { return 1000; }
uint64_t ClockCounter() { return gClock; }
uint32_t ClockTick() { return uint32_t(gClock); }
const TimerSource kTestClock = {ClockFrequency, ClockCounter, ClockTick, ClockTick};

struct FakeSound {
  std::vector<int> onOff;  // every SoundOnOff call, in order
  std::vector<int> pauses;
};
FakeSound gSound;

int FakeOnOff(AudioTrack*, int on) {
  gSound.onOff.push_back(on);
  return on;
}
int FakePause(AudioTrack*, int on) {
  gSound.pauses.push_back(on);
  return on;
}
int FakeOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  *t = AudioTrack{};
  t->Rate = rate, t->Bits = bits, t->Channels = channels, t->ChunkBytes = 4096, t->IsOn = 1;
  t->Ops.SoundOnOff = FakeOnOff;
  t->Ops.SoundPause = FakePause;
  return 1;
}

struct Stepping : ::testing::Test {
  std::vector<uint8_t> image;
  Movie* m = nullptr;

  void SetUp() override {
    TimerUseSource(&kTestClock);
    MovieTimerMs();  // the clock's first reading is 0; tests start a little after it
    gClock += 1000;
    gSound = {};
  }
  void TearDown() override {
    MovieClose(m);
    MovieSetSoundOpenFunc(nullptr);
    TimerUseSource(nullptr);
  }
  void Open(bool withSound, uint32_t frames = 40, uint32_t flags = 0, char version = 'i') {
    TestMovieShape s;
    s.Config.Version = version;
    s.Config.Width = 48;
    s.Config.Height = 32;
    s.Config.FrameRate = 30;
    s.Frames = frames;
    s.VideoBytes = 600;
    if (withSound) {
      s.Config.Tracks = {{0, TrackAudio | Track16Bit | TrackStereo | 22050, 8000}};
      MovieSetSoundOpenFunc(FakeOpen);
    }
    image = TestMakeMovie(s);
    MovieSetPendingImageSize(uint32_t(image.size()));
    m = MovieOpen(image.data(), flags | OpenFromMemory);
    ASSERT_NE(m, nullptr) << MovieGetError();
  }
  uint32_t Now() { return MovieTimerMs(); }
  // One frame: begin and end at the current time (nothing decoded), then step on.
  void PlayFrame(uint32_t ms) {
    ASSERT_NE(MovieFrameBegin(m, Now()), nullptr);
    MovieFrameEnd(m, Now());
    if (m->SkipState == 0) MovieShouldSkip(m, 0);
    MovieNextFrame(m);
    gClock += ms;
  }
};

TEST_F(Stepping, SlackIsTwoFrameTimesAndALateCopyIsDroppedWithSound) {
  Open(true);
  EXPECT_EQ(m->SlackMs, 66u);
  ASSERT_NE(MovieFrameBegin(m, Now()), nullptr);
  MovieFrameEnd(m, Now());  // starts the run: frame 1 is due 33 ms from now
  gClock += 33 + 66;
  EXPECT_EQ(MovieShouldSkip(m, 0), 0u);  // exactly at the slack: on time
  EXPECT_EQ(m->SkipState, 1u);
  gClock += 4;
  EXPECT_EQ(MovieShouldSkip(m, 0), 1u);
  EXPECT_EQ(m->SkipState, 2u);
  EXPECT_EQ(m->SkippedBlits, 1u);
  EXPECT_EQ(m->SkippedLast, 1u);
}

TEST_F(Stepping, EveryFourthLateFrameIsShown) {
  Open(true);
  MovieFrameBegin(m, Now());
  MovieFrameEnd(m, Now());
  gClock += 200;
  std::vector<uint32_t> answers;
  for (int i = 0; i < 8; ++i) answers.push_back(MovieShouldSkip(m, 0));
  EXPECT_EQ(answers, (std::vector<uint32_t>{1, 1, 1, 0, 1, 1, 1, 0}));
  EXPECT_EQ(m->SkippedBlits, 6u);
}

TEST_F(Stepping, PeekingReportsLatenessWithoutDropping) {
  Open(true);
  MovieFrameBegin(m, Now());
  MovieFrameEnd(m, Now());
  gClock += 200;
  EXPECT_EQ(MovieShouldSkip(m, 1), 1u);
  EXPECT_EQ(m->SkippedBlits, 0u);
  EXPECT_EQ(m->SkipState, 0u);
}

TEST_F(Stepping, WithoutSoundALateFrameRestartsTheRunInstead) {
  Open(false);
  MovieFrameBegin(m, Now());
  MovieFrameEnd(m, Now());
  gClock += 500;
  EXPECT_EQ(MovieShouldSkip(m, 0), 0u);
  EXPECT_EQ(m->SkippedBlits, 0u);
  EXPECT_EQ(m->TimerBase, Now());
  EXPECT_EQ(m->TimerBaseFrame, m->FramesPlayed - 1);
  EXPECT_EQ(MovieWait(m), 1u);  // the next frame is one frame time from the new base
  gClock += 33;
  EXPECT_EQ(MovieWait(m), 0u);
}

TEST_F(Stepping, FarBehindResynchronisesAtTheNextStep) {
  Open(true);
  MovieFrameBegin(m, Now());
  MovieFrameEnd(m, Now());
  gClock += 800;
  EXPECT_EQ(MovieShouldSkip(m, 0), 1u);
  EXPECT_EQ(m->FarBehind, 1u);
  MovieNextFrame(m);
  EXPECT_EQ(m->SoundSkips, 1u);
  EXPECT_EQ(m->FarBehind, 0u);
  EXPECT_EQ(gSound.onOff, (std::vector<int>{0, 1}));
  EXPECT_EQ(m->TimerBase, 0u);  // the next timing call starts a fresh run
  EXPECT_EQ(m->FrameNum, 2u);
}

TEST_F(Stepping, PauseAndResumeContinueTheRun) {
  Open(true, 400);
  for (int k = 0; k < 300; ++k) PlayFrame(k % 3 == 2 ? 34 : 33);  // ten seconds at 30 fps
  uint32_t base = m->TimerBase;
  EXPECT_EQ(MoviePause(m, 1), 1u);
  EXPECT_EQ(gSound.pauses, std::vector<int>{1});
  gClock += 60000;
  EXPECT_EQ(MoviePause(m, 0), 0u);
  EXPECT_EQ(m->TimerBase, base + 60000);
  EXPECT_EQ(MovieShouldSkip(m, 0), 0u);  // not late after the minute of pause
  EXPECT_EQ(m->SkippedBlits, 0u);
}

TEST_F(Stepping, RealtimeStatsAfterTheFirstFrameSpanOneFrame) {
  Open(false);
  MovieFrameBegin(m, Now());
  MovieFrameEnd(m, Now());
  RealtimeStats stats;
  MovieGetRealtimeStats(m, &stats);
  EXPECT_EQ(stats.WindowFrames, 1u);
  EXPECT_EQ(stats.WindowTime, 33u);
  EXPECT_EQ(stats.FrameNum, 1u);
  MovieGetRealtimeStats(m, nullptr);  // a null record does nothing
}

TEST_F(Stepping, RealtimeStatsCoverTheLastSecond) {
  Open(false, 100);
  for (int k = 0; k < 60; ++k) PlayFrame(40);
  RealtimeStats stats;
  MovieGetRealtimeStats(m, &stats);
  EXPECT_EQ(stats.WindowFrames, 29u);  // the rounded frame rate less one
  EXPECT_EQ(stats.WindowTime, 29u * 40u);
  EXPECT_EQ(stats.DataRate, 600u * 30u);  // 600-byte frames at 30 fps
}

TEST_F(Stepping, LoopingFiveMinutesAfterTheLastResyncTurnsTheSoundOffAndOn) {
  Open(true, 10);
  for (int k = 0; k < 9; ++k) PlayFrame(33);
  ASSERT_EQ(m->FrameNum, 10u);
  MoviePause(m, 1);  // five minutes away, paused: nothing is late when play resumes
  gClock += 301000;
  MoviePause(m, 0);
  PlayFrame(33);  // the tenth frame; the step loops back to frame 1
  EXPECT_EQ(m->FrameNum, 1u);
  EXPECT_EQ(m->LoopResync, 1u);
  EXPECT_TRUE(gSound.onOff.empty());
  ASSERT_NE(MovieFrameBegin(m, Now()), nullptr);
  EXPECT_EQ(m->LoopResync, 0u);
  EXPECT_EQ(m->TimerBase, 0u);
  EXPECT_EQ(gSound.onOff, (std::vector<int>{0, 1}));
  EXPECT_EQ(m->SoundSkips, 0u);
}

TEST_F(Stepping, AsFastAsPossibleNeverWaitsAndNeverDivides) {
  MovieSetPendingFrameRate(0, 0);
  Open(true, 10, OpenFrameRate);
  EXPECT_EQ(m->SlackMs, 2000u);
  EXPECT_EQ(m->Tracks[0].Rate, 22050u);  // the file's rate when there is no playback rate
  for (int k = 0; k < 12; ++k) {
    EXPECT_EQ(MovieWait(m), 0u);
    PlayFrame(0);
  }
  EXPECT_EQ(m->SkippedBlits, 0u);
  PlaybackSummary summary;
  MovieGetSummary(m, &summary);
  EXPECT_EQ(summary.FramesPlayed, 12u);
  EXPECT_EQ(summary.PeakDataFrame, 1u);
}

TEST_F(Stepping, AFrameIsDecodedOnceAndOneFrameMoviesStayDecoded) {
  Open(false, 1);
  ASSERT_NE(MovieFrameBegin(m, Now()), nullptr);
  MovieDecodeFrame(m, DecodeAll);
  MovieFrameEnd(m, Now());
  MovieNextFrame(m);
  EXPECT_EQ(m->FrameNum, 1u);
  EXPECT_EQ(MovieFrameBegin(m, Now()), nullptr);  // this packet was already decoded
}

TEST_F(Stepping, SummaryCountsFramesSlowestFramesAndDataRates) {
  Open(false, 20);
  for (int k = 0; k < 10; ++k) PlayFrame(k == 4 ? 200 : (k == 7 ? 120 : 33));
  PlaybackSummary s;
  MovieGetSummary(m, &s);
  EXPECT_EQ(s.FramesPlayed, 10u);
  EXPECT_EQ(s.SlowestTime, 200u);
  EXPECT_EQ(s.SlowestFrame, 5u);
  EXPECT_EQ(s.SecondSlowestTime, 120u);
  EXPECT_EQ(s.SecondSlowestFrame, 8u);
  // The data size counts from the first frame to the file size less 8.
  uint32_t data = TestGetLe32(image, 4) - (TestGetLe32(image, 44) & ~1u);
  EXPECT_EQ(s.AverageFrameSize, data / 20);
  EXPECT_EQ(s.AverageDataRate, data * 30u / 20u);
  EXPECT_EQ(s.SkippedFrames, 0u);
}

// Random video data decodes the same way every time; the split halves give the whole picture.
void ExpectSameCurrentPicture(const Movie* a, const Movie* b) {
  const VideoPlanes* pa = a->Planes;
  const VideoPlanes* pb = b->Planes;
  for (int plane = 0; plane < 3; ++plane) {
    const VideoPlane& x = pa->Sets[pa->Current][plane];
    const VideoPlane& y = pb->Sets[pb->Current][plane];
    uint32_t rows = plane == PlaneY ? pa->Height : pa->ChromaHeight;
    ASSERT_EQ(std::memcmp(x.Pixels, y.Pixels, size_t(x.Pitch) * rows), 0) << "plane " << plane;
  }
}

void DecodeFramesSplit(Movie* m, int frames, bool split) {
  for (int k = 0; k < frames; ++k) {
    ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
    if (split) {
      std::thread luma([m] { MovieDecodeFrame(m, DecodeLuma); });
      MovieDecodeFrame(m, DecodeSoundAndRest);
      luma.join();
    } else {
      MovieDecodeFrame(m, DecodeAll);
    }
    MovieFrameEnd(m, MovieTimerMs());
    MovieNextFrame(m);
  }
}

TEST_F(Stepping, SplitDecodeOnTwoThreadsEqualsTheWholeDecode) {
  for (char version : {'i', 'h'}) {
    Open(false, 6, 0, version);
    Movie* whole = m;
    std::vector<uint8_t> wholeImage = std::move(image);  // the movie reads from its image
    m = nullptr;
    Open(false, 6, 0, version);
    DecodeFramesSplit(whole, 6, false);
    DecodeFramesSplit(m, 6, true);
    ExpectSameCurrentPicture(whole, m);
    MovieClose(whole);
    MovieClose(m);
    m = nullptr;
  }
}

}  // namespace
