// The WAV back end under movies: files named by track, region sizes that keep the ring flowing,
// the core's pump narrowing to 8 bits, and an encoded movie's sound written out whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "platform/mem.h"
#include "core/movie_internal.h"
#include "core/sound_pump.h"
#include "encoder/audio_encoder.h"
#include "io/timer.h"
#include "platform/platform.h"
#include "tests/audio_encoder/audio_encoder_test_util.h"
#include "tests/sound/wav_test_support.h"
#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

const uint32_t kStereo16 = TrackAudio | Track16Bit | TrackStereo | 22050;
const uint32_t kMono8 = TrackAudio | 22050;

struct WavMovies : ::testing::Test {
  TestWavFiles files;
  Movie* m = nullptr;

  void SetUp() override { ASSERT_TRUE(SoundSelect(SoundUseWav)); }
  void TearDown() override {
    MovieClose(m);
    SoundSelect(nullptr);
  }
  void Open(const std::vector<uint8_t>& image, uint32_t flags = 0) {
    MovieSetPendingImageSize(uint32_t(image.size()));
    m = MovieOpen(image.data(), flags | OpenFromMemory);
    ASSERT_NE(m, nullptr) << MovieGetError();
  }
  void OpenWithTracks(std::vector<MovieWriterTrack> tracks, uint32_t frames = 20) {
    TestMovieShape s;
    s.Config.Width = 32;
    s.Config.Height = 32;
    s.Config.Tracks = std::move(tracks);
    s.Frames = frames;
    s.VideoBytes = 100;
    Open(TestMakeMovie(s));
  }
  AudioTrack* TrackOfFileIndex(uint32_t index) {
    for (uint32_t k = 0; k < m->NumOpenTracks; ++k)
      if (m->TrackIndices[k] == index) return &m->Tracks[k];
    return nullptr;
  }
  // Puts 16-bit samples in track 0's ring, starting `offset` bytes into it (so they may wrap),
  // and lets the pump hand them over as in the movie's last 3/4 s, where partial regions go.
  void PumpSamples(const std::vector<int16_t>& samples, uint32_t offset) {
    AudioTrack* t = &m->Tracks[0];
    PlatformMutex* mutex = MovieSoundMutex(m);  // keeps the sound service thread out
    if (mutex) PlatformMutexLock(mutex);
    t->PcmRead = t->PcmWrite = t->PcmRing + offset;
    for (int16_t s : samples) {
      std::memcpy(t->PcmWrite, &s, 2);
      t->PcmWrite += 2;
      if (t->PcmWrite == t->PcmRingEnd) t->PcmWrite = t->PcmRing;
    }
    m->FramesPlayed = 1;
    m->FrameNum = m->Frames;
    SoundPump(m);
    EXPECT_EQ(SoundRingUsed(t), 0u);
    if (mutex) PlatformMutexUnlock(mutex);
  }
  std::vector<uint8_t> CloseAndRead(uint32_t id) {
    MovieClose(m);
    m = nullptr;
    const TestWavFile& f = *files.Files.at(id);
    EXPECT_EQ(f.Memory.Closes, 1u);
    EXPECT_EQ(f.Memory.Complete, 1u);
    return f.Bytes();
  }
};

TEST_F(WavMovies, EachTrackGetsItsOwnFileNamedByItsIdentifier) {
  const uint32_t ids[] = {3, 7, 5};
  ASSERT_TRUE(MovieSetPendingTrackList(ids, 3));
  TestMovieShape s;
  s.Config.Width = 32;
  s.Config.Height = 32;
  s.Config.Tracks = {{7, kStereo16, 20000}, {3, kMono8, 8000},
                     {5, TrackAudio | Track16Bit | TrackStereo | 44100, 200000}};
  s.Frames = 20;
  s.VideoBytes = 100;
  Open(TestMakeMovie(s), OpenTrackList);
  ASSERT_EQ(m->NumOpenTracks, 3u);
  EXPECT_EQ(files.FileIndices, (std::vector<uint32_t>{1, 0, 2}));
  ASSERT_EQ(files.Files.size(), 3u);

  // Regions hold at most an eighth of the track's largest packet of 16-bit sound, in whole
  // sample frames, and at most 16 KB.
  const AudioTrack* t7 = TrackOfFileIndex(0);
  const AudioTrack* t3 = TrackOfFileIndex(1);
  const AudioTrack* t5 = TrackOfFileIndex(2);
  EXPECT_EQ(t7->ChunkBytes, 2500u);
  EXPECT_EQ(t3->ChunkBytes, 1000u);  // 500 one-byte samples per region
  EXPECT_EQ(t3->Bits, 8u);
  EXPECT_EQ(t3->Channels, 1u);
  EXPECT_EQ(t5->ChunkBytes, 16384u);
  EXPECT_EQ(t5->Rate, 44100u);

  MovieClose(m);
  m = nullptr;
  for (uint32_t id : ids) {
    const TestWavFile& f = *files.Files.at(id);
    EXPECT_EQ(f.Memory.Closes, 1u) << id;
    EXPECT_TRUE(TestReadWavHeader(f.Bytes()).Canonical) << id;
  }
  EXPECT_EQ(TestReadWavHeader(files.Files.at(3)->Bytes()).Bits, 8u);
  EXPECT_EQ(TestReadWavHeader(files.Files.at(5)->Bytes()).Rate, 44100u);
}

TEST_F(WavMovies, ATrackWhoseSinkIsRefusedPlaysSilent) {
  files.Refuse = 1;
  OpenWithTracks({{0, kStereo16, 20000}});
  EXPECT_EQ(m->NumOpenTracks, 0u);
  EXPECT_EQ(files.FileIndices, std::vector<uint32_t>{0});
  EXPECT_TRUE(files.Files.empty());
}

TEST_F(WavMovies, SixteenBitSamplesAreWrittenAsTheRingHoldsThem) {
  OpenWithTracks({{0, kStereo16, 20000}});
  ASSERT_EQ(m->NumOpenTracks, 1u);
  std::vector<int16_t> samples;
  for (int i = 0; i < 9000; ++i) samples.push_back(int16_t(i * 37 - 20000));
  samples[0] = 0, samples[1] = 0x7FFF, samples[2] = -32768;
  const AudioTrack* t = &m->Tracks[0];
  PumpSamples(samples, uint32_t(t->PcmRingBytes - 1000));  // wraps at the ring's end

  std::vector<uint8_t> file = CloseAndRead(0);
  TestWavHeader h = TestReadWavHeader(file);
  EXPECT_EQ(h.Bits, 16u);
  EXPECT_EQ(h.Channels, 2u);
  EXPECT_EQ(h.Rate, 22050u);
  EXPECT_EQ(h.BlockAlign, 4u);
  std::vector<uint8_t> expected(samples.size() * 2);
  std::memcpy(expected.data(), samples.data(), expected.size());
  EXPECT_EQ(TestWavData(file), expected);
}

TEST_F(WavMovies, EightBitFilesGetEachSamplesHighByteAsAnUnsignedSample) {
  OpenWithTracks({{0, kMono8, 8000}});
  ASSERT_EQ(m->NumOpenTracks, 1u);
  const std::vector<int16_t> samples = {0x0000, 0x7FFF, -32768, -1, 0x1234, 0x00FF, -256};
  PumpSamples(samples, 0);
  std::vector<uint8_t> file = CloseAndRead(0);
  TestWavHeader h = TestReadWavHeader(file);
  EXPECT_EQ(h.Bits, 8u);
  EXPECT_EQ(h.BlockAlign, 1u);
  EXPECT_EQ(h.DataBytes, 7u);
  EXPECT_EQ(h.RiffBytes, 44u);
  EXPECT_EQ(TestWavData(file), (std::vector<uint8_t>{0x80, 0xFF, 0x00, 0x7F, 0x92, 0x80, 0x7F}));
}

// ---- A movie with encoded sound, played frame by frame on a hand-driven clock ----

uint64_t gClock = 5000;
uint64_t ClockFrequency() { return 1000; }
uint64_t ClockCounter() { return gClock; }
uint32_t ClockTick() { return uint32_t(gClock); }
const TimerSource kTestClock = {ClockFrequency, ClockCounter, ClockTick, ClockTick};

constexpr uint32_t kRate = 22050, kFps = 25, kPerFrame = kRate / kFps;

std::vector<int16_t> TwoTones(uint32_t frames) {
  std::vector<int16_t> pcm(size_t{frames} * 2);
  for (uint32_t i = 0; i < frames; ++i) {
    const double t = double(i) / kRate;
    pcm[2 * i] = int16_t(9000 * std::sin(2 * 3.14159265358979 * 440 * t));
    pcm[2 * i + 1] = int16_t(7000 * std::sin(2 * 3.14159265358979 * 660 * t));
  }
  return pcm;
}

struct EncodedMovie : WavMovies, ::testing::WithParamInterface<uint32_t> {
  std::vector<std::vector<uint8_t>> packets;
  std::vector<int16_t> input;

  // A movie of 1.6 s of two tones; 16-bit or (with the same coding) 8-bit sound.
  std::vector<uint8_t> Make(uint32_t bits) {
    AudioEncoderConfig config;
    config.Rate = kRate;
    config.Channels = 2;
    AudioEncoder e;
    EXPECT_TRUE(AudioEncoderInit(&e, config));
    input = TwoTones(40 * kPerFrame);
    for (uint32_t f = 0; f < 40; ++f)
      packets.push_back(AudioEncodePacket(&e, input.data() + size_t{f} * kPerFrame * 2, kPerFrame));
    packets.push_back(AudioEncodeFlush(&e));
    uint32_t format = AudioEncoderTrackFormat(config);
    if (bits == 8) format &= ~Track16Bit;
    MovieWriterConfig mc;
    mc.Width = 32;
    mc.Height = 32;
    mc.FrameRate = kFps;
    mc.Tracks = {{0, format, AudioEncoderMaxPacketBytes(&e, kPerFrame)}};
    AudioEncoderFree(&e);
    MovieWriter w;
    MovieWriterInit(&w, mc);
    for (const std::vector<uint8_t>& packet : packets) {
      MovieWriterFrame frame;
      frame.Audio = {packet};
      frame.Video.assign(64, 0);  // a packet that ends the frame would not be decoded
      EXPECT_TRUE(MovieWriterAddFrame(&w, frame));
    }
    return MovieWriterImage(&w);
  }
  void PlayAll() {
    TimerUseSource(&kTestClock);
    MovieTimerMs();  // the clock's first reading is 0; play starts a little after it
    gClock += 1000;
    for (uint32_t k = 0; k < m->Frames; ++k) {
      ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr) << k;
      MovieDecodeFrame(m, DecodeAll);
      MovieFrameEnd(m, MovieTimerMs());
      gClock += 1000 / kFps;
      MovieNextFrame(m);
    }
  }
  void TearDown() override {
    WavMovies::TearDown();
    TimerUseSource(nullptr);
  }
};

TEST_P(EncodedMovie, EveryDecodedSampleReachesTheFile) {
  const uint32_t bits = GetParam();
  std::vector<uint8_t> image = Make(bits);
  Open(image);
  ASSERT_EQ(m->NumOpenTracks, 1u);
  ASSERT_EQ(m->Tracks[0].Bits, bits);
  PlayAll();
  EXPECT_EQ(m->SoundSkips, 0u);
  std::vector<uint8_t> data = TestWavData(CloseAndRead(0));

  AudioEncoderConfig config;  // what the movie's track was encoded with
  config.Rate = kRate;
  config.Channels = 2;
  const std::vector<int16_t> decoded = TestDecode(config, packets);
  ASSERT_EQ(decoded.size(), input.size());  // the packets announce every input sample
  std::vector<uint8_t> expected(decoded.size() * 2);
  if (bits == 16) {
    std::memcpy(expected.data(), decoded.data(), expected.size());
  } else {
    expected.resize(decoded.size());
    for (size_t i = 0; i < decoded.size(); ++i) expected[i] = uint8_t((decoded[i] >> 8) + 128);
  }
  ASSERT_EQ(data.size(), expected.size());
  EXPECT_TRUE(data == expected);

  // And it is the sound that went in: the tones come back well above the coding noise.
  double signal = 0, noise = 0;
  for (size_t i = 0; i < input.size(); ++i) {
    signal += double(input[i]) * input[i];
    noise += (double(input[i]) - decoded[i]) * (double(input[i]) - decoded[i]);
  }
  EXPECT_GT(10 * std::log10(signal / noise), 15.0);
}

INSTANTIATE_TEST_SUITE_P(Bits, EncodedMovie, ::testing::Values(16u, 8u));

}  // namespace
