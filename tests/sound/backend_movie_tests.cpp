// A whole movie through each back end on its simulated device, played in step with the frames:
// the device plays exactly what the WAV back end writes for the same movie, then only silence.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/movie_internal.h"
#include "core/sound_pump.h"
#include "encoder/audio_encoder.h"
#include "encoder/movie_writer.h"
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
const MovieTimerSource kTestClock = {ClockFrequency, ClockCounter, ClockTick, ClockTick};

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
    for (uint32_t i = 0; i < 2 * kPerFrame; ++i)
      pcm[i] = int16_t(8000 * std::sin(2 * M_PI * (440 + 220 * (i & 1)) * (f * kPerFrame + i / 2) /
                                       kRate));
    MovieWriterFrame frame;
    frame.Audio = {f < kFrames ? AudioEncodePacket(&e, pcm.data(), kPerFrame)
                               : AudioEncodeFlush(&e)};
    frame.Video.assign(64, 0);
    EXPECT_TRUE(MovieWriterAddFrame(&w, frame));
  }
  AudioEncoderFree(&e);
  return MovieWriterImage(&w);
}

// Plays the movie frame by frame, the device playing 40 ms of sound after each frame, then lets
// the device play out. Every step runs under the movie's sound mutex, as the core's calls do.
void Play(const std::vector<uint8_t>& image, void (*advance)(uint32_t ms)) {
  MovieTimerUseSource(&kTestClock);
  MovieSetPendingImageSize(uint32_t(image.size()));
  Movie* m = MovieOpen(image.data(), OpenFromMemory);
  ASSERT_NE(m, nullptr) << MovieGetError();
  ASSERT_EQ(m->NumOpenTracks, 1u);
  MovieTimerMs();
  PlatformMutex* mutex = MovieSoundMutex(m);
  for (uint32_t k = 0; k < m->Frames + (advance ? 50 : 0); ++k) {
    if (k < m->Frames) {
      ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr);
      MovieDecodeFrame(m, DecodeAll);
      MovieFrameEnd(m, MovieTimerMs());
      gClock += 1000 / kFps;
    }
    if (mutex) PlatformMutexLock(mutex);
    k < m->Frames ? MovieNextFrame(m) : SoundPump(m);
    if (advance) advance(k < m->Frames ? 1000 / kFps : 20);
    if (mutex) PlatformMutexUnlock(mutex);
  }
  EXPECT_EQ(m->SoundSkips, 0u);
  MovieClose(m);
  MovieTimerUseSource(nullptr);
}

struct BackEnd {
  SoundSelector Selector;
  void (*Advance)(uint32_t ms);
  std::vector<uint8_t>* Played;
} const kBackEnds[] = {
    {SoundUseWaveOut, [](uint32_t ms) { gSimWaveOut.Advance(ms); }, &gSimWaveOut.Played},
    {SoundUseDirectSound, [](uint32_t ms) { gSimDs.Advance(ms); }, &gSimDs.Played}};

struct BackEndMovie : ::testing::TestWithParam<BackEnd> {};

TEST_P(BackEndMovie, PlaysWhatTheWavBackEndWrites) {
  const std::vector<uint8_t> image = TwoToneMovie();
  std::vector<uint8_t> file(4u << 20);
  WavMemory memory = {file.data(), file.size(), 0, 0, 0};
  WavSetSinkChooser(
      [](void* user, Movie*, uint32_t, WavSink* sink) {
        return WavMemorySink(static_cast<WavMemory*>(user), sink), 1;
      },
      &memory);
  ASSERT_TRUE(SoundSelect(SoundUseWav));
  Play(image, nullptr);
  WavSetSinkChooser(nullptr, nullptr);
  ASSERT_EQ(memory.Size, 44u + 4 * kPerFrame * kFrames);  // every sample
  const std::vector<uint8_t> written(&file[44], &file[memory.Size]);

  SimSoundReset();
  ASSERT_TRUE(SoundSelect(GetParam().Selector));
  Play(image, GetParam().Advance);
  SoundSelect(nullptr);
  const std::vector<uint8_t>& played = *GetParam().Played;
  ASSERT_GE(played.size(), written.size());
  EXPECT_TRUE(std::equal(written.begin(), written.end(), played.begin()));
  EXPECT_EQ(std::count(played.begin() + long(written.size()), played.end(), 0),
            long(played.size() - written.size()));
}

INSTANTIATE_TEST_SUITE_P(WaveOutAndDirectSound, BackEndMovie, ::testing::ValuesIn(kBackEnds));

}  // namespace
