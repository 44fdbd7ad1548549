// The WAV back end's channel on its own: the header, appending regions, off/on, pause, and what
// happens when a write fails or the sound outgrows a WAV file.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/sound/wav_test_support.h"
#include "vexa/vexa.h"

namespace {

std::vector<uint8_t> Pattern(size_t bytes, uint32_t seed) {
  std::vector<uint8_t> out(bytes);
  for (size_t i = 0; i < bytes; ++i) out[i] = uint8_t((i * 7 + seed * 31 + (i >> 8)) & 0xFF);
  return out;
}

// Hands bytes to the channel the way the core does: as many regions as they need.
void Feed(AudioTrack* t, const std::vector<uint8_t>& bytes) {
  size_t at = 0;
  while (at < bytes.size()) {
    ASSERT_TRUE(t->Ops.SoundReady(t));
    uint8_t* region = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(t->Ops.SoundLock(t, &region, &size));
    ASSERT_GT(size, 0u);
    const size_t n = std::min<size_t>(size, bytes.size() - at);
    std::memcpy(region, bytes.data() + at, n);
    ASSERT_TRUE(t->Ops.SoundUnlock(t, uint32_t(n)));
    at += n;
  }
}

struct WavChannel : ::testing::Test {
  TestWavFiles files;
  AudioTrack t{};

  void TearDown() override {
    if (t.Ops.SoundClose) t.Ops.SoundClose(&t);
  }
  std::vector<uint8_t> File() { return files.Files.at(WAV_NO_TRACK)->Bytes(); }
  const WavMemory& Memory() { return files.Files.at(WAV_NO_TRACK)->Memory; }
};

TEST_F(WavChannel, TheHeaderIsWrittenAtOpenAndCompletedAtClose) {
  ASSERT_TRUE(WavChannelOpen(&t, 44100, 16, 2, 0, nullptr));
  EXPECT_EQ(files.FileIndices, std::vector<uint32_t>{WAV_NO_TRACK});
  EXPECT_EQ(t.Rate, 44100u);
  EXPECT_EQ(t.Bits, 16u);
  EXPECT_EQ(t.Channels, 2u);
  EXPECT_EQ(t.ChunkBytes, 16384u);
  EXPECT_EQ(t.IsOn, 1u);
  EXPECT_EQ(t.SampleMask | t.LatencyMs | t.SpeedFactor | t.SelfFed, 0u);  // the core's defaults
  // A file cut short here is a valid, empty WAV file.
  TestWavHeader h = TestReadWavHeader(File());
  EXPECT_TRUE(h.Canonical);
  EXPECT_EQ(h.DataBytes, 0u);
  EXPECT_EQ(h.RiffBytes, 36u);

  const std::vector<uint8_t> a = Pattern(1000, 1), b = Pattern(40000, 2);
  Feed(&t, a);
  Feed(&t, b);
  t.Ops.SoundClose(&t);
  EXPECT_EQ(Memory().Closes, 1u);
  EXPECT_EQ(Memory().Complete, 1u);
  EXPECT_EQ(t.BackEnd, nullptr);
  t.Ops.SoundClose(&t);  // a second close finds nothing to close
  EXPECT_EQ(Memory().Closes, 1u);

  std::vector<uint8_t> file = File();
  h = TestReadWavHeader(file);
  EXPECT_TRUE(h.Canonical);
  EXPECT_EQ(h.Format, 1u);
  EXPECT_EQ(h.Channels, 2u);
  EXPECT_EQ(h.Rate, 44100u);
  EXPECT_EQ(h.ByteRate, 176400u);
  EXPECT_EQ(h.BlockAlign, 4u);
  EXPECT_EQ(h.Bits, 16u);
  EXPECT_EQ(h.DataBytes, 41000u);
  EXPECT_EQ(h.RiffBytes, 41036u);
  EXPECT_EQ(file.size(), 44u + 41000u);
  std::vector<uint8_t> expected = a;
  expected.insert(expected.end(), b.begin(), b.end());
  EXPECT_EQ(TestWavData(file), expected);
}

TEST_F(WavChannel, EightBitChannelsCountChunksInSixteenBitBytesAndPadOddData) {
  ASSERT_TRUE(WavChannelOpen(&t, 8000, 8, 1, 0, nullptr));
  uint8_t* region = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  EXPECT_EQ(t.ChunkBytes, 2 * size);
  std::memcpy(region, "\x80\xFF\x00", 3);
  ASSERT_TRUE(t.Ops.SoundUnlock(&t, 3));
  t.Ops.SoundClose(&t);

  std::vector<uint8_t> file = File();
  TestWavHeader h = TestReadWavHeader(file);
  EXPECT_EQ(h.Bits, 8u);
  EXPECT_EQ(h.BlockAlign, 1u);
  EXPECT_EQ(h.ByteRate, 8000u);
  EXPECT_EQ(h.DataBytes, 3u);
  EXPECT_EQ(h.RiffBytes, 40u);  // the pad byte that ends the odd data chunk counts
  ASSERT_EQ(file.size(), 48u);
  EXPECT_EQ(file[47], 0u);
  EXPECT_EQ(TestWavData(file), (std::vector<uint8_t>{0x80, 0xFF, 0x00}));
}

TEST_F(WavChannel, ShapesAWavFileCannotHoldAreRefusedBeforeASinkIsChosen) {
  const uint32_t shapes[][3] = {{44100, 12, 2}, {44100, 16, 3}, {44100, 8, 0}, {0, 16, 2},
                                {256001, 16, 1}};
  for (const auto& s : shapes) {
    std::memset(&t, 0xA5, sizeof(t));
    EXPECT_FALSE(WavChannelOpen(&t, s[0], s[1], s[2], 0, nullptr));
    EXPECT_EQ(t.IsOn, 0u);  // the record is cleared: nothing to close
    EXPECT_EQ(t.Ops.SoundClose, nullptr);
  }
  EXPECT_TRUE(files.FileIndices.empty());
  EXPECT_TRUE(WavChannelOpen(&t, 256000, 16, 1, 0, nullptr));
}

TEST_F(WavChannel, ADecliningChooserOrAMissingOneOpensNothing) {
  files.Refuse = 1;
  EXPECT_FALSE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  EXPECT_EQ(files.FileIndices.size(), 1u);
  EXPECT_EQ(t.Ops.SoundClose, nullptr);
  WavSetSinkChooser(nullptr, nullptr);
  EXPECT_FALSE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  EXPECT_EQ(files.FileIndices.size(), 1u);
}

TEST_F(WavChannel, OffKeepsWhatWasWrittenAndStopsAcceptingOnAcceptsAgain) {
  ASSERT_TRUE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  const std::vector<uint8_t> before = Pattern(5000, 3), after = Pattern(3000, 4);
  Feed(&t, before);
  uint8_t* region = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  std::memset(region, 0x55, 100);
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 0), 0);
  EXPECT_EQ(t.IsOn, 0u);
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 100));  // the region locked before the switch is dropped
  EXPECT_FALSE(t.Ops.SoundReady(&t));
  EXPECT_FALSE(t.Ops.SoundLock(&t, &region, &size));
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 100));
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 0), 0);
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 1), 1);
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 1), 1);
  Feed(&t, after);
  t.Ops.SoundClose(&t);
  EXPECT_EQ(Memory().Complete, 1u);
  std::vector<uint8_t> expected = before;
  expected.insert(expected.end(), after.begin(), after.end());
  EXPECT_EQ(TestWavData(File()), expected);
}

TEST_F(WavChannel, PauseStopsReadinessWithoutLosingALockedRegion) {
  ASSERT_TRUE(WavChannelOpen(&t, 22050, 16, 1, 0, nullptr));
  uint8_t* region = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  std::memcpy(region, "\x01\x02\x03\x04", 4);
  EXPECT_EQ(t.Ops.SoundPause(&t, 1), 1);
  EXPECT_FALSE(t.Ops.SoundReady(&t));
  EXPECT_TRUE(t.Ops.SoundUnlock(&t, 4));
  EXPECT_FALSE(t.Ops.SoundLock(&t, &region, &size));
  EXPECT_EQ(t.Ops.SoundPause(&t, 0), 0);
  EXPECT_TRUE(t.Ops.SoundReady(&t));
  t.Ops.SoundClose(&t);
  EXPECT_EQ(TestWavData(File()), (std::vector<uint8_t>{1, 2, 3, 4}));
}

TEST_F(WavChannel, UnlockingWithoutALockAppendsNothingAndCountsAreCutToTheRegion) {
  ASSERT_TRUE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 64));
  uint8_t* region = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  EXPECT_TRUE(t.Ops.SoundUnlock(&t, size + 1000));
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 64));  // one unlock per lock
  t.Ops.SoundClose(&t);
  EXPECT_EQ(TestReadWavHeader(File()).DataBytes, size);
  EXPECT_EQ(File().size(), 44u + size);
}

TEST(WavChannelSink, AFailedWriteEndsTheFileAndItsHeaderDescribesWhatWasWritten) {
  TestWavFiles files(44 + 1000);
  AudioTrack t{};
  ASSERT_TRUE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  const std::vector<uint8_t> kept = Pattern(800, 5);
  Feed(&t, kept);
  uint8_t* region = nullptr;
  uint32_t size = 0;
  ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
  EXPECT_FALSE(t.Ops.SoundUnlock(&t, 800));  // passes the sink's capacity
  EXPECT_EQ(t.IsOn, 0u);
  EXPECT_FALSE(t.Ops.SoundReady(&t));
  EXPECT_EQ(t.Ops.SoundOnOff(&t, 1), 0);  // a file with a hole in it stays ended
  t.Ops.SoundClose(&t);
  const TestWavFile& f = *files.Files.at(WAV_NO_TRACK);
  EXPECT_EQ(f.Memory.Closes, 1u);
  EXPECT_EQ(f.Memory.Complete, 0u);
  EXPECT_EQ(TestReadWavHeader(f.Bytes()).DataBytes, 800u);
  EXPECT_EQ(TestWavData(f.Bytes()), kept);
}

TEST(WavChannelSink, AHeaderThatCannotBeWrittenFailsTheOpenAndClosesTheSink) {
  TestWavFiles files(43);
  AudioTrack t{};
  EXPECT_FALSE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  EXPECT_EQ(t.BackEnd, nullptr);
  EXPECT_EQ(t.Ops.SoundClose, nullptr);
  const WavMemory& m = files.Files.at(WAV_NO_TRACK)->Memory;
  EXPECT_EQ(m.Closes, 1u);
  EXPECT_EQ(m.Complete, 0u);
}

// A sink that keeps only the header and counts the rest, for sound of gigabytes.
struct CountingSink {
  uint8_t header[44] = {};
  uint64_t end = 0;
  int closes = 0, complete = -1;
};
int CountWriteAt(void* user, uint64_t offset, const uint8_t* bytes, uint32_t count) {
  CountingSink* s = static_cast<CountingSink*>(user);
  if (offset == 0 && count == 44) std::memcpy(s->header, bytes, 44);
  if (offset + count > s->end) s->end = offset + count;
  return 1;
}
void CountClose(void* user, int complete) {
  CountingSink* s = static_cast<CountingSink*>(user);
  s->closes++;
  s->complete = complete;
}
int ChooseCounting(void* user, Movie*, uint32_t, WavSink* sink) {
  *sink = WavSink{CountWriteAt, CountClose, user};
  return 1;
}

TEST(WavChannelSink, SoundBeyondWhatAHeaderDescribesIsCutAtWholeFrames) {
  CountingSink sink;
  WavSetSinkChooser(ChooseCounting, &sink);
  AudioTrack t{};
  ASSERT_TRUE(WavChannelOpen(&t, 48000, 16, 2, 0, nullptr));
  // The RIFF size 36 + data (+ pad) must fit in 32 bits: 4294967256 bytes of 4-byte frames.
  const uint64_t limit = 4294967256u;
  uint64_t handed = 0;
  int last = 1;
  while (t.Ops.SoundReady(&t) && handed <= limit) {
    uint8_t* region = nullptr;
    uint32_t size = 0;
    ASSERT_TRUE(t.Ops.SoundLock(&t, &region, &size));
    last = t.Ops.SoundUnlock(&t, size);
    handed += size;
  }
  EXPECT_EQ(last, 0);
  EXPECT_GT(handed, limit);
  EXPECT_EQ(t.IsOn, 0u);
  t.Ops.SoundClose(&t);
  WavSetSinkChooser(nullptr, nullptr);
  EXPECT_EQ(sink.closes, 1);
  EXPECT_EQ(sink.complete, 0);
  EXPECT_EQ(sink.end, 44 + limit);
  TestWavHeader h = TestReadWavHeader(std::vector<uint8_t>(sink.header, sink.header + 44));
  EXPECT_EQ(h.DataBytes, limit);
  EXPECT_EQ(h.RiffBytes, uint32_t(36 + limit));
}

TEST(WavMemorySinkTest, WritesPastTheBufferFailAndSizeIsTheHighestByte) {
  uint8_t buffer[16] = {};
  WavMemory memory = {buffer, sizeof(buffer), 99, 99, 99};
  WavSink sink;
  WavMemorySink(&memory, &sink);
  EXPECT_EQ(memory.Size, 0u);
  EXPECT_EQ(memory.Closes, 0u);
  const uint8_t bytes[4] = {1, 2, 3, 4};
  EXPECT_TRUE(sink.WriteAt(sink.User, 12, bytes, 4));
  EXPECT_TRUE(sink.WriteAt(sink.User, 0, bytes, 2));
  EXPECT_EQ(memory.Size, 16u);
  EXPECT_FALSE(sink.WriteAt(sink.User, 13, bytes, 4));
  EXPECT_FALSE(sink.WriteAt(sink.User, ~uint64_t(0) - 1, bytes, 4));  // no wrap-around
  EXPECT_EQ(buffer[12], 1u);
  EXPECT_EQ(buffer[1], 2u);
  sink.Close(sink.User, 1);
  EXPECT_EQ(memory.Closes, 1u);
  EXPECT_EQ(memory.Complete, 1u);
}

}  // namespace
