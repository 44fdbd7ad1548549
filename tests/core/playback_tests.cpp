// Playing on the hand-driven clock: late frames, resynchronisation and statistics; which sound
// tracks open, and how the pump hands their sound to a channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "core/audio_packet.h"
#include "core/movie_internal.h"
#include "core/sound_pump.h"
#include "platform/platform.h"
#include "tests/core/fake_sound.h"

namespace {

using Values = std::vector<uint32_t>;
using Calls = std::vector<int>;

struct Playing : MovieTest {
  // 30 fps: frames are due every 33 ms, with 66 ms of slack.
  static TestMovieShape Shape(bool sound, uint32_t frames, uint32_t videoBytes = 600) {
    TestMovieShape s = MovieTest::Shape(frames, videoBytes);
    s.Config.FrameRate = 30;
    if (sound) s.Config.Tracks = {{0, TrackAudio | Track16Bit | TrackStereo | 22050, 8000}};
    return s;
  }
  // Shows the current frame (nothing decoded), steps on (or not), then lets ms pass.
  void PlayFrame(uint32_t ms, bool step = true) {
    ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
    MovieFrameEnd(m, MovieTimerMs());
    if (step) MovieNextFrame(m);
    TestClockAdvance(ms);
  }
  PlaybackSummary Summary() {
    PlaybackSummary s;
    MovieGetSummary(m, &s);
    return s;
  }
  // A 50-frame movie at 25 fps with the given tracks and 16 bytes of sound per frame.
  void OpenTracks(std::vector<MovieWriterTrack> tracks) {
    TestMovieShape s = MovieTest::Shape(50, 200, std::move(tracks));
    s.AudioBytes = 16;
    Open(s);
  }
  // Puts 16-bit samples in track 0's ring as the decoder would, then pumps.
  void QueueAndPump(const std::vector<int16_t>& samples) {
    AudioTrack* t = &m->Tracks[0];
    PlatformMutex* mutex = MovieSoundMutex(m);  // keeps the sound service thread out
    if (mutex) PlatformMutexLock(mutex);
    for (int16_t s : samples) {
      std::memcpy(t->PcmWrite, &s, 2);
      t->PcmWrite = t->PcmWrite + 2 == t->PcmRingEnd ? t->PcmRing : t->PcmWrite + 2;
    }
    SoundPump(m);
    if (mutex) PlatformMutexUnlock(mutex);
  }
};

// votes: MovieShouldSkip asked that often for frame 1, shown lateMs past its 33 ms; waits:
// MovieWait at the next frame (a fresh run waits one frame time); resyncs: sound off and on.
const struct {
  const char* what;
  bool sound, asFastAsPossible;
  uint32_t lateMs;
  Values votes;
  uint32_t waits, resyncs;
} kLateCases[] = {
    {"at the slack", true, false, 66, {0}, 0, 0},
    {"past the slack", true, false, 67, {1}, 0, 0},
    {"every fourth late copy is shown", true, false, 200, {1, 1, 1, 0, 1, 1, 1, 0}, 0, 0},
    {"at the far-behind limit", true, false, 725, {1}, 0, 0},
    {"past the far-behind limit", true, false, 726, {1}, 1, 1},
    {"without sound the run restarts", false, false, 500, {0}, 1, 0},
    {"no frame rate: never late", true, true, 5000, {0}, 0, 0},
};

TEST_F(Playing, LateFramesLoseTheirCopyOrResynchronise) {
  for (const auto& c : kLateCases) {
    SCOPED_TRACE(c.what);
    if (c.asFastAsPossible) MovieSetPendingFrameRate(0, 0);
    Open(Shape(c.sound, 40), c.asFastAsPossible ? OpenFrameRate : 0);
    PlayFrame(33 + c.lateMs, false);
    Values votes;
    for (size_t k = 0; k < c.votes.size(); ++k) votes.push_back(MovieShouldSkip(m, 0));
    EXPECT_EQ(votes, c.votes);
    MovieNextFrame(m);
    const uint32_t skipped = uint32_t(std::count(votes.begin(), votes.end(), 1u));
    EXPECT_EQ((Values{MovieWait(m), Summary().SkippedBlits, Summary().SoundSkips}),
              (Values{c.waits, skipped, c.resyncs}));
    EXPECT_EQ(gSound.onOff, (c.resyncs ? Calls{0, 1} : Calls{}));
  }
}

// A movie streamed from a file (no IO thread, nothing read ahead at open) refills its ring to
// 29/32 of the fill target when it resynchronises: the first chunk at or past that mark.
TEST_F(Playing, ResynchronisingAStreamedMovieRefillsItsRing) {
  std::string path = TestWriteFile("streamed.vxa", TestMakeMovie(Shape(true, 400, 8000)));
  for (uint32_t late : {725u, 726u}) {
    SCOPED_TRACE(late);
    MovieClose(m);
    MovieSetPendingIoBufferSize(16 * STREAM_CHUNK_BYTES);
    m = MovieOpen(path.c_str(), OpenIoBufferSize | OpenNoIoThread | OpenNoFillIo);
    ASSERT_NE(m, nullptr) << MovieGetError();
    PlayFrame(33 + late, false);
    MovieNextFrame(m);
    RealtimeStats stats;
    MovieGetRealtimeStats(m, &stats);
    const uint64_t mark = uint64_t(stats.ReadBufferSize) * 29 / 32;
    const uint64_t held = stats.ReadBufferUsed + m->FrameBytes;  // before frame 2 was taken
    const bool refilled = held >= mark && held < mark + STREAM_CHUNK_BYTES;
    EXPECT_TRUE(late == 725 ? stats.ReadBufferUsed == 0 : refilled) << held;
  }
}

// Coming back to frame 1 more than five minutes after the last loop resynchronisation turns the
// sound off and on as that frame begins. A pause bridges the minutes, so no frame is late.
TEST_F(Playing, LoopingResynchronisesTheSoundAfterFiveMinutes) {
  for (uint32_t since : {300000u, 300001u}) {
    SCOPED_TRACE(since);
    Open(Shape(true, 10));
    const uint32_t opened = MovieTimerMs();  // frame 1 was loaded at the open
    for (int k = 0; k < 9; ++k) PlayFrame(33);
    MoviePause(m, 1);
    TestClockAdvance(opened + since - MovieTimerMs());
    MoviePause(m, 0);
    PlayFrame(33);  // the tenth frame: the step loads frame 1 at opened + since
    ASSERT_EQ(m->FrameNum, 1u);
    EXPECT_EQ(gSound.pauses, (Calls{1, 0}));
    ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
    EXPECT_EQ(gSound.onOff, (since > 300000 ? Calls{0, 1} : Calls{}));
    EXPECT_EQ(Summary().SoundSkips + Summary().SkippedBlits, 0u);
  }
}

// Data counts from the first frame to the file's end; the window is the last second less a frame.
TEST_F(Playing, SummaryAndStatisticsReportSlowFramesAndDataRates) {
  Open(Shape(false, 100));
  for (int k = 0; k < 60; ++k) PlayFrame(k == 4 ? 200 : (k == 7 ? 120 : 40));
  const PlaybackSummary s = Summary();
  RealtimeStats stats;
  MovieGetRealtimeStats(m, &stats);
  const uint32_t data = TestGetLe32(image, 4) - (TestGetLe32(image, 44) & ~1u);
  EXPECT_EQ((Values{s.FramesPlayed, s.SkippedFrames, s.SlowestTime, s.SlowestFrame,
                    s.SecondSlowestTime, s.SecondSlowestFrame, s.AverageFrameSize,
                    s.AverageDataRate, stats.WindowFrames, stats.WindowTime, stats.DataRate}),
            (Values{60, 0, 200, 5, 120, 8, data / 100, data * 30 / 100, 29, 29 * 40, 600 * 30}));
}

const uint32_t kStereo16 = TrackAudio | TrackStereo | Track16Bit | 22050;

// 8-bit mono at 22050 Hz: two seconds are 44100 bytes; the ring is 5/4 of the largest packet in
// 256s, 44032 bytes for 35226, 44288 for 35227.
const struct {
  const char* what;
  MovieWriterTrack track;
  bool refuse;
  uint32_t opened;
} kTrackCases[] = {
    {"16-bit stereo", {0, kStereo16, 100000}, false, 1},
    {"both coding bits", {0, TrackAudio | TrackDct | Track16Bit | 8000, 4000}, false, 1},
    {"a ring of two seconds", {0, TrackAudio | 22050, 35226}, false, 1},
    {"a ring of more than two seconds", {0, TrackAudio | 22050, 35227}, false, 0},
    {"a packet size that would wrap", {0, kStereo16, 0xFFFFFFF0u}, false, 0},
    {"no rate", {0, TrackAudio | Track16Bit, 20000}, false, 0},
    {"no sound bits", {0, TrackStereo | 22050, 20000}, false, 0},
    {"refused by the back end", {0, kStereo16, 20000}, true, 0},
};

TEST_F(Playing, TracksTheBackEndCannotPlayLeaveTheMovieSilent) {
  for (const auto& c : kTrackCases) {
    gSound.refuse = c.refuse;
    OpenTracks({c.track});
    EXPECT_EQ((std::vector<uint32_t>{m->NumOpenTracks, m->SoundOn}),
              (std::vector<uint32_t>{c.opened, c.opened})) << c.what;
  }
}

// The pump hands over whole 4096-byte chunks, and only when the ring holds more than one; in the
// last 3/4 s (after frame 32 of 50) it hands over whatever is left.
TEST_F(Playing, ThePumpHandsOverWholeChunksUntilTheEndZone) {
  const uint32_t cases[][3] = {{2, 2048, 0}, {2, 3000, 4096}, {32, 500, 0}, {33, 500, 1000}};
  for (const auto [frame, samples, taken] : cases) {
    OpenTracks({{0, kStereo16, 20000}});
    gSound.taken.clear(), gSound.taking = true;
    MovieFrameBegin(m, MovieTimerMs());
    MovieFrameEnd(m, MovieTimerMs());  // the pump works once a frame has been played
    MovieLoadFramePacket(m, frame);
    QueueAndPump(std::vector<int16_t>(samples, 7));
    EXPECT_EQ(gSound.taken.size(), taken) << frame << " " << samples;
    EXPECT_EQ(SoundRingUsed(&m->Tracks[0]), 2 * samples - taken);
  }
}

TEST_F(Playing, PacketsThatDoNotFitAreDroppedWithoutOverwritingQueuedSound) {
  OpenTracks({{0, kStereo16, 20000}});
  AudioTrack* t = &m->Tracks[0];
  QueueAndPump(std::vector<int16_t>(16, 0x5555));
  std::vector<uint8_t> frame(8 + 4 + 4096, 0);  // about a megabyte of sound in blocks of zeros
  frame[4] = 0xFF, frame[5] = 0xFF, frame[6] = 0x0F;
  AudioDecodePacket(m, t, 4 + 4096, frame.data() + 4, frame.data(), frame.data() + frame.size());
  EXPECT_LE(SoundRingUsed(t), t->PcmRingBytes - 16);
  EXPECT_EQ(t->PcmRead[0], 0x55);
}

}  // namespace
