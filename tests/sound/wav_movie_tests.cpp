// The WAV back end under movies: a file per track named by its identifier, and an encoded movie's
// sound written out whole while the movie plays, at its own pace or at another frame rate.
#include <gtest/gtest.h>

#include "tests/audio_encoder/audio_encoder_test_util.h"
#include "tests/sound/wav_test_support.h"
#include "tests/support/test_support.h"

namespace {

using Fields = std::vector<uint32_t>;

struct WavMovies : ::testing::Test {
  TestWavFiles files;
  Movie* m = nullptr;
  std::vector<uint8_t> image;  // used in place by the open movie

  void SetUp() override { ASSERT_TRUE(SoundSelect(SoundUseWav)); TestClockUse(true); }
  void TearDown() override { MovieClose(m), SoundSelect(nullptr), TestClockUse(false); }
  void Open(uint32_t flags) {
    MovieSetPendingImageSize(uint32_t(image.size()));
    m = MovieOpen(image.data(), flags | OpenFromMemory);
    ASSERT_NE(m, nullptr) << MovieGetError();
  }
};

// Regions hold an eighth of the track's largest packet of 16-bit sound in whole frames, at most
// 16 KB (8-bit sound is handed over as 16-bit).
TEST_F(WavMovies, EachTrackGetsItsOwnFileNamedByItsIdentifier) {
  const uint32_t ids[] = {3, 99, 7, 5};  // 99 is not in the movie
  ASSERT_TRUE(MovieSetPendingTrackList(ids, 4));
  TestMovieShape s;
  s.Config.Width = s.Config.Height = 32;
  s.Config.Tracks = {{7, TrackAudio | Track16Bit | TrackStereo | 22050, 20000},
                     {3, TrackAudio | 22050, 8000},
                     {5, TrackAudio | Track16Bit | TrackStereo | 44100, 200000}};
  image = TestMakeMovie(s);
  Open(OpenTrackList);
  EXPECT_EQ(files.FileIndices, (Fields{1, 0, 2}));
  ASSERT_EQ(m->NumOpenTracks, 3u);
  EXPECT_EQ((Fields{m->Tracks[0].ChunkBytes, m->Tracks[1].ChunkBytes, m->Tracks[2].ChunkBytes}),
            (Fields{1000, 2500, 16384}));
  EXPECT_EQ(TestWavFields(files.Bytes(3)), (Fields{36, 1, 1, 22050, 22050, 1, 8, 0}));
}

// Every decoded sample of 1.6 s of music reaches the file while the movie plays on the
// hand-driven clock, 16-bit or narrowed to 8 bits; at a doubled frame rate at twice the rate.
TEST_F(WavMovies, EveryDecodedSampleReachesTheFile) {
  const struct {
    uint32_t bits, frameRate;
    Fields header;
  } paces[] = {{16, 25, {141156, 1, 2, 22050, 88200, 4, 16, 141120}},
               {8, 25, {70596, 1, 2, 22050, 44100, 2, 8, 70560}},
               {16, 50, {141156, 1, 2, 44100, 176400, 4, 16, 141120}}};
  AudioEncoderConfig config;
  config.Rate = 22050, config.Channels = 2;
  const auto packets = TestEncode(config, TestMusicLike(config.Rate, 2, 1.6));
  for (const auto& pace : paces) {
    SCOPED_TRACE(testing::Message() << pace.bits << " bits, " << pace.frameRate << " fps");
    MovieWriterConfig mc;
    mc.Width = mc.Height = 32;
    mc.Tracks = {{0, AudioEncoderTrackFormat(config) & ~(pace.bits == 8 ? Track16Bit : 0), 0}};
    for (const std::vector<uint8_t>& packet : packets)
      mc.Tracks[0].MaxBytes = std::max(mc.Tracks[0].MaxBytes, TestPacketCount(packet));
    MovieWriter w;
    MovieWriterInit(&w, mc);
    // Video after each sound packet: a sound packet that ended its frame would not be decoded.
    for (const std::vector<uint8_t>& packet : packets)
      ASSERT_TRUE(MovieWriterAddFrame(&w, {{packet}, std::vector<uint8_t>(64, 0), true}));
    image = MovieWriterImage(&w);
    MovieSetPendingFrameRate(pace.frameRate, 1);
    Open(OpenFrameRate);
    for (uint32_t k = 0; k < m->Frames; ++k, MovieNextFrame(m)) {
      ASSERT_NE(MovieFrameBegin(m, MovieTimerMs()), nullptr) << k;
      MovieDecodeFrame(m, DecodeAll);
      MovieFrameEnd(m, MovieTimerMs());
      TestClockAdvance(1000 / pace.frameRate);
    }
    MovieClose(std::exchange(m, nullptr));
    std::vector<uint8_t> expected;  // little-endian 16-bit, or the high byte made unsigned
    for (int16_t v : TestDecode(config, packets)) {
      if (pace.bits == 16) expected.push_back(uint8_t(v));
      expected.push_back(pace.bits == 16 ? uint8_t(v >> 8) : uint8_t((v >> 8) + 128));
    }
    EXPECT_EQ(TestWavFields(files.Bytes(0)), pace.header);
    EXPECT_TRUE(TestWavData(files.Bytes(0)) == expected);
  }
}

}  // namespace
