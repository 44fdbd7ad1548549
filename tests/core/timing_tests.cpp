// Frame stepping against the hand-driven clock: when a late frame loses its copy, when play
// resynchronises sound and picture, and what the summary and statistics report.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/core/fake_sound.h"

namespace {

using Votes = std::vector<uint32_t>;
using Calls = std::vector<int>;

struct Stepping : WithFakeSound {
  Movie* m = nullptr;
  std::vector<uint8_t> image;

  void TearDown() override {
    MovieClose(m);
    WithFakeSound::TearDown();
  }
  static TestMovieShape Shape(bool sound, uint32_t frames, uint32_t videoBytes = 600) {
    TestMovieShape s;  // 30 fps: frames are due every 33 ms, with 66 ms of slack
    s.Config.Width = 48, s.Config.Height = 32, s.Config.FrameRate = 30;
    if (sound) s.Config.Tracks = {{0, TrackAudio | Track16Bit | TrackStereo | 22050, 8000}};
    s.Frames = frames, s.VideoBytes = videoBytes;
    return s;
  }
  void Open(bool sound, uint32_t frames = 40, uint32_t flags = 0) {
    MovieClose(m);
    gSound = {};
    image = TestMakeMovie(Shape(sound, frames));
    m = TestOpenImage(image, flags);
    ASSERT_NE(m, nullptr) << MovieGetError();
  }
  uint32_t Now() { return MovieTimerMs(); }
  // Shows the current frame (nothing decoded), steps on, then lets ms pass.
  void PlayFrame(uint32_t ms) {
    ASSERT_NE(MovieFrameBegin(m, Now()), nullptr);
    MovieFrameEnd(m, Now());
    MovieNextFrame(m);
    TestClockAdvance(ms);
  }
  // Shows frame 1, which starts the run, and lets it fall lateMs behind.
  void FallBehind(uint32_t lateMs) {
    ASSERT_NE(MovieFrameBegin(m, Now()), nullptr);
    MovieFrameEnd(m, Now());
    TestClockAdvance(33 + lateMs);
  }
  PlaybackSummary Summary() {
    PlaybackSummary s;
    MovieGetSummary(m, &s);
    return s;
  }
};

// votes: MovieShouldSkip asked that often for the late frame; waits: MovieWait at the next frame
// (a fresh run waits one frame time); resyncs: sound turned off and on at the next step.
struct LateCase {
  const char* what;
  bool sound, asFastAsPossible;
  uint32_t lateMs;
  Votes votes;
  uint32_t waits, resyncs;
};
const LateCase kLateCases[] = {
    {"at the slack", true, false, 66, {0}, 0, 0},
    {"past the slack", true, false, 67, {1}, 0, 0},
    {"every fourth late copy is shown", true, false, 200, {1, 1, 1, 0, 1, 1, 1, 0}, 0, 0},
    {"at the far-behind limit", true, false, 725, {1}, 0, 0},
    {"past the far-behind limit", true, false, 726, {1}, 1, 1},
    {"without sound the run restarts", false, false, 500, {0}, 1, 0},
    {"no frame rate: never late", true, true, 5000, {0}, 0, 0},
};

TEST_F(Stepping, LateFramesLoseTheirCopyOrResynchronise) {
  for (const LateCase& c : kLateCases) {
    SCOPED_TRACE(c.what);
    if (c.asFastAsPossible) MovieSetPendingFrameRate(0, 0);
    Open(c.sound, 40, c.asFastAsPossible ? OpenFrameRate : 0);
    FallBehind(c.lateMs);
    Votes votes;
    for (size_t k = 0; k < c.votes.size(); ++k) votes.push_back(MovieShouldSkip(m, 0));
    EXPECT_EQ(votes, c.votes);
    MovieNextFrame(m);
    EXPECT_EQ(MovieWait(m), c.waits);
    EXPECT_EQ(Summary().SkippedBlits, uint32_t(std::count(votes.begin(), votes.end(), 1u)));
    EXPECT_EQ(Summary().SoundSkips, c.resyncs);
    EXPECT_EQ(gSound.onOff, (c.resyncs ? Calls{0, 1} : Calls{}));
  }
}

// A movie streamed from a file (no IO thread, nothing read ahead at open) refills its ring to
// 29/32 of the fill target when it resynchronises: the first chunk at or past that mark.
TEST_F(Stepping, ResynchronisingAStreamedMovieRefillsItsRing) {
  std::string path = TestWriteFile("streamed.vxa", TestMakeMovie(Shape(true, 400, 8000)));
  for (uint32_t late : {725u, 726u}) {
    SCOPED_TRACE(late);
    MovieClose(m);
    MovieSetPendingIoBufferSize(16 * STREAM_CHUNK_BYTES);
    m = MovieOpen(path.c_str(), OpenIoBufferSize | OpenNoIoThread | OpenNoFillIo);
    ASSERT_NE(m, nullptr) << MovieGetError();
    FallBehind(late);
    MovieNextFrame(m);
    RealtimeStats stats;
    MovieGetRealtimeStats(m, &stats);
    ASSERT_EQ(stats.ReadBufferSize, 16 * STREAM_CHUNK_BYTES);
    const uint64_t mark = uint64_t(stats.ReadBufferSize) * 29 / 32;
    const uint64_t held = stats.ReadBufferUsed + m->FrameBytes;  // before frame 2 was taken
    if (late == 725) {
      EXPECT_EQ(stats.ReadBufferUsed, 0u);
    } else {
      EXPECT_GE(held, mark);
      EXPECT_LT(held, mark + STREAM_CHUNK_BYTES);
    }
  }
}

// Coming back to frame 1 more than five minutes after the last loop resynchronisation turns the
// sound off and on as that frame begins. A pause bridges the minutes, so no frame is late.
TEST_F(Stepping, LoopingResynchronisesTheSoundAfterFiveMinutes) {
  for (uint32_t since : {300000u, 300001u}) {
    SCOPED_TRACE(since);
    Open(true, 10);
    const uint32_t opened = Now();  // frame 1 was loaded at the open
    for (int k = 0; k < 9; ++k) PlayFrame(33);
    MoviePause(m, 1);
    TestClockAdvance(opened + since - Now());
    MoviePause(m, 0);
    PlayFrame(33);  // the tenth frame: the step loads frame 1 at opened + since
    ASSERT_EQ(m->FrameNum, 1u);
    EXPECT_EQ(gSound.pauses, (Calls{1, 0}));
    EXPECT_EQ(gSound.onOff, Calls{});  // the pause kept frame 10 on time
    ASSERT_NE(MovieFrameBegin(m, Now()), nullptr);
    EXPECT_EQ(gSound.onOff, (since > 300000 ? Calls{0, 1} : Calls{}));
    EXPECT_EQ(Summary().SoundSkips + Summary().SkippedBlits, 0u);
  }
}

TEST_F(Stepping, SummaryAndStatisticsReportSlowFramesAndDataRates) {
  Open(false, 100);
  for (int k = 0; k < 60; ++k) PlayFrame(k == 4 ? 200 : (k == 7 ? 120 : 40));
  PlaybackSummary s = Summary();
  EXPECT_EQ(s.FramesPlayed, 60u);
  EXPECT_EQ(s.SkippedFrames, 0u);
  EXPECT_EQ(s.SlowestTime, 200u);
  EXPECT_EQ(s.SlowestFrame, 5u);
  EXPECT_EQ(s.SecondSlowestTime, 120u);
  EXPECT_EQ(s.SecondSlowestFrame, 8u);
  // The data counts from the first frame to the end of the file (its size less 8).
  uint32_t data = TestGetLe32(image, 4) - (TestGetLe32(image, 44) & ~1u);
  EXPECT_EQ(s.AverageFrameSize, data / 100);
  EXPECT_EQ(s.AverageDataRate, data * 30u / 100u);
  RealtimeStats stats;
  MovieGetRealtimeStats(m, &stats);
  EXPECT_EQ(stats.WindowFrames, 29u);  // the last second: the rounded frame rate less one
  EXPECT_EQ(stats.WindowTime, 29u * 40u);
  EXPECT_EQ(stats.DataRate, 600u * 30u);
}

TEST_F(Stepping, AOneFrameMovieIsDecodedOnce) {
  Open(false, 1);
  ASSERT_NE(MovieFrameBegin(m, Now()), nullptr);
  MovieDecodeFrame(m, DecodeAll);
  MovieFrameEnd(m, Now());
  MovieNextFrame(m);
  EXPECT_EQ(m->FrameNum, 1u);
  EXPECT_EQ(MovieFrameBegin(m, Now()), nullptr);
}

}  // namespace
