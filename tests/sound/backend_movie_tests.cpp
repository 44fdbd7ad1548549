// A whole movie through each back end on its simulated device, played in step with the frames:
// the device plays exactly what the WAV back end writes for the same movie, then only silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/movie_internal.h"
#include "core/sound_pump.h"
#include "encoder/movie_writer.h"
#include "encoder/audio_encoder.h"
#include "io/timer.h"
#include "platform/platform.h"
#include "tests/sound/sim_sound_devices.h"
#include "vexa/vexa.h"

namespace {

constexpr uint32_t kRate = 22050, kFps = 25, kPerFrame = kRate / kFps, kFrames = 75;

uint64_t gClock = 5000;
uint64_t ClockFrequency() { return 1000; }
uint64_t ClockCounter() { return gClock; }
uint32_t ClockTick() { return uint32_t(gClock); }
const TimerSource kTestClock = {ClockFrequency, ClockCounter, ClockTick, ClockTick};

// Three seconds of two tones in stereo; the track's largest packet is about one frame of sound,
// so the back ends must keep their regions small for the core's ring to keep flowing.
std::vector<uint8_t> TwoToneMovie() {
  AudioEncoderConfig config;
  config.Rate = kRate;
  config.Channels = 2;
  AudioEncoder e;
  EXPECT_TRUE(AudioEncoderInit(&e, config));
  MovieWriterConfig mc;
  mc.Width = mc.Height = 32;
  mc.FrameRate = kFps;
  mc.Tracks = {{0, AudioEncoderTrackFormat(config), AudioEncoderMaxPacketBytes(&e, kPerFrame)}};
  MovieWriter w;
  MovieWriterInit(&w, mc);
  std::vector<int16_t> pcm(kPerFrame * 2);
  for (uint32_t f = 0; f <= kFrames; ++f) {
    for (uint32_t i = 0; i < kPerFrame; ++i) {
      const double at = double(f * kPerFrame + i) / kRate;
      pcm[2 * i] = int16_t(9000 * std::sin(2 * M_PI * 440 * at));
      pcm[2 * i + 1] = int16_t(7000 * std::sin(2 * M_PI * 660 * at));
    }
    MovieWriterFrame frame;
    frame.Audio = {f < kFrames ? AudioEncodePacket(&e, pcm.data(), kPerFrame) : AudioEncodeFlush(&e)};
    frame.Video.assign(64, 0);
    EXPECT_TRUE(MovieWriterAddFrame(&w, frame));
  }
  AudioEncoderFree(&e);
  return MovieWriterImage(&w);
}

// Plays the movie frame by frame, the device playing 40 ms of sound after each frame, then lets
// the device play out. Every step runs under the movie's sound mutex, as the core's calls do.
void Play(const std::vector<uint8_t>& image, void (*advance)(uint32_t ms)) {
  TimerUseSource(&kTestClock);
  MovieSetPendingImageSize(uint32_t(image.size()));
  Movie* m = MovieOpen(image.data(), OpenFromMemory);
  ASSERT_NE(m, nullptr) << MovieGetError();
  ASSERT_EQ(m->NumOpenTracks, 1u);
  MovieTimerMs();
  for (uint32_t k = 0; k < m->Frames; ++k) {
    ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    gClock += 1000 / kFps;
    PlatformMutex* mutex = MovieSoundMutex(m);
    if (mutex) MutexLock(mutex);
    MovieNextFrame(m);
    if (advance) advance(1000 / kFps);
    if (mutex) MutexUnlock(mutex);
  }
  for (int k = 0; advance && k < 50; ++k) {
    PlatformMutex* mutex = MovieSoundMutex(m);
    if (mutex) MutexLock(mutex);
    SoundPump(m);
    advance(20);
    if (mutex) MutexUnlock(mutex);
  }
  EXPECT_EQ(m->SoundSkips, 0u);
  MovieClose(m);
  TimerUseSource(nullptr);
}

struct Played {
  SoundSelector Selector;
  void (*Advance)(uint32_t ms);
  std::vector<uint8_t>* Bytes;
};
const Played kBackEnds[] = {
    {SoundUseWaveOut, [](uint32_t ms) { gSimWaveOut.Advance(ms); }, &gSimWaveOut.Played},
    {SoundUseDirectSound, [](uint32_t ms) { gSimDs.Advance(ms); }, &gSimDs.Played}};

struct BackEndMovie : ::testing::TestWithParam<int> {};

TEST_P(BackEndMovie, PlaysWhatTheWavBackEndWrites) {
  const std::vector<uint8_t> image = TwoToneMovie();
  WavMemory memory = {};
  std::vector<uint8_t> file(4u << 20);
  memory.Data = file.data();
  memory.Capacity = file.size();
  WavSetSinkChooser(
      [](void* user, Movie*, uint32_t, WavSink* sink) {
        WavMemorySink(static_cast<WavMemory*>(user), sink);
        return 1;
      },
      &memory);
  ASSERT_TRUE(SoundSelect(SoundUseWav));
  Play(image, nullptr);
  WavSetSinkChooser(nullptr, nullptr);
  ASSERT_EQ(memory.Size, 44u + 4 * kPerFrame * kFrames);  // every sample
  const std::vector<uint8_t> written(file.begin() + 44, file.begin() + long(memory.Size));

  const Played& p = kBackEnds[GetParam()];
  SimSoundReset();
  ASSERT_TRUE(SoundSelect(p.Selector));
  Play(image, p.Advance);
  SoundSelect(nullptr);
  const std::vector<uint8_t>& played = *p.Bytes;
  ASSERT_GE(played.size(), written.size());
  EXPECT_TRUE(std::equal(written.begin(), written.end(), played.begin()));
  EXPECT_TRUE(std::all_of(played.begin() + long(written.size()), played.end(),
                          [](uint8_t b) { return b == 0; }));
}

INSTANTIATE_TEST_SUITE_P(WaveOutAndDirectSound, BackEndMovie, ::testing::Values(0, 1));

}  // namespace
