// Pathological but valid movies stay bounded: the largest picture with a million index entries,
// and the most sound tracks a movie may have, one of them ending on an odd byte.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <numeric>
#include <vector>

#include "encoder/audio_encoder.h"
#include "tests/support/test_support.h"
#include "vexa/copy.h"
#include "vexa/movie.h"

namespace {

Movie* OpenImage(const std::vector<uint8_t>& image, uint32_t flags) {
  MovieSetPendingImageSize(uint32_t(image.size()));
  return MovieOpen(image.data(), flags | OpenFromMemory);
}

// Steps through at most `frames` frames: begin, decode, end, next. Returns the frames begun.
uint32_t PlayAll(Movie* m, uint32_t frames) {
  uint32_t played = 0;
  for (; played < frames && MovieFrameBegin(m, MovieTimerMs()); ++played, MovieNextFrame(m)) {
    MovieDecodeFrame(m, DecodeAll);
    MovieFrameEnd(m, MovieTimerMs());
  }
  return played;
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
    const auto start = std::chrono::steady_clock::now();
    Movie* m = fromFile ? MovieOpen(path.c_str(), OpenNoIoThread | OpenNoFrameBuffers)
                        : OpenImage(image, OpenNoFrameBuffers);
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_NE(m, nullptr) << MovieGetError();
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(took).count(), 10000);
    EXPECT_EQ(PlayAll(m, 3), 3u);
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
  Movie* m = OpenImage(image, OpenTrackList);
  MovieSetSoundOpenFunc(nullptr);
  ASSERT_NE(m, nullptr) << MovieGetError();
  ASSERT_EQ(m->NumOpenTracks, kTracks);
  EXPECT_EQ(PlayAll(m, kFrames), kFrames);
  AudioTrack* odd = &m->Tracks[kTracks - 1];
  MovieClose(m);
  EXPECT_LT(gLocks, 1000000u);
  ASSERT_EQ(gBytes.size(), kTracks);
  for (const auto& [track, bytes] : gBytes)
    EXPECT_TRUE(track == odd ? bytes > 0 : bytes == kFrames * kPerFrame * 2) << bytes;
}

}  // namespace
