// Choosing the sound back end: refused while any movie has a sound track open, and a back end
// that cannot be set up keeps the previous open function.
#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

std::vector<char> gOpened;  // the back end of each channel opened

template <char kBackEnd>
int OpenOn(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  *t = AudioTrack{};
  t->Rate = rate, t->Bits = bits, t->Channels = channels, t->ChunkBytes = 4096, t->IsOn = 1;
  return gOpened.push_back(kBackEnd), 1;
}
template <char kBackEnd>
SoundOpenFunction Use(void*) {
  return kBackEnd ? OpenOn<kBackEnd> : nullptr;
}

TEST(SoundSelect, TheBackEndStaysWhileAnyMovieHasASoundTrackOpen) {
  TestMovieShape s;
  s.Config.Width = s.Config.Height = 32, s.Frames = 5, s.VideoBytes = 100;
  s.Config.Tracks = {{0, TrackAudio | Track16Bit | TrackStereo | 22050, 20000}};
  const std::vector<uint8_t> image = TestMakeMovie(s);
  auto open = [&image] {
    MovieSetPendingImageSize(uint32_t(image.size()));
    return MovieOpen(image.data(), OpenFromMemory);
  };
  gOpened.clear();  // the test may run repeatedly
  ASSERT_TRUE(SoundSelect(Use<'A'>));
  Movie *first = open(), *second = open();
  EXPECT_FALSE(SoundSelect(Use<'B'>) || SoundSelect(nullptr));
  EXPECT_TRUE(SoundSelect(Use<'A'>));  // the same one again
  MovieClose(first);
  EXPECT_FALSE(SoundSelect(Use<'B'>));  // the other movie still plays
  MovieClose(second);
  EXPECT_TRUE(SoundSelect(Use<'B'>));
  EXPECT_FALSE(SoundSelect(Use<'\0'>));  // cannot be set up: remembered, but B opens channels
  EXPECT_EQ(SoundSelected(), Use<'\0'>);
  MovieClose(open());
  EXPECT_EQ(gOpened, (std::vector<char>{'A', 'A', 'B'}));
  EXPECT_FALSE(SoundSelect(SoundUseWav));  // no sink chooser: nowhere to write to
  EXPECT_TRUE(SoundSelect(nullptr));       // the null selector leaves movies silent
  Movie* m = open();
  EXPECT_EQ(m->NumOpenTracks, 0u);
  MovieClose(m);
}

}  // namespace
