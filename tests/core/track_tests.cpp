// Choosing and opening sound tracks on a sound back end, and sharing the service threads.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "io/service.h"
#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

// A sound back end that accepts everything (or refuses on request) and records its opens.
struct FakeBackEnd {
  int refuse = 0;
  std::vector<uint32_t> rates;
  int closes = 0;
};
FakeBackEnd gFake;

void FakeClose(AudioTrack*) { ++gFake.closes; }

int FakeOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  *t = AudioTrack{};
  if (gFake.refuse) return 0;
  t->Rate = rate;
  t->Bits = bits;
  t->Channels = channels;
  t->ChunkBytes = 4096;
  t->IsOn = 1;
  t->Ops.SoundClose = FakeClose;
  gFake.rates.push_back(rate);
  return 1;
}

struct TrackFixture : ::testing::Test {
  void SetUp() override {
    gFake = {};
    MovieSetSoundOpenFunc(FakeOpen);
  }
  void TearDown() override { MovieSetSoundOpenFunc(nullptr); }
};

TestMovieShape ShapeWithTracks(std::vector<MovieWriterTrack> tracks) {
  TestMovieShape s;
  s.Config.Width = 32;
  s.Config.Height = 32;
  s.Config.Tracks = std::move(tracks);
  s.Frames = 50;
  s.VideoBytes = 200;
  s.AudioBytes = 16;
  return s;
}

Movie* Open(const std::vector<uint8_t>& image, uint32_t flags = 0) {
  MovieSetPendingImageSize(uint32_t(image.size()));
  return MovieOpen(image.data(), flags | OpenFromMemory);
}

const uint32_t kStereo16 = TrackAudio | TrackStereo | Track16Bit | 22050;
const uint32_t kMono8 = TrackAudio | 22050;

using MovieTracks = TrackFixture;

TEST_F(MovieTracks, RingIsFiveQuartersOfTheLargestPacketRoundedTo256PlusSlack) {
  Movie* m = Open(TestMakeMovie(ShapeWithTracks({{0, kStereo16, 100000}})));
  ASSERT_NE(m, nullptr) << MovieGetError();
  ASSERT_EQ(m->NumOpenTracks, 1u);
  const AudioTrack& t = m->Tracks[0];
  EXPECT_EQ(t.PcmRingBytes, 125200u);
  EXPECT_EQ(t.PcmRingEnd - t.PcmRing, 125200);
  EXPECT_EQ(t.FileRate, 22050u);
  EXPECT_EQ(t.SampleMask, 0xFFFFFFFFu);
  EXPECT_EQ(t.SpeedFactor, 0x10000u);
  EXPECT_NE(t.Decoder, nullptr);
  EXPECT_EQ(m->SoundOn, 1u);
  // 750 ms of 22050 Hz stereo 16-bit sound, in whole 4-byte frames.
  EXPECT_EQ(t.LeadInBytes, (750u * 22050u * 2u * 2u / 1000u) & ~3u);
  // The last 3/4 s of a 25 fps movie of 50 frames: frames after 32.
  EXPECT_EQ(t.EndFrame, 50u - 75u / 4u);
  MovieClose(m);
  EXPECT_EQ(gFake.closes, 1);
}

TEST_F(MovieTracks, RingsOfMoreThanTwoSecondsAreDropped) {
  Movie* m = Open(TestMakeMovie(ShapeWithTracks({{0, kMono8, 100000}})));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 0u);  // 125,184 bytes > the 44,100 of two seconds
  EXPECT_EQ(m->SoundOn, 0u);
  EXPECT_TRUE(gFake.rates.empty());
  MovieClose(m);
}

TEST_F(MovieTracks, HostileMaxBytesCannotWrapIntoASmallRing) {
  Movie* m = Open(TestMakeMovie(ShapeWithTracks({{0, kStereo16, 0xFFFFFFF0u}})));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 0u);
  MovieClose(m);
}

TEST_F(MovieTracks, SoundKeepsPaceWithAnOverriddenFrameRate) {
  std::vector<uint8_t> image = TestMakeMovie(ShapeWithTracks({{0, kStereo16, 20000}}));
  MovieSetPendingFrameRate(50, 1);
  Movie* m = Open(image, OpenFrameRate);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(gFake.rates.size(), 1u);
  EXPECT_EQ(gFake.rates[0], 44100u);
  MovieClose(m);

  MovieSetPendingFrameRate(0, 0);  // as fast as possible: the file's rate
  m = Open(image, OpenFrameRate);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(gFake.rates.back(), 22050u);
  MovieClose(m);
}

TEST_F(MovieTracks, TrackListPicksByIdentifierInListOrder) {
  std::vector<uint8_t> image = TestMakeMovie(ShapeWithTracks(
      {{7, kStereo16, 20000}, {3, kStereo16, 20000}, {0, TrackStereo | 22050, 20000}}));
  const uint32_t ids[] = {3, 99, 7, 3};
  ASSERT_TRUE(MovieSetPendingTrackList(ids, 4));
  Movie* m = Open(image, OpenTrackList);
  ASSERT_NE(m, nullptr);
  ASSERT_EQ(m->NumOpenTracks, 3u);  // 99 is skipped; 3 listed twice opens twice
  EXPECT_EQ(m->TrackIndices[0], 1u);
  EXPECT_EQ(m->TrackIndices[1], 0u);
  EXPECT_EQ(m->TrackIndices[2], 1u);
  MovieClose(m);

  // The list was reset to identifier 0, whose track here has no sound bits: dropped.
  m = Open(image);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 0u);
  MovieClose(m);
}

TEST_F(MovieTracks, BothCodingBitsMeanTheRealDftVariantAndRefusalsDropTracks) {
  std::vector<uint8_t> image =
      TestMakeMovie(ShapeWithTracks({{0, TrackAudio | TrackDct | Track16Bit | 8000, 4000}}));
  Movie* m = Open(image);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 1u);
  MovieClose(m);

  gFake.refuse = 1;
  m = Open(image);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 0u);
  EXPECT_EQ(m->Tracks[0].SpeedFactor, 0x10000u);
  MovieClose(m);

  MovieSetSoundOpenFunc(nullptr);  // no back end selected: the movie opens silently
  m = Open(image);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 0u);
  MovieClose(m);
}

TEST_F(MovieTracks, ZeroRateTracksHaveNoPlayableSound) {
  Movie* m = Open(TestMakeMovie(ShapeWithTracks({{0, TrackAudio | Track16Bit, 0}})));
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 0u);
  MovieClose(m);
}

using MovieServices = TrackFixture;

std::string StreamingMovie(const char* name, bool withSound) {
  TestMovieShape s = ShapeWithTracks(withSound ? std::vector<MovieWriterTrack>{{0, kStereo16, 20000}}
                                             : std::vector<MovieWriterTrack>{});
  s.Frames = 400;
  s.VideoBytes = 3000;  // about 1.2 MB: streamed, not preloaded
  return TestWriteFile(name, TestMakeMovie(s));
}

TEST_F(MovieServices, TwoMoviesShareTheThreadsAndTheLastCloseStopsThem) {
  std::string a = StreamingMovie("share_a.vxa", true), b = StreamingMovie("share_b.vxa", true);
  Movie* first = MovieOpen(a.c_str(), 0);
  ASSERT_NE(first, nullptr) << MovieGetError();
  ServiceThread* io = ServiceIo;
  ServiceThread* sound = ServiceSound;
  ASSERT_NE(io, nullptr);
  ASSERT_NE(sound, nullptr);
  EXPECT_NE(first->Reader.IoNode.NodeMutex, nullptr);
  EXPECT_NE(first->SoundNode.NodeMutex, nullptr);
  Movie* second = MovieOpen(b.c_str(), 0);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(ServiceIo, io);
  EXPECT_EQ(ServiceSound, sound);
  MovieClose(first);
  EXPECT_EQ(ServiceIo, io);
  EXPECT_EQ(ServiceSound, sound);
  MovieClose(second);
  EXPECT_EQ(ServiceIo, nullptr);
  EXPECT_EQ(ServiceSound, nullptr);
}

TEST_F(MovieServices, NoIoThreadAndPreloadedMoviesNeverJoinTheReader) {
  std::string path = StreamingMovie("no_io.vxa", true);
  Movie* m = MovieOpen(path.c_str(), OpenNoIoThread);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(ServiceIo, nullptr);
  EXPECT_EQ(m->Reader.IoNode.NodeMutex, nullptr);
  EXPECT_NE(ServiceSound, nullptr);  // its sound still joins
  MovieClose(m);
  EXPECT_EQ(ServiceSound, nullptr);

  m = MovieOpen(path.c_str(), OpenPreload);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(ServiceIo, nullptr);
  EXPECT_NE(ServiceSound, nullptr);
  MovieClose(m);
}

TEST_F(MovieServices, TheBackgroundThreadKeepsTheRingFilled) {
  std::string path = StreamingMovie("ring.vxa", false);
  MovieSetPendingIoBufferSize(4 * STREAM_CHUNK_BYTES);
  Movie* m = MovieOpen(path.c_str(), OpenIoBufferSize | OpenNoFillIo);
  ASSERT_NE(m, nullptr);
  // Nothing was read ahead by the open; the IO thread fills the ring on its own. It changes the
  // counters atomically, so they are read that way here.
  auto shared = [](uint32_t& value) { return std::atomic_ref<uint32_t>(value).load(); };
  for (int tries = 0; tries < 500 && shared(m->Reader.Used) < shared(m->Reader.FillTarget) / 2;
       ++tries)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_GE(shared(m->Reader.Used), shared(m->Reader.FillTarget) / 2);
  EXPECT_GT(shared(m->IoServiced), 0u);
  MovieClose(m);
}

}  // namespace
