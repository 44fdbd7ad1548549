// Choosing the sound back end: the refusal while tracks are open and the kept open function.
#include <gtest/gtest.h>

#include <vector>

#include "core/movie_pending.h"
#include "tests/sound/wav_test_support.h"
#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

// Two fake back ends, A and B, whose opens record which one a movie's track went to, and a
// third whose selector cannot set it up.
struct Calls {
  std::vector<char> opens;      // 'A' or 'B' per channel opened
  std::vector<void*> selectorArgs;
  int selectorsCalled = 0;
};
Calls gCalls;

int OpenOn(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, char backEnd) {
  *t = AudioTrack{};
  t->Rate = rate, t->Bits = bits, t->Channels = channels, t->ChunkBytes = 4096, t->IsOn = 1;
  gCalls.opens.push_back(backEnd);
  return 1;
}
int OpenA(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  return OpenOn(t, rate, bits, channels, 'A');
}
int OpenB(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  return OpenOn(t, rate, bits, channels, 'B');
}
SoundOpenFunction UseA(void* arg) {
  gCalls.selectorsCalled++;
  gCalls.selectorArgs.push_back(arg);
  return OpenA;
}
SoundOpenFunction UseB(void* arg) {
  gCalls.selectorsCalled++;
  gCalls.selectorArgs.push_back(arg);
  return OpenB;
}
SoundOpenFunction UseUnavailable(void*) {
  gCalls.selectorsCalled++;
  return nullptr;
}

struct SoundSelection : ::testing::Test {
  void SetUp() override {
    ASSERT_TRUE(SoundSelect(nullptr));  // no movie is open between tests
    gCalls = {};
  }
  void TearDown() override { SoundSelect(nullptr); }

  static Movie* OpenMovie(bool withSound) {
    static std::vector<uint8_t> image[2];
    std::vector<uint8_t>& bytes = image[withSound];
    if (bytes.empty()) {
      TestMovieShape s;
      s.Config.Width = 32;
      s.Config.Height = 32;
      if (withSound) s.Config.Tracks = {{0, TrackAudio | Track16Bit | TrackStereo | 22050, 20000}};
      s.Frames = 5;
      s.VideoBytes = 100;
      bytes = TestMakeMovie(s);
    }
    MovieSetPendingImageSize(uint32_t(bytes.size()));
    Movie* m = MovieOpen(bytes.data(), OpenFromMemory);
    EXPECT_NE(m, nullptr) << MovieGetError();
    return m;
  }
  static SoundOpenFunction Installed() { return MovieSoundOpener(); }
};

TEST_F(SoundSelection, TheSelectorIsCalledWithZeroAndItsOpenFunctionServesNewMovies) {
  EXPECT_EQ(SoundSelected(), nullptr);
  ASSERT_TRUE(SoundSelect(UseA));
  EXPECT_EQ(SoundSelected(), UseA);
  ASSERT_EQ(gCalls.selectorArgs.size(), 1u);
  EXPECT_EQ(gCalls.selectorArgs[0], nullptr);
  EXPECT_EQ(Installed(), OpenA);

  Movie* m = OpenMovie(true);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 1u);
  EXPECT_EQ(gCalls.opens, std::vector<char>{'A'});
  MovieClose(m);
}

TEST_F(SoundSelection, ADifferentBackEndIsRefusedWhileAnyMovieHasASoundTrackOpen) {
  ASSERT_TRUE(SoundSelect(UseA));
  Movie* silent = OpenMovie(false);
  ASSERT_NE(silent, nullptr);
  ASSERT_TRUE(SoundSelect(UseB));  // a movie without sound holds no channel
  ASSERT_TRUE(SoundSelect(UseA));

  Movie* first = OpenMovie(true);
  Movie* second = OpenMovie(true);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  gCalls.selectorsCalled = 0;
  EXPECT_FALSE(SoundSelect(UseB));
  EXPECT_FALSE(SoundSelect(nullptr));
  EXPECT_EQ(gCalls.selectorsCalled, 0);  // a refused selector is not even asked
  EXPECT_EQ(SoundSelected(), UseA);
  EXPECT_EQ(Installed(), OpenA);
  EXPECT_TRUE(SoundSelect(UseA));  // the same back end may be selected again
  EXPECT_EQ(gCalls.selectorsCalled, 1);

  MovieClose(first);
  EXPECT_FALSE(SoundSelect(UseB));  // the other movie still plays on A
  MovieClose(second);
  EXPECT_TRUE(SoundSelect(UseB));
  EXPECT_EQ(Installed(), OpenB);
  Movie* m = OpenMovie(true);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(gCalls.opens.back(), 'B');
  MovieClose(m);
  MovieClose(silent);
}

TEST_F(SoundSelection, ABackEndThatCannotBeSetUpKeepsThePreviousOpenFunction) {
  ASSERT_TRUE(SoundSelect(UseA));
  EXPECT_FALSE(SoundSelect(UseUnavailable));
  EXPECT_EQ(gCalls.selectorsCalled, 2);
  EXPECT_EQ(SoundSelected(), UseUnavailable);  // remembered all the same
  EXPECT_EQ(Installed(), OpenA);
  Movie* m = OpenMovie(true);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 1u);
  EXPECT_EQ(gCalls.opens, std::vector<char>{'A'});
  // Being remembered, the failed selector is now the one the others are compared with.
  EXPECT_FALSE(SoundSelect(UseA));
  MovieClose(m);

  // The WAV back end cannot be set up without a sink chooser.
  EXPECT_FALSE(SoundSelect(SoundUseWav));
  EXPECT_EQ(Installed(), OpenA);
  {
    TestWavFiles files;
    EXPECT_TRUE(SoundSelect(SoundUseWav));
    EXPECT_EQ(Installed(), WavChannelOpen);
  }
}

TEST_F(SoundSelection, TheNullSelectorLeavesMoviesSilent) {
  ASSERT_TRUE(SoundSelect(UseA));
  ASSERT_TRUE(SoundSelect(nullptr));
  EXPECT_EQ(SoundSelected(), nullptr);
  EXPECT_EQ(Installed(), nullptr);
  Movie* m = OpenMovie(true);
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->NumOpenTracks, 0u);
  EXPECT_TRUE(gCalls.opens.empty());
  MovieClose(m);
}

}  // namespace
