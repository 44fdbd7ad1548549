// The WAV back end under movies: a file per track named by its identifier, and an encoded movie's
// sound written out whole while the movie plays, at its own pace or at another frame rate.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <ostream>

#include "encoder/audio_encoder.h"
#include "tests/audio_encoder/audio_encoder_test_util.h"
#include "tests/sound/wav_test_support.h"
#include "tests/support/test_support.h"

namespace {

using Fields = std::vector<uint32_t>;

struct WavMovies : ::testing::Test {
  TestWavFiles files;
  Movie* m = nullptr;
  std::vector<uint8_t> image;

  void SetUp() override {
    ASSERT_TRUE(SoundSelect(SoundUseWav));
    TestClockUse(true);
  }
  void TearDown() override {
    MovieClose(m);
    SoundSelect(nullptr);
    TestClockUse(false);
  }
  void Open(uint32_t flags) {
    MovieClose(m);
    MovieSetPendingImageSize(uint32_t(image.size()));
    m = MovieOpen(image.data(), flags | OpenFromMemory);
    ASSERT_NE(m, nullptr) << MovieGetError();
  }
};

// Regions hold an eighth of the track's largest packet of 16-bit sound in whole frames, at most
// 16 KB; a track whose file is refused plays silent.
TEST_F(WavMovies, EachTrackGetsItsOwnFileNamedByItsIdentifier) {
  const uint32_t ids[] = {3, 7, 5};
  ASSERT_TRUE(MovieSetPendingTrackList(ids, 3));
  TestMovieShape s;
  s.Config.Width = s.Config.Height = 32;
  s.Config.Tracks = {{7, TrackAudio | Track16Bit | TrackStereo | 22050, 20000},
                     {3, TrackAudio | 22050, 8000},
                     {5, TrackAudio | Track16Bit | TrackStereo | 44100, 200000}};
  image = TestMakeMovie(s);
  Open(OpenTrackList);
  EXPECT_EQ(files.FileIndices, (std::vector<uint32_t>{1, 0, 2}));
  ASSERT_EQ(m->NumOpenTracks, 3u);
  EXPECT_EQ((Fields{m->Tracks[0].ChunkBytes, m->Tracks[1].ChunkBytes, m->Tracks[2].ChunkBytes}),
            (Fields{1000, 2500, 16384}));
  MovieClose(m);
  m = nullptr;
  EXPECT_EQ(TestWavFields(files.Bytes(3)), (Fields{36, 1, 1, 22050, 22050, 1, 8, 0}));
  EXPECT_EQ(TestWavFields(files.Bytes(5)), (Fields{36, 1, 2, 44100, 176400, 4, 16, 0}));
  EXPECT_EQ(TestWavFields(files.Bytes(7)), (Fields{36, 1, 2, 22050, 88200, 4, 16, 0}));
  files.Refuse = 1;
  Open(0);
  EXPECT_EQ(m->NumOpenTracks, 0u);
}

// Every decoded sample of 1.6 s of two tones reaches the file while the movie plays on the
// hand-driven clock, 16-bit or narrowed to 8 bits; at a doubled frame rate at twice the rate.
struct Pace {
  uint32_t bits, frameRate;
  Fields header;
};
void PrintTo(const Pace& pace, std::ostream* out) {
  *out << pace.bits << "bits_" << pace.frameRate << "fps";
}
struct EncodedMovie : WavMovies, ::testing::WithParamInterface<Pace> {};

TEST_P(EncodedMovie, EveryDecodedSampleReachesTheFile) {
  const Pace pace = GetParam();
  constexpr uint32_t kRate = 22050, kPerFrame = kRate / 25;
  AudioEncoderConfig config;
  config.Rate = kRate, config.Channels = 2;
  AudioEncoder e;
  ASSERT_TRUE(AudioEncoderInit(&e, config));
  std::vector<int16_t> input(40 * kPerFrame * 2);
  for (size_t i = 0; i < input.size(); i += 2) {
    const double t = double(i / 2) / kRate * 2 * 3.14159265358979;
    input[i] = int16_t(9000 * std::sin(440 * t)), input[i + 1] = int16_t(7000 * std::sin(660 * t));
  }
  std::vector<std::vector<uint8_t>> packets;
  for (uint32_t f = 0; f < 40; ++f)
    packets.push_back(AudioEncodePacket(&e, input.data() + size_t{f} * kPerFrame * 2, kPerFrame));
  packets.push_back(AudioEncodeFlush(&e));
  MovieWriterConfig mc;
  mc.Width = mc.Height = 32;
  mc.Tracks = {{0, AudioEncoderTrackFormat(config) & ~(pace.bits == 8 ? Track16Bit : 0),
                AudioEncoderMaxPacketBytes(&e, kPerFrame)}};
  AudioEncoderFree(&e);
  MovieWriter w;
  MovieWriterInit(&w, mc);
  // Video after each sound packet: a sound packet that ended its frame would not be decoded.
  for (const std::vector<uint8_t>& packet : packets)
    ASSERT_TRUE(MovieWriterAddFrame(&w, {{packet}, std::vector<uint8_t>(64, 0), true}));
  image = MovieWriterImage(&w);
  MovieSetPendingFrameRate(pace.frameRate, 1);
  Open(OpenFrameRate);
  for (uint32_t k = 0; k < m->Frames; ++k) {
    ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr) << k;
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    TestClockAdvance(1000 / pace.frameRate);
    MovieNextFrame(m);
  }
  MovieClose(m);
  m = nullptr;
  const std::vector<int16_t> decoded = TestDecode(config, packets);
  ASSERT_EQ(decoded.size(), input.size());  // the packets announce every input sample
  std::vector<uint8_t> expected(decoded.size() * pace.bits / 8);
  for (size_t i = 0; i < decoded.size(); ++i) {
    if (pace.bits == 8) expected[i] = uint8_t((decoded[i] >> 8) + 128);
    if (pace.bits == 16) std::memcpy(&expected[2 * i], &decoded[i], 2);
  }
  EXPECT_EQ(TestWavFields(files.Bytes(0)), pace.header);
  EXPECT_TRUE(TestWavData(files.Bytes(0)) == expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paces, EncodedMovie,
    ::testing::Values(Pace{16, 25, {141156, 1, 2, 22050, 88200, 4, 16, 141120}},
                      Pace{8, 25, {70596, 1, 2, 22050, 44100, 2, 8, 70560}},
                      Pace{16, 50, {141156, 1, 2, 44100, 176400, 4, 16, 141120}}));

}  // namespace
