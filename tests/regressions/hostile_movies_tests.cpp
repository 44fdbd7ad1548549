// Hostile and pathological movies: every header and track-table field at its extremes, the
// largest movie, the most sound tracks; pending values and error texts per thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "encoder/audio_encoder.h"
#include "tests/regressions/regression_movies.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"

namespace {

// The allocator hook: bytes held and their peak; blocks of 64 MB and more are refused (counted).
std::atomic<uint64_t> gHeld{0}, gPeak{0}, gRefused{0};
void* CountingAlloc(uint32_t bytes) {
  uint64_t* p = bytes < (64u << 20) ? static_cast<uint64_t*>(std::malloc(bytes + 16ull)) : nullptr;
  if (!p) return ++gRefused, reinterpret_cast<void*>(~uintptr_t(0));
  p[0] = bytes;
  const uint64_t held = gHeld += bytes;
  for (uint64_t peak = gPeak; held > peak && !gPeak.compare_exchange_weak(peak, held);) {}
  return p + 2;
}
void CountingFree(void* block) {
  gHeld -= static_cast<uint64_t*>(block)[-2];
  std::free(static_cast<uint64_t*>(block) - 2);
}

enum Way { ByName, ByHandle, FromMemory, ThroughStream };
const char* const kErrors[] = {"Not a Vexa file.", "The file doesn't contain any compressed frames yet.",
                               "The file has a corrupt header.", "Error reading Vexa header.",
                               "This file has bad frame size data.", "Out of memory."};

// Steps through at most `frames` frames: begin, decode, end, a copy (of nothing without planes),
// and next (but after the last). Returns the frames begun.
uint32_t Play(Movie* m, uint32_t frames) {
  uint32_t k = 0;
  for (; m && k < frames && MovieFrameBegin(m, MovieTimerMs()); ++k) {
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
    std::vector<uint8_t> picture(m->Planes ? size_t(m->Width) * m->Height * 4 : 0);
    MovieCopyToSurface(m, picture.data(), int32_t(m->Width * 4), m->Height, 0, 0, 0, 0, m->Width,
                       m->Height, SurfaceBGRX32);
    if (k + 1 < frames) MovieNextFrame(m);
  }
  return k;
}

// Opens one way with tracks 7 and trackId, plays up to `frames` frames with a copy each, closes;
// returns the error text ("" = opened). gPeak - gHeld is then the open's extra peak.
std::string OpenAndPlay(Way way, const std::vector<uint8_t>& image, const std::string& path,
                        uint32_t trackId, uint32_t frames = 3) {
  gPeak = gHeld.load(), gRefused = 0;
  MovieSetPendingTrackList(std::vector<uint32_t>{7, trackId}.data(), 2);
  const void* handle = way == ByHandle ? TestOpenHandle(path, 0) : nullptr;
  if (way == FromMemory) MovieSetPendingImageSize(uint32_t(image.size()));
  if (way == ThroughStream)  // a stream that cannot tell its length
    MovieSetPendingStreamOpener([](StreamReader* r, const void* name, uint32_t flags) {
      return StreamOpenFile(r, name, flags) ? (r->FileLength = 0, 1) : 0;
    });
  const uint32_t flags[] = {0, OpenFromHandle, OpenFromMemory, OpenCustomStream};
  const void* names[] = {path.c_str(), handle, image.data(), path.c_str()};
  Movie* m = MovieOpen(names[way], flags[way] | OpenTrackList);
  const std::string error = m ? "" : MovieGetError();
  Play(m, frames);
  EXPECT_TRUE(!m || m->WindowFrames <= 1024);
  MovieClose(m);
  TestCloseHandle(handle);
  return error;
}

TEST(HostileHeader, EveryFieldAtItsExtremesAloneAndInPairs) {
  const std::vector<uint8_t> movie = MakeEncodedMovie('i', 6);
  const uint32_t size = uint32_t(movie.size());
  // Header fields, then the track's three table entries and the first and last index entries.
  struct Row { size_t a, b; bool picture; };
  const Row rows[] = {{4, 0, 0},  {8, 0, 0},  {12, 0, 0},  {16, 0, 0},  {20, 0, 1},  {24, 0, 1},
                      {28, 0, 0}, {32, 0, 0}, {36, 0, 0},  {40, 0, 0},  {44, 0, 0},  {48, 0, 0},
                      {52, 0, 0}, {56, 0, 0}, {80, 0, 0},  {12, 4, 0},  {44, 48, 0}, {20, 24, 1},
                      {28, 32, 0}};
  const uint32_t values[] = {0,          1,          MOVIE_MAX_DIMENSION, 0x7FFFFFFF, 0x80000000,
                             0xFFFFFC00, 0xFFFFFFF0, 0xFFFFFFFF,          size - 7,   size + 1};
  const std::string path = TestWriteFile("hostile.vxa", movie);
  WavCapture capture;
  MovieSetAllocator(CountingAlloc, CountingFree);
  uint64_t baseline[4];
  for (Way way : {ByName, ByHandle, FromMemory, ThroughStream})
    EXPECT_EQ(OpenAndPlay(way, movie, path, 7), ""), baseline[way] = gPeak - gHeld;
  for (const Row& row : rows)
    for (uint32_t value : values) {
      SCOPED_TRACE(testing::Message() << "field " << row.a << "/" << row.b << " = " << value);
      std::vector<uint8_t> image = movie;
      TestPutLe32(&image, row.a, value), TestPutLe32(&image, row.b ? row.b : row.a, value);
      TestWriteFile("hostile.vxa", image);
      std::string errors[4];
      for (Way way : {ByName, ByHandle, FromMemory, ThroughStream}) {
        errors[way] = OpenAndPlay(way, image, path, value);
        EXPECT_TRUE(errors[way].empty() || std::count(std::begin(kErrors), std::end(kErrors), errors[way]))
            << errors[way];
        if (row.picture) continue;  // a picture's planes are sized by its dimensions, not by data
        EXPECT_EQ(gRefused, 0u) << way;
        // A claim past the file may turn the preload into the smallest read-ahead ring, no more.
        EXPECT_LE(gPeak - gHeld, baseline[way] + STREAM_MIN_BUFFER + 16 * uint64_t(size)) << way;
      }
      EXPECT_EQ(errors[ByName], errors[ByHandle]);
    }
  MovieSetAllocator(nullptr, nullptr);
}

// Each thread has its own pending values and error text, also while the other thread opens; a
// failed open leaves nothing pending; a memory image shorter than the header is refused unread.
TEST(HostileHeader, OpensOnTwoThreadsKeepTheirPendingValuesAndErrors) {
  const std::vector<uint8_t> movie = MakeEncodedMovie('i', 2), tiny(10, 'V');
  MovieSetPendingImageSize(uint32_t(tiny.size()));
  EXPECT_EQ(MovieOpen(tiny.data(), OpenFromMemory), nullptr);
  EXPECT_STREQ(MovieGetError(), "Not a Vexa file.");
  MovieSetPendingFrameRate(50, 2);
  std::thread other([&] {
    MovieSetPendingFrameRate(5, 1);
    for (int i = 0; i < 200; ++i) {
      EXPECT_EQ(MovieOpen("/nonexistent/movie.vxa", OpenFrameRate), nullptr);
      EXPECT_STREQ(MovieGetError(), "Error opening file.");
    }
    Movie* m = MovieOpen(movie.data(), OpenFromMemory | OpenFrameRate);
    EXPECT_EQ(m ? m->FrameRate : 0, 25u);  // the file's: neither a failed open's rate nor the other thread's
    MovieClose(m);
  });
  other.join();
  EXPECT_STREQ(MovieGetError(), "Not a Vexa file.");
  Movie* m = MovieOpen(movie.data(), OpenFromMemory | OpenFrameRate);
  EXPECT_EQ(m ? m->FrameRate : 0, 50u);
  MovieClose(m);
}

// Every decoded sample reaches the back end, however short the movie.
TEST(HostileHeader, TheSoundOfTheShortestMoviesReachesTheWavFile) {
  for (uint32_t frames : {1u, 2u}) {
    WavCapture capture;
    EXPECT_EQ(OpenAndPlay(FromMemory, MakeEncodedMovie('i', frames), "", 7, frames), "");
    EXPECT_EQ(capture.Memory.Size, 44u + frames * kPcmPerFrame * 4) << frames;
  }
}

// The largest movie a header may claim opens quickly (a quadratic index scan would take hours,
// the limit is generous for sanitizers and emulation), without frame buffers, and steps; the
// last packet is where the index says, and without planes there is nothing to copy.
TEST(LargestMovie, AMillionIndexEntriesOfTheLargestPictureOpenQuickly) {
  TestMovieShape shape;
  shape.Config.Width = shape.Config.Height = MOVIE_MAX_DIMENSION;
  shape.Frames = MOVIE_MAX_INDEX_ENTRIES, shape.VideoBytes = 2, shape.KeyEvery = 50;
  const std::vector<uint8_t> image = TestMakeMovie(shape);
  const std::vector<uint8_t> last = TestFramePacket(image, MOVIE_MAX_INDEX_ENTRIES - 1);
  const std::string path = TestWriteFile("million.vxa", image);
  for (int fromFile = 0; fromFile < 2; ++fromFile) {
    SCOPED_TRACE(fromFile ? "file" : "memory");
    MovieSetPendingImageSize(uint32_t(image.size()));  // taken by every open, used from memory
    const auto start = std::chrono::steady_clock::now();
    Movie* m = fromFile ? MovieOpen(path.c_str(), OpenNoIoThread | OpenNoFrameBuffers)
                        : MovieOpen(image.data(), OpenFromMemory | OpenNoFrameBuffers);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_NE(m, nullptr) << MovieGetError();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 10000);
    EXPECT_EQ(Play(m, 3), 3u);
    uint8_t pixel[4];
    EXPECT_EQ(MovieCopyToSurface(m, pixel, 4, 1, 0, 0, 0, 0, 1, 1, SurfaceBGRX32), 0u);
    MovieLoadFramePacket(m, MOVIE_MAX_INDEX_ENTRIES);
    ASSERT_FALSE(m->ReadError);
    ASSERT_EQ(std::vector<uint8_t>(m->FramePtr, m->FramePtr + m->FrameBytes), last);
    MovieClose(m);
  }
}

// A sound back end that is always ready, like the WAV back end, and counts what each channel
// takes; a runaway pump would lock forever, so locking stops at an absurd count.
uint8_t gRegion[4096];
uint32_t gLocks = 0;
std::map<AudioTrack*, uint64_t> gBytes;
int ReadyOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t, Movie*) {
  *t = AudioTrack{};
  t->Rate = rate, t->Bits = bits, t->Channels = channels, t->ChunkBytes = 256, t->IsOn = 1;
  t->Ops.SoundReady = [](AudioTrack*) { return 1; };
  t->Ops.SoundLock = [](AudioTrack*, uint8_t** region, uint32_t* size) {
    return ++gLocks > 1000000 ? 0 : (*region = gRegion, *size = sizeof gRegion, 1);
  };
  t->Ops.SoundUnlock = [](AudioTrack* c, uint32_t bytes) { return gBytes[c] += bytes, 1; };
  t->Ops.SoundOnOff = [](AudioTrack*, int on) { return on; };
  return 1;
}

// The most tracks a movie may have, all opened and decoded at once, in both variants, every
// sample reaching its channel. The last track's packets announce an odd count of decoded bytes
// for an 8-bit channel: the byte left in its ring at the end once made the pump spin forever.
TEST(ManyTracks, AllOfTheLargestCountPlayAndAnOddByteEndsThePass) {
  constexpr uint32_t kTracks = MOVIE_MAX_TRACKS, kFrames = 4, kPerFrame = 400;
  MovieWriterConfig config;
  config.Width = config.Height = 16, config.FrameRate = 20;
  std::vector<AudioEncoder> encoders(kTracks - 1);
  for (uint32_t t = 0; t + 1 < kTracks; ++t) {
    AudioEncoderConfig ac;
    ac.Rate = 8000, ac.Flags = t % 2 ? AudioFlagDct : 0, ac.Quality = 20;
    ASSERT_TRUE(AudioEncoderInit(&encoders[t], ac));
    config.Tracks.push_back({1000 + t, AudioEncoderTrackFormat(ac),
                             AudioEncoderMaxPacketBytes(&encoders[t], 2 * kPerFrame)});
  }
  config.Tracks.push_back({1000 + kTracks - 1, TrackAudio | 11025, 4096});  // 8-bit mono
  MovieWriter writer;
  MovieWriterInit(&writer, config);
  std::vector<int16_t> pcm(kPerFrame);
  for (uint32_t k = 0; k < kFrames; ++k) {
    MovieWriterFrame frame{{}, std::vector<uint8_t>(16)};
    for (uint32_t t = 0; t + 1 < kTracks; ++t) {
      for (uint32_t i = 0; i < kPerFrame; ++i) pcm[i] = int16_t(((i + t) % 40) * 300 - 6000);
      frame.Audio.push_back(AudioEncodePacket(&encoders[t], pcm.data(), kPerFrame));
      if (k + 1 == kFrames) AudioMergePackets(&frame.Audio.back(), AudioEncodeFlush(&encoders[t]));
    }
    frame.Audio.emplace_back(68, uint8_t(37 * k + 1));
    TestPutLe32(&frame.Audio.back(), 0, 1001);  // decoded bytes announced: odd
    ASSERT_TRUE(MovieWriterAddFrame(&writer, frame));
  }
  for (uint32_t t = 0; t + 1 < kTracks; ++t) AudioEncoderFree(&encoders[t]);
  gLocks = 0, gBytes.clear();
  MovieSetSoundOpenFunc(ReadyOpen);
  std::vector<uint32_t> ids(kTracks);
  std::iota(ids.begin(), ids.end(), 1000u);
  ASSERT_TRUE(MovieSetPendingTrackList(ids.data(), kTracks));
  const std::vector<uint8_t> image = MovieWriterImage(&writer);
  MovieSetPendingImageSize(uint32_t(image.size()));
  Movie* m = MovieOpen(image.data(), OpenFromMemory | OpenTrackList);
  MovieSetSoundOpenFunc(nullptr);
  ASSERT_NE(m, nullptr) << MovieGetError();
  ASSERT_EQ(m->NumOpenTracks, kTracks);
  EXPECT_EQ(Play(m, kFrames), kFrames);
  AudioTrack* odd = &m->Tracks[kTracks - 1];
  MovieClose(m);
  EXPECT_LT(gLocks, 1000000u);
  ASSERT_EQ(gBytes.size(), kTracks);
  for (const auto& [track, bytes] : gBytes)
    EXPECT_TRUE(track == odd ? bytes > 0 : bytes == kFrames * kPerFrame * 2) << bytes;
}

}  // namespace
