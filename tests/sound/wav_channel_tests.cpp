// The WAV back end's channel on its own: the header, appending regions, off/on and pause, and
// what happens when a write fails or the sound outgrows a WAV file.
#include <gtest/gtest.h>

#include <cstring>

#include "tests/sound/wav_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Fields = std::vector<uint32_t>;

// Hands count bytes of a pattern (seed 0: whatever the region holds) to the channel in one
// region; returns the unlock's result, or -1 when no region could be locked.
int Append(AudioTrack* t, uint32_t count, uint8_t seed = 1) {
  uint8_t* region = nullptr;
  uint32_t size = 0;
  if (!t->Ops.SoundLock(t, &region, &size)) return -1;
  for (uint32_t i = 0; seed && i < count && i < size; ++i) region[i] = uint8_t(i * 7 + seed);
  return t->Ops.SoundUnlock(t, count);
}
Bytes Pattern(uint32_t count, uint8_t seed = 1) {
  Bytes out(count);
  for (uint32_t i = 0; i < count; ++i) out[i] = uint8_t(i * 7 + seed);
  return out;
}

// Rate, bits, channels, bytes written: the header at open describes no data, at close all of it
// (an odd count is followed by a pad byte that the RIFF size counts).
TEST(WavChannel, TheHeaderDescribesTheDataWrittenAndTheShape) {
  const struct {
    uint32_t rate, bits, channels, bytes, regionBytes;
    Fields closed;
  } cases[] = {{44100, 16, 2, 16384, 16384, {16420, 1, 2, 44100, 176400, 4, 16, 16384}},
               {8000, 8, 1, 3, 16384, {40, 1, 1, 8000, 8000, 1, 8, 3}},
               {256000, 16, 1, 0, 16384, {36, 1, 1, 256000, 512000, 2, 16, 0}}};
  for (const auto& c : cases) {
    TestWavFiles files;
    AudioTrack t{};
    ASSERT_TRUE(WavChannelOpen(&t, c.rate, c.bits, c.channels, 0, nullptr)) << c.rate;
    EXPECT_EQ(t.ChunkBytes, c.bits == 8 ? 2 * c.regionBytes : c.regionBytes);  // 16-bit bytes
    const TestWavFile& f = *files.Files.at(WAV_NO_TRACK);
    EXPECT_EQ(TestWavFields(f.Bytes()).back(), 0u);  // a file cut short here is valid and empty
    EXPECT_EQ(c.bytes ? Append(&t, c.bytes) : 1, 1);
    t.Ops.SoundClose(&t);
    t.Ops.SoundClose(&t);  // a second close finds nothing to close
    EXPECT_EQ((Fields{f.Memory.Closes, f.Memory.Complete}), (Fields{1, 1}));
    EXPECT_EQ(TestWavFields(f.Bytes()), c.closed) << c.rate;
    EXPECT_EQ(TestWavData(f.Bytes()), Pattern(c.bytes));
    EXPECT_EQ(f.Bytes().size(), 44u + c.bytes + c.bytes % 2);
  }
}

TEST(WavChannel, ShapesAWavFileCannotHoldAreRefusedBeforeASinkIsChosen) {
  TestWavFiles files;
  const uint32_t shapes[][3] = {{44100, 12, 2}, {44100, 16, 3}, {44100, 8, 0}, {0, 16, 2},
                                {256001, 16, 1}};
  for (const auto& s : shapes) {
    AudioTrack t;
    std::memset(&t, 0xA5, sizeof(t));
    EXPECT_FALSE(WavChannelOpen(&t, s[0], s[1], s[2], 0, nullptr)) << s[0] << " " << s[1];
    EXPECT_EQ(t.Ops.SoundClose, nullptr);  // the record is cleared: nothing to close
  }
  EXPECT_TRUE(files.FileIndices.empty());
  files.Refuse = 1;
  AudioTrack t{};
  EXPECT_FALSE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  EXPECT_EQ(t.Ops.SoundClose, nullptr);
}

// Off drops a region locked before it and takes nothing until on; pause keeps a locked region
// but stops readiness; an unlock needs its own lock.
TEST(WavChannel, OffPauseAndUnlockRulesKeepOnlyWhatWasAccepted) {
  TestWavFiles files;
  AudioTrack t{};
  ASSERT_TRUE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 64));
  EXPECT_EQ(Append(&t, 100, 1), 1);
  uint8_t* region = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 0), 0);
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 100));
  EXPECT_FALSE(t.Ops.SoundReady(&t));
  EXPECT_EQ(Append(&t, 100), -1);
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 1), 1);
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  std::memcpy(region, Pattern(60, 2).data(), 60);
  EXPECT_EQ(t.Ops.SoundPause(&t, 1), 1);
  EXPECT_FALSE(t.Ops.SoundReady(&t));
  EXPECT_TRUE(t.Ops.SoundUnlock(&t, 60));
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 60));
  EXPECT_EQ(Append(&t, 10), -1);
  EXPECT_EQ(t.Ops.SoundPause(&t, 0), 0);
  EXPECT_TRUE(t.Ops.SoundReady(&t));
  t.Ops.SoundClose(&t);
  Bytes expected = Pattern(100, 1), after = Pattern(60, 2);
  expected.insert(expected.end(), after.begin(), after.end());
  EXPECT_EQ(TestWavData(files.Files.at(WAV_NO_TRACK)->Bytes()), expected);
}

// A failed write ends the file for good (incomplete, its header describing what was written);
// a header that cannot be written fails the open.
TEST(WavChannel, AFailedWriteEndsTheFile) {
  for (uint64_t capacity : {43u, 44u + 1000u}) {
    TestWavFiles files(capacity);
    AudioTrack t{};
    ASSERT_EQ(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr), capacity > 43) << capacity;
    if (capacity > 43) {
      EXPECT_EQ(Append(&t, 800), 1);
      EXPECT_EQ(Append(&t, 800), 0);
      EXPECT_FALSE(t.Ops.SoundReady(&t));
      EXPECT_EQ(t.Ops.SoundOnOff(&t, 1), 0);
      t.Ops.SoundClose(&t);
      EXPECT_EQ(TestWavData(files.Files.at(WAV_NO_TRACK)->Bytes()), Pattern(800));
    }
    EXPECT_EQ(t.BackEnd, nullptr);
    const WavMemory& memory = files.Files.at(WAV_NO_TRACK)->Memory;
    EXPECT_EQ((Fields{memory.Closes, memory.Complete}), (Fields{1, 0})) << capacity;
  }
}

// A sink that keeps the header and counts the rest, for sound of gigabytes.
struct CountingSink {
  Bytes header = Bytes(44);
  uint64_t end = 0;
  int complete = -1;
} gCounted;

TEST(WavChannel, SoundBeyondWhatAHeaderDescribesIsCutAtWholeFrames) {
  WavSetSinkChooser([](void*, Movie*, uint32_t, WavSink* sink) {
    sink->WriteAt = [](void*, uint64_t at, const uint8_t* bytes, uint32_t count) {
      if (at == 0 && count == 44) std::memcpy(gCounted.header.data(), bytes, 44);
      gCounted.end = std::max(gCounted.end, at + count);
      return 1;
    };
    sink->Close = [](void*, int complete) { gCounted.complete = complete; };
    sink->User = nullptr;
    return 1;
  }, nullptr);
  AudioTrack t{};
  ASSERT_TRUE(WavChannelOpen(&t, 48000, 16, 2, 0, nullptr));
  uint64_t handed = 0;
  while (t.Ops.SoundReady(&t) && handed < (5ull << 30)) handed += Append(&t, 16384, 0) ? 16384 : 0;
  t.Ops.SoundClose(&t);
  WavSetSinkChooser(nullptr, nullptr);
  // RIFF size 36 + data must fit in 32 bits: 4294967256 bytes of whole 4-byte frames.
  EXPECT_EQ(gCounted.end, 44 + 4294967256ull);
  EXPECT_EQ(gCounted.complete, 0);
  EXPECT_EQ(TestWavFields(gCounted.header), (Fields{4294967292u, 1, 2, 48000, 192000, 4, 16, 4294967256u}));
}

TEST(WavMemorySink, WritesPastTheBufferFailWithoutWrappingAround) {
  uint8_t buffer[16] = {};
  WavMemory memory = {buffer, sizeof(buffer), 99, 99, 99};
  WavSink sink;
  WavMemorySink(&memory, &sink);
  const uint8_t bytes[4] = {1, 2, 3, 4};
  EXPECT_TRUE(sink.WriteAt(sink.User, 12, bytes, 4));
  EXPECT_TRUE(sink.WriteAt(sink.User, 0, bytes, 2));
  EXPECT_FALSE(sink.WriteAt(sink.User, 13, bytes, 4));
  EXPECT_FALSE(sink.WriteAt(sink.User, ~uint64_t(0) - 1, bytes, 4));
  EXPECT_EQ(memory.Size, 16u);  // the highest byte written
  EXPECT_EQ((Bytes{buffer[12], buffer[1]}), (Bytes{1, 2}));
}

}  // namespace
