// Pathological but valid movies stay bounded: the largest picture opens without frame buffers, a
// million index entries open quickly, 256 sound tracks all play, an odd byte ends the sound pump.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "encoder/audio_encoder.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"
#include "vexa/movie.h"
#include <map>

namespace {

Movie* OpenImage(const std::vector<uint8_t>& image, uint32_t flags = 0) {
  MovieSetPendingImageSize(uint32_t(image.size()));
  return MovieOpen(image.data(), flags | OpenFromMemory);
}

// Steps through every frame: begin, decode, end, next. Returns the frames begun.
uint32_t PlayAll(Movie* m) {
  uint32_t played = 0;
  for (uint32_t k = 0; k < m->Frames; ++k) {
    if (!MovieFrameBegin(m, MovieTimerMs())) break;
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    MovieNextFrame(m);
    ++played;
  }
  return played;
}

TestMovieShape Picture(uint32_t width, uint32_t height, uint32_t frames) {
  TestMovieShape s;
  s.Config.Width = width, s.Config.Height = height, s.Frames = frames, s.VideoBytes = 64;
  return s;
}

// The largest picture a header may claim opens without frame buffers, and steps.
TEST(LargestPicture, OpensWithoutFrameBuffersAndSteps) {
  const std::vector<uint8_t> image = TestMakeMovie(Picture(MOVIE_MAX_DIMENSION, MOVIE_MAX_DIMENSION, 3));
  Movie* m = OpenImage(image, OpenNoFrameBuffers);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_EQ(m->Planes, nullptr);
  EXPECT_EQ(PlayAll(m), 3u);
  // Without planes there is nothing to copy.
  uint8_t pixel[4];
  EXPECT_EQ(MovieCopyToSurface(m, pixel, 4, 1, 0, 0, 0, 0, 1, 1, SurfaceBGRX32), 0u);
  MovieClose(m);
}

// A million frames, each its own index entry: the open scans them all, and must stay quick.
TEST(MillionIndexEntries, OpenQuicklyFromMemoryAndFromAFile) {
  TestMovieShape shape = Picture(16, 16, MOVIE_MAX_INDEX_ENTRIES);
  shape.VideoBytes = 2;
  shape.KeyEvery = 50;
  const std::vector<uint8_t> image = TestMakeMovie(shape);
  ASSERT_EQ(TestGetLe32(image, 16), MOVIE_MAX_INDEX_ENTRIES);
  const std::string path = TestWriteFile("million.vxa", image);
  for (int fromFile = 0; fromFile < 2; ++fromFile) {
    SCOPED_TRACE(fromFile ? "file" : "memory");
    const auto start = std::chrono::steady_clock::now();
    Movie* m = fromFile ? MovieOpen(path.c_str(), OpenNoIoThread) : OpenImage(image);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_NE(m, nullptr) << MovieGetError();
    // Generous for sanitizer builds and emulation; a quadratic scan would take hours.
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 10000);
    EXPECT_EQ(m->Frames, MOVIE_MAX_INDEX_ENTRIES);
    EXPECT_EQ(m->AllKeyFrames, 0u);
    // The last packet is where the index says.
    MovieLoadFramePacket(m, MOVIE_MAX_INDEX_ENTRIES);
    ASSERT_FALSE(m->ReadError);
    const std::vector<uint8_t> last = TestFramePacket(image, MOVIE_MAX_INDEX_ENTRIES - 1);
    ASSERT_EQ(m->FrameBytes, last.size());
    EXPECT_EQ(std::memcmp(m->FramePtr, last.data(), last.size()), 0);
    MovieClose(m);
  }
}

// A sound back end that is always ready, like the WAV back end, and counts what it is given.
struct AlwaysReady {
  uint8_t Region[4096];
  uint32_t Locks = 0;
  uint64_t Bytes = 0;
};
AlwaysReady gReady;
int ReadyReady(AudioTrack*) { return 1; }
int ReadyLock(AudioTrack*, uint8_t** region, uint32_t* size) {
  // A runaway pump would lock forever; stop it at an absurd count so the test fails instead.
  if (++gReady.Locks > 1000000) return 0;
  *region = gReady.Region;
  *size = sizeof(gReady.Region);
  return 1;
}
std::map<AudioTrack*, uint64_t> gReadyBytes;  // per channel
int ReadyUnlock(AudioTrack* t, uint32_t bytes) {
  gReady.Bytes += bytes;
  gReadyBytes[t] += bytes;
  return 1;
}
int ReadyOnOff(AudioTrack*, int on) { return on; }
int ReadyOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  *t = AudioTrack{};
  t->Rate = rate, t->Bits = bits, t->Channels = channels, t->ChunkBytes = 256, t->IsOn = 1;
  t->Ops.SoundReady = ReadyReady, t->Ops.SoundLock = ReadyLock;
  t->Ops.SoundUnlock = ReadyUnlock, t->Ops.SoundOnOff = ReadyOnOff;
  return 1;
}

// Audio packets that announce an odd count of decoded bytes left one byte in an 8-bit track's
// ring at the end: the pump could hand over no whole sample, and spun on forever.
TEST(SoundPump, AnOddByteLeftInTheRingEndsThePass) {
  gReady = AlwaysReady{};
  TestMovieShape shape = Picture(16, 16, 6);
  shape.Config.Tracks = {{0, TrackAudio | 11025, 4096}};
  MovieWriter w;
  MovieWriterInit(&w, shape.Config);
  for (uint32_t k = 0; k < shape.Frames; ++k) {
    MovieWriterFrame f;
    f.Audio.resize(1);
    PutLe32(&f.Audio[0], 1001);  // decoded bytes announced: odd
    for (uint32_t i = 0; i < 64; ++i) f.Audio[0].push_back(uint8_t(i * 37 + k));
    f.Video.assign(32, uint8_t(k));
    ASSERT_TRUE(MovieWriterAddFrame(&w, f));
  }
  const std::vector<uint8_t> image = MovieWriterImage(&w);
  MovieSetSoundOpenFunc(ReadyOpen);
  Movie* m = OpenImage(image);
  MovieSetSoundOpenFunc(nullptr);
  ASSERT_NE(m, nullptr) << MovieGetError();
  ASSERT_EQ(m->NumOpenTracks, 1u);
  EXPECT_EQ(PlayAll(m), 6u);
  MovieClose(m);
  EXPECT_LT(gReady.Locks, 1000000u);
  EXPECT_GT(gReady.Bytes, 0u);
}

// The most tracks a movie may have, all opened and decoded at once, in both variants.
TEST(ManyTracks, AllOfTheLargestCountPlay) {
  constexpr uint32_t kTracks = MOVIE_MAX_TRACKS, kFrames = 4, kPerFrame = 400;
  TestMovieShape shape = Picture(16, 16, kFrames);
  shape.Config.FrameRate = 20;
  std::vector<AudioEncoder> encoders(kTracks);
  std::vector<uint32_t> ids;
  for (uint32_t t = 0; t < kTracks; ++t) {
    AudioEncoderConfig ac;
    ac.Rate = 8000, ac.Flags = t % 2 ? AudioFlagDct : 0, ac.Quality = 20;
    ASSERT_TRUE(AudioEncoderInit(&encoders[t], ac));
    shape.Config.Tracks.push_back({1000 + t, AudioEncoderTrackFormat(ac),
                                   AudioEncoderMaxPacketBytes(&encoders[t], 2 * kPerFrame)});
    ids.push_back(1000 + t);
  }
  MovieWriter writer;
  MovieWriterInit(&writer, shape.Config);
  std::vector<int16_t> pcm(kPerFrame);
  for (uint32_t k = 0; k < kFrames; ++k) {
    MovieWriterFrame frame;
    frame.Video.assign(16, 0);
    for (uint32_t t = 0; t < kTracks; ++t) {
      for (uint32_t i = 0; i < kPerFrame; ++i) pcm[i] = int16_t(((i + t) % 40) * 300 - 6000);
      frame.Audio.push_back(AudioEncodePacket(&encoders[t], pcm.data(), kPerFrame));
      if (k + 1 == kFrames) AudioMergePackets(&frame.Audio.back(), AudioEncodeFlush(&encoders[t]));
    }
    ASSERT_TRUE(MovieWriterAddFrame(&writer, frame));
  }
  for (AudioEncoder& e : encoders) AudioEncoderFree(&e);
  gReadyBytes.clear();
  MovieSetSoundOpenFunc(ReadyOpen);
  ASSERT_TRUE(MovieSetPendingTrackList(ids.data(), kTracks));
  const std::vector<uint8_t> image = MovieWriterImage(&writer);
  Movie* m = OpenImage(image, OpenTrackList);
  MovieSetSoundOpenFunc(nullptr);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_EQ(m->NumOpenTracks, kTracks);
  EXPECT_EQ(PlayAll(m), kFrames);
  MovieClose(m);
  // Every sample of every track reached its channel (16-bit mono).
  ASSERT_EQ(gReadyBytes.size(), kTracks);
  for (const auto& [track, bytes] : gReadyBytes) EXPECT_EQ(bytes, kFrames * kPerFrame * 2);
}

}  // namespace
