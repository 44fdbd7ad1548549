// A sound back end for the core's tests: it opens every channel (unless told to refuse) and
// records the core's calls; while taking, it takes regions of 4096 bytes and keeps them.
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
    *region = gSound.region, *size = sizeof gSound.region;
    return 1;
  };
  t->Ops.SoundUnlock = [](AudioTrack*, uint32_t n) {
    gSound.taken.insert(gSound.taken.end(), gSound.region, gSound.region + n);
    return 1;
  };
  t->Ops.SoundOnOff = [](AudioTrack* c, int on) {
    gSound.onOff.push_back(on);
    return int(c->IsOn = uint32_t(on));
  };
  t->Ops.SoundPause = [](AudioTrack*, int on) {
    gSound.pauses.push_back(on);
    return on;
  };
  return 1;
}

// Installs the fake back end and the hand-driven clock for each test of a suite.
struct WithFakeSound : ::testing::Test {
  void SetUp() override {
    gSound = {};
    MovieSetSoundOpenFunc(FakeOpen);
    TestClockUse(true);
  }
  void TearDown() override {
    MovieSetSoundOpenFunc(nullptr);
    TestClockUse(false);
  }
};

// Opens a movie image from memory, the quickest way to the record.
inline Movie* TestOpenImage(const std::vector<uint8_t>& image, uint32_t flags = 0) {
  MovieSetPendingImageSize(uint32_t(image.size()));
  return MovieOpen(image.data(), flags | OpenFromMemory);
}
