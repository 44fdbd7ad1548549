// The WAV back end's channel on its own: the header, appending regions, off/on and pause, and
// what happens when a write fails or the sound outgrows a WAV file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/sound/wav_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Fields = std::vector<uint32_t>;

Bytes Pattern(uint32_t count, uint8_t seed) {
  Bytes out(count);
  for (uint32_t i = 0; i < count; ++i) out[i] = uint8_t(i * 7 + seed);
  return out;
}
// Hands count bytes of Pattern(count, seed) to the channel in one region (seed 0: whatever the
// region holds); returns the unlock's result, or -1 when no region could be locked.
int Append(AudioTrack* t, uint32_t count, uint8_t seed) {
  uint8_t* region = nullptr;
  uint32_t size = 0;
  if (!t->Ops.SoundLock(t, &region, &size)) return -1;
  if (seed) std::memcpy(region, Pattern(std::min(count, size), seed).data(), std::min(count, size));
  return t->Ops.SoundUnlock(t, count);
}
Fields Closed(const TestWavFiles& files) {  // the sink's closes and whether the file is complete
  const WavMemory& memory = files.Files.at(WAV_NO_TRACK).second;
  return {memory.Closes, memory.Complete};
}

// The header at open describes an empty file; at close the data, an odd count followed by the
// pad byte. Shapes a WAV file cannot hold are refused before a sink is chosen; so is a channel
// whose sink is refused.
TEST(WavChannel, TheHeaderDescribesTheDataWritten) {
  TestWavFiles files;
  const uint32_t shapes[][3] = {{44100, 12, 2}, {44100, 16, 3}, {44100, 8, 0}, {0, 16, 2},
                                {256001, 16, 1}, {256000, 16, 1}};
  AudioTrack t;
  for (const auto& s : shapes) {
    std::memset(&t, 0xA5, sizeof(t));
    EXPECT_EQ(WavChannelOpen(&t, s[0], s[1], s[2], 0, nullptr), s[0] == 256000) << s[0] << s[1];
    EXPECT_EQ(t.Ops.SoundClose != nullptr, s[0] == 256000);  // else cleared: nothing to close
  }
  EXPECT_EQ(files.FileIndices.size(), 1u);
  EXPECT_EQ(TestWavFields(files.Bytes(WAV_NO_TRACK)), (Fields{36, 1, 1, 256000, 512000, 2, 16, 0}));
  EXPECT_EQ(Append(&t, 3, 1), 1);
  t.Ops.SoundClose(&t);
  t.Ops.SoundClose(&t);  // a second close finds nothing to close
  EXPECT_EQ(Closed(files), (Fields{1, 1}));
  const Bytes file = files.Bytes(WAV_NO_TRACK);
  EXPECT_EQ(TestWavFields(file), (Fields{40, 1, 1, 256000, 512000, 2, 16, 3}));
  EXPECT_EQ(Bytes(file.begin() + 44, file.end()), (Bytes{1, 8, 15, 0}));  // and the pad
  files.Refuse = 1;
  EXPECT_FALSE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  EXPECT_EQ(t.Ops.SoundClose, nullptr);
}

// Off drops a region locked before it and takes nothing until on; pause keeps a locked region
// but stops readiness; each unlock needs its own lock.
TEST(WavChannel, OffPauseAndUnlockRulesKeepOnlyWhatWasAccepted) {
  TestWavFiles files;
  AudioTrack t{};
  ASSERT_TRUE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  uint8_t* region = nullptr;
  uint32_t size = 0;
  EXPECT_EQ(Append(&t, 100, 1), 1);
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 0), 0);
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 100) || t.Ops.SoundReady(&t));
  EXPECT_EQ(Append(&t, 100, 3), -1);
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 1), 1);
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  std::memcpy(region, Pattern(60, 2).data(), 60);
  EXPECT_EQ(t.Ops.SoundPause(&t, 1), 1);
  EXPECT_FALSE(t.Ops.SoundReady(&t));
  EXPECT_TRUE(t.Ops.SoundUnlock(&t, 60));
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 60));
  EXPECT_EQ(Append(&t, 10, 3), -1);
  EXPECT_EQ(t.Ops.SoundPause(&t, 0), 0);
  EXPECT_TRUE(t.Ops.SoundReady(&t));
  t.Ops.SoundClose(&t);
  Bytes expected = Pattern(100, 1), paused = Pattern(60, 2);
  expected.insert(expected.end(), paused.begin(), paused.end());
  EXPECT_EQ(TestWavData(files.Bytes(WAV_NO_TRACK)), expected);
}

// A failed write ends the file for good, incomplete, its header describing what was written; a
// header that cannot be written fails the open. Writes past a memory sink fail, never wrapping.
TEST(WavChannel, AFailedWriteEndsTheFile) {
  for (uint64_t capacity : {43u, 44u + 1000u}) {
    TestWavFiles files(capacity);
    AudioTrack t{};
    ASSERT_EQ(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr), capacity > 43) << capacity;
    if (capacity > 43) {
      EXPECT_EQ((std::vector<int>{Append(&t, 800, 1), Append(&t, 800, 2), t.Ops.SoundOnOff(&t, 1),
                                  t.Ops.SoundReady(&t)}), (std::vector<int>{1, 0, 0, 0}));
      t.Ops.SoundClose(&t);
      EXPECT_EQ(TestWavData(files.Bytes(WAV_NO_TRACK)), Pattern(800, 1));
    }
    EXPECT_EQ(t.BackEnd, nullptr);
    EXPECT_EQ(Closed(files), (Fields{1, 0})) << capacity;
  }
  uint8_t buffer[16] = {}, bytes[4] = {1, 2, 3, 4};
  WavMemory memory = {buffer, sizeof(buffer), 99, 99, 99};
  WavSink sink;
  WavMemorySink(&memory, &sink);
  EXPECT_TRUE(sink.WriteAt(sink.User, 12, bytes, 4));
  EXPECT_FALSE(sink.WriteAt(sink.User, 13, bytes, 4) || sink.WriteAt(sink.User, ~0ull, bytes, 4));
  EXPECT_EQ(memory.Size, 16u);  // the highest byte written
}

// A sink that keeps the header and counts the rest, for sound of gigabytes.
struct {
  Bytes header = Bytes(44);
  uint64_t end = 0;
  int complete = -1;
} gCounted;

TEST(WavChannel, SoundBeyondWhatAHeaderDescribesIsCutAtWholeFrames) {
  WavSetSinkChooser([](void*, Movie*, uint32_t, WavSink* sink) {
    sink->WriteAt = [](void*, uint64_t at, const uint8_t* bytes, uint32_t count) {
      if (at == 0 && count == 44) std::memcpy(gCounted.header.data(), bytes, 44);
      return gCounted.end = std::max(gCounted.end, at + count), 1;
    };
    sink->Close = [](void*, int complete) { gCounted.complete = complete; };
    return 1;
  }, nullptr);
  AudioTrack t{};
  ASSERT_TRUE(WavChannelOpen(&t, 48000, 16, 2, 0, nullptr));
  for (uint64_t handed = 0; t.Ops.SoundReady(&t) && handed < (5ull << 30); handed += 16384)
    Append(&t, 16384, 0);
  t.Ops.SoundClose(&t);
  WavSetSinkChooser(nullptr, nullptr);
  // RIFF size 36 + data must fit in 32 bits: 4294967256 bytes of whole 4-byte frames.
  EXPECT_EQ(gCounted.end, 44 + 4294967256ull);
  EXPECT_EQ(gCounted.complete, 0);
  EXPECT_EQ(TestWavFields(gCounted.header),
            (Fields{4294967292u, 1, 2, 48000, 192000, 4, 16, 4294967256u}));
}

}  // namespace
