// Pathological but valid movies stay bounded: the largest picture a header may claim fails with
// "Out of memory." when memory runs out, a million index entries open quickly, 256 sound tracks
// all play, and the faults the fuzz targets found stay fixed.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <vector>

#include "encoder/audio_encoder.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"
#include "vexa/movie.h"
#if __has_include("vexa/sound.h")
#include "vexa/sound.h"
#define VEXA_TEST_HAVE_WAV 1
#endif

namespace {

// An allocator hook that behaves like a machine whose memory runs out: blocks above the limit
// fail, smaller ones come from the library's heap. It counts the refusals.
uint32_t gLimit = 0;
uint32_t gRefused = 0;
void* LimitedAlloc(uint32_t bytes) {
  if (bytes <= gLimit) return nullptr;
  ++gRefused;
  return reinterpret_cast<void*>(~uintptr_t(0));
}
void LimitedFree(void*) {}

struct MemoryLimit {
  explicit MemoryLimit(uint32_t limit) {
    gLimit = limit;
    gRefused = 0;
    MovieSetAllocator(LimitedAlloc, LimitedFree);
  }
  ~MemoryLimit() { MovieSetAllocator(nullptr, nullptr); }
};

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
  s.Config.Width = width;
  s.Config.Height = height;
  s.Frames = frames;
  s.VideoBytes = 64;
  return s;
}

TEST(LargestPicture, FailsWithOutOfMemoryWhenThePlanesCannotBeHad) {
  const std::vector<uint8_t> image = TestMakeMovie(Picture(MOVIE_MAX_DIMENSION, MOVIE_MAX_DIMENSION, 3));
  {
    // Small blocks are served; the planes (gigabytes) are not.
    MemoryLimit limit(64u << 20);
    EXPECT_EQ(OpenImage(image), nullptr);
    EXPECT_STREQ(MovieGetError(), "Out of memory.");
    EXPECT_GT(gRefused, 0u);
  }
  {
    // Nothing at all can be had: the record itself fails.
    MemoryLimit limit(0);
    EXPECT_EQ(OpenImage(image), nullptr);
    EXPECT_STREQ(MovieGetError(), "Out of memory.");
  }
  // A failed open leaves nothing planned behind: the next open works.
  const std::vector<uint8_t> smallImage = TestMakeMovie(Picture(32, 16, 2));
  Movie* small = OpenImage(smallImage);
  ASSERT_NE(small, nullptr) << MovieGetError();
  EXPECT_EQ(PlayAll(small), 2u);
  MovieClose(small);
}

TEST(LargestPicture, OpensWithoutFrameBuffersAndSteps) {
  const std::vector<uint8_t> image = TestMakeMovie(Picture(MOVIE_MAX_DIMENSION, MOVIE_MAX_DIMENSION, 3));
  MemoryLimit limit(64u << 20);
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
int ReadyUnlock(AudioTrack*, uint32_t bytes) {
  gReady.Bytes += bytes;
  return 1;
}
int ReadyOnOff(AudioTrack*, int on) { return on; }
int ReadyOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  *t = AudioTrack{};
  t->Rate = rate, t->Bits = bits, t->Channels = channels, t->ChunkBytes = 256, t->IsOn = 1;
  t->Ops.SoundReady = ReadyReady;
  t->Ops.SoundLock = ReadyLock;
  t->Ops.SoundUnlock = ReadyUnlock;
  t->Ops.SoundOnOff = ReadyOnOff;
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

#ifdef VEXA_TEST_HAVE_WAV
struct WavFiles {
  std::vector<std::vector<uint8_t>> Buffers;
  std::vector<WavMemory> Files;
  std::vector<uint32_t> FileIndex;
};
int ChooseWav(void* user, Movie*, uint32_t fileIndex, WavSink* sink) {
  WavFiles* files = static_cast<WavFiles*>(user);
  const size_t k = files->FileIndex.size();
  if (k == files->Files.size()) return 0;
  files->FileIndex.push_back(fileIndex);
  files->Files[k].Data = files->Buffers[k].data();
  files->Files[k].Capacity = files->Buffers[k].size();
  WavMemorySink(&files->Files[k], sink);
  return 1;
}
#endif

// The most tracks a movie may have, all opened and decoded at once, in both variants.
TEST(ManyTracks, AllOfTheLargestCountPlay) {
#ifndef VEXA_TEST_HAVE_WAV
  GTEST_SKIP() << "no WAV back end in this build";
#else
  constexpr uint32_t kTracks = MOVIE_MAX_TRACKS, kFrames = 4, kRate = 8000, kPerFrame = 400;
  MovieWriterConfig config;
  config.Width = 16;
  config.Height = 16;
  config.FrameRate = 20;
  std::vector<AudioEncoder> encoders(kTracks);
  std::vector<uint32_t> ids;
  for (uint32_t t = 0; t < kTracks; ++t) {
    AudioEncoderConfig ac;
    ac.Rate = kRate;
    ac.Flags = t % 2 ? AudioFlagDct : 0;
    ac.Quality = 20;
    ASSERT_TRUE(AudioEncoderInit(&encoders[t], ac));
    config.Tracks.push_back({1000 + t, AudioEncoderTrackFormat(ac),
                             AudioEncoderMaxPacketBytes(&encoders[t], kPerFrame)});
    ids.push_back(1000 + t);
  }
  MovieWriter writer;
  MovieWriterInit(&writer, config);
  std::vector<int16_t> pcm(kPerFrame);
  for (uint32_t k = 0; k < kFrames; ++k) {
    MovieWriterFrame frame;
    frame.Video.assign(16, 0);
    for (uint32_t t = 0; t < kTracks; ++t) {
      for (uint32_t i = 0; i < kPerFrame; ++i) pcm[i] = int16_t(((i + t) % 40) * 300 - 6000);
      frame.Audio.push_back(k + 1 == kFrames ? AudioEncodeFlush(&encoders[t])
                                             : AudioEncodePacket(&encoders[t], pcm.data(), kPerFrame));
    }
    ASSERT_TRUE(MovieWriterAddFrame(&writer, frame));
  }
  for (AudioEncoder& e : encoders) AudioEncoderFree(&e);
  const std::vector<uint8_t> image = MovieWriterImage(&writer);

  WavFiles files;
  files.Buffers.assign(kTracks, std::vector<uint8_t>(64u << 10));
  files.Files.assign(kTracks, WavMemory{});
  WavSetSinkChooser(ChooseWav, &files);
  ASSERT_TRUE(SoundSelect(SoundUseWav));
  ASSERT_TRUE(MovieSetPendingTrackList(ids.data(), kTracks));
  Movie* m = OpenImage(image, OpenTrackList);
  ASSERT_NE(m, nullptr) << MovieGetError();
  EXPECT_EQ(m->NumOpenTracks, kTracks);
  EXPECT_EQ(PlayAll(m), kFrames);
  MovieClose(m);
  SoundSelect(nullptr);
  WavSetSinkChooser(nullptr, nullptr);

  ASSERT_EQ(files.FileIndex.size(), kTracks);
  for (uint32_t k = 0; k < kTracks; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(files.FileIndex[k], k);
    EXPECT_EQ(files.Files[k].Closes, 1u);
    EXPECT_EQ(files.Files[k].Complete, 1u);
    // Every track's sound reached its file: most of the frames' samples, 16-bit mono.
    EXPECT_GT(files.Files[k].Size, 44u + kPerFrame * 2 * (kFrames - 2));
  }
#endif
}

}  // namespace
