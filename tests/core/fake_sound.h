// The core's tests run with a sound back end that opens every channel (unless told to refuse)
// and records the core's calls; while taking, it takes regions of 4096 bytes and keeps them.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "tests/support/test_support.h"
#include "vexa/vexa.h"

struct FakeSound {
  bool refuse = false, taking = false;
  std::vector<int> onOff, pauses;
  std::vector<uint8_t> taken;
  uint8_t region[4096];
};
inline FakeSound gSound;

inline int FakeOpen(AudioTrack* t, uint32_t rate, uint32_t bits, uint32_t channels, uint32_t,
                    Movie*) {
  *t = AudioTrack{};
  if (gSound.refuse) return 0;
  t->Rate = rate, t->Bits = bits, t->Channels = channels, t->IsOn = 1, t->ChunkBytes = 4096;
  t->Ops.SoundReady = [](AudioTrack* c) { return int(gSound.taking && c->IsOn); };
  t->Ops.SoundLock = [](AudioTrack*, uint8_t** region, uint32_t* size) {
    return *region = gSound.region, *size = sizeof gSound.region, 1;
  };
  t->Ops.SoundUnlock = [](AudioTrack*, uint32_t n) {
    return gSound.taken.insert(gSound.taken.end(), gSound.region, gSound.region + n), 1;
  };
  t->Ops.SoundOnOff = [](AudioTrack* c, int on) {
    return gSound.onOff.push_back(on), int(c->IsOn = uint32_t(on));
  };
  t->Ops.SoundPause = [](AudioTrack*, int on) { return gSound.pauses.push_back(on), on; };
  return 1;
}

inline Movie* TestOpenImage(const std::vector<uint8_t>& image, uint32_t flags = 0) {
  MovieSetPendingImageSize(uint32_t(image.size()));
  return MovieOpen(image.data(), flags | OpenFromMemory);
}

// Installs the fake back end and the hand-driven clock; closes m after the test.
struct MovieTest : ::testing::Test {
  Movie* m = nullptr;
  std::vector<uint8_t> image;

  void SetUp() override { gSound = {}, MovieSetSoundOpenFunc(FakeOpen), TestClockUse(true); }
  void TearDown() override { MovieClose(m), MovieSetSoundOpenFunc(nullptr), TestClockUse(false); }
  static TestMovieShape Shape(uint32_t frames, uint32_t videoBytes,
                              std::vector<MovieWriterTrack> tracks = {}) {
    TestMovieShape s;  // 48 x 32 at 25 fps
    s.Config.Width = 48, s.Config.Height = 32, s.Config.Tracks = std::move(tracks);
    s.Frames = frames, s.VideoBytes = videoBytes;
    return s;
  }
  void Open(const TestMovieShape& shape, uint32_t flags = 0) {
    MovieClose(m);
    gSound.onOff.clear(), gSound.pauses.clear();  // the close's calls
    m = TestOpenImage(image = TestMakeMovie(shape), flags);
    ASSERT_NE(m, nullptr) << MovieGetError();
  }
};
