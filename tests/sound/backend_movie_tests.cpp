// What both device back ends share: a channel paused, off or holding no region hands nothing out,
// and a whole movie played in step with its frames reaches the device as the WAV back end wrote it.
#include <cmath>

#include "core/movie_internal.h"
#include "core/sound_pump.h"
#include "encoder/audio_encoder.h"
#include "platform/platform.h"
#include "tests/sound/sim_sound_devices.h"
#include "tests/support/test_support.h"

namespace {
using namespace sim;

constexpr uint32_t kRate = 22050, kFps = 25, kPerFrame = kRate / kFps, kFrames = 75;

// Plays the movie frame by frame, then pumps for a second; a simulated device plays 40 ms after
// each frame, 20 ms after each later pump. Each step holds the movie's sound mutex, as the core's.
void Play(const std::vector<uint8_t>& image) {
  TestClockUse(true), MovieSetPendingImageSize(uint32_t(image.size()));
  Movie* m = MovieOpen(image.data(), OpenFromMemory);
  ASSERT_TRUE(m && m->NumOpenTracks == 1) << MovieGetError();
  PlatformMutex* mutex = MovieSoundMutex(m);
  for (uint32_t k = 0; k < m->Frames + 50; ++k) {
    const bool frame = k < m->Frames;
    if (frame) {
      ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
      MovieDecodeFrame(m, DecodeAll);
      MovieFrameEnd(m, MovieTimerMs());
      TestClockAdvance(1000 / kFps);
    }
    if (mutex) PlatformMutexLock(mutex);
    frame ? MovieNextFrame(m) : SoundPump(m);
    W.Advance(frame ? 1000 / kFps : 20), D.Advance(frame ? 1000 / kFps : 20);
    if (mutex) PlatformMutexUnlock(mutex);
  }
  EXPECT_EQ(m->SoundSkips, 0u);
  MovieClose(m);
  TestClockUse(false);
}

struct BackEnds : Channel, ::testing::WithParamInterface<SoundSelector> {};

TEST_P(BackEnds, AChannelPausedOffOrHoldingNoRegionHandsNothingOut) {
  Open(GetParam(), 22050, 16);
  EXPECT_EQ(t->Ops.SoundUnlock(t, 4), 0);  // nothing locked
  t->Ops.SoundPause(t, 1);
  EXPECT_FALSE(t->Ops.SoundReady(t));
  t->Ops.SoundPause(t, 0);
  ASSERT_TRUE(Lock());
  t->Ops.SoundOnOff(t, 0);
  EXPECT_FALSE(t->Ops.SoundReady(t) || t->Ops.SoundLock(t, &Region, &Size) ||
               t->Ops.SoundUnlock(t, 4));
}

TEST_P(BackEnds, PlayAWholeMovieAsTheWavBackEndWritesIt) {
  // Three seconds of two tones in stereo; the track's largest packet is about one frame of sound,
  // so the back ends must keep their regions small for the core's ring to keep flowing.
  const AudioEncoderConfig config{kRate, 2};
  AudioEncoder e;
  EXPECT_TRUE(AudioEncoderInit(&e, config));
  MovieWriterConfig mc;
  mc.Width = mc.Height = 32;
  mc.Tracks = {{0, AudioEncoderTrackFormat(config), AudioEncoderMaxPacketBytes(&e, kPerFrame)}};
  MovieWriter w;
  MovieWriterInit(&w, mc);
  std::vector<int16_t> pcm(kPerFrame * 2);
  for (uint32_t f = 0; f <= kFrames; ++f) {
    for (uint32_t i = 0; i < 2 * kPerFrame; ++i)
      pcm[i] = int16_t(8000 * std::sin((f * kPerFrame + i / 2) * (i & 1 ? 0.19 : 0.13)));
    EXPECT_TRUE(MovieWriterAddFrame(
        &w, {{f < kFrames ? AudioEncodePacket(&e, pcm.data(), kPerFrame) : AudioEncodeFlush(&e)},
             std::vector<uint8_t>(64, 0)}));
  }
  AudioEncoderFree(&e);
  const std::vector<uint8_t> image = MovieWriterImage(&w);
  std::vector<uint8_t> file(4u << 20);
  WavMemory memory = {file.data(), file.size(), 0, 0, 0};
  WavSetSinkChooser([](void* user, Movie*, uint32_t, WavSink* sink) {
    return WavMemorySink(static_cast<WavMemory*>(user), sink), 1;
  }, &memory);
  ASSERT_TRUE(SoundSelect(SoundUseWav));
  Play(image);
  WavSetSinkChooser(nullptr, nullptr);
  ASSERT_EQ(memory.Size, 44u + 4 * kPerFrame * kFrames);  // every sample
  std::vector<uint8_t> expected(&file[44], &file[memory.Size]);
  ASSERT_TRUE(SoundSelect(GetParam()));
  Play(image);
  SoundSelect(nullptr);
  const std::vector<uint8_t>& played = W.Played.empty() ? D.Played : W.Played;
  expected.resize(std::max(expected.size(), played.size()), 0);  // then only silence
  EXPECT_TRUE(played == expected);
}

INSTANTIATE_TEST_SUITE_P(, BackEnds, ::testing::Values(SoundUseWaveOut, SoundUseDirectSound),
    [](auto& i) { return i.param == SoundUseWaveOut ? "WaveOut" : "DirectSound"; });

}  // namespace
