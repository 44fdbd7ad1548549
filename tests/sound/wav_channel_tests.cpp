// The WAV back end's channel on its own: the header, appending regions, and failed writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/sound/wav_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Fields = std::vector<uint32_t>;

// Hands count bytes of `fill` over in one region: the unlock's result, -1 when none was locked.
int Append(AudioTrack* t, uint32_t count, uint8_t fill) {
  uint8_t* region = nullptr;
  uint32_t size = 0;
  if (!t->Ops.SoundLock(t, &region, &size)) return -1;
  std::memset(region, fill, std::min(count, size));
  return t->Ops.SoundUnlock(t, count);
}

// The header at open describes an empty file, at close the data (an odd count, then a pad byte).
// Shapes a WAV file cannot hold are refused before a sink is chosen, as are refused sinks.
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
  const WavMemory& memory = files.Files.at(WAV_NO_TRACK).second;
  EXPECT_EQ((Fields{memory.Closes, memory.Complete}), (Fields{1, 1}));
  const Bytes file = files.Bytes(WAV_NO_TRACK);
  EXPECT_EQ(TestWavFields(file), (Fields{40, 1, 1, 256000, 512000, 2, 16, 3}));
  EXPECT_EQ(Bytes(file.begin() + 44, file.end()), (Bytes{1, 1, 1, 0}));  // and the pad
  files.Refuse = 1;
  EXPECT_FALSE(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr));
  EXPECT_EQ(t.Ops.SoundClose, nullptr);
}

// A failed write ends the file for good, incomplete, its header describing what was written; a
// header that cannot be written fails the open. Writes past a memory sink fail, never wrapping.
TEST(WavChannel, AFailedWriteEndsTheFile) {
  for (uint64_t capacity : {43u, 44u + 1000u}) {
    TestWavFiles files(capacity);
    AudioTrack t{};
    ASSERT_EQ(WavChannelOpen(&t, 22050, 16, 2, 0, nullptr), capacity > 43) << capacity;
    if (capacity > 43) {
      const std::vector<int> r = {Append(&t, 800, 1), Append(&t, 800, 2), t.Ops.SoundOnOff(&t, 1),
                         t.Ops.SoundReady(&t)};
      EXPECT_EQ(r, (std::vector<int>{1, 0, 0, 0}));
      t.Ops.SoundClose(&t);
      EXPECT_EQ(TestWavData(files.Bytes(WAV_NO_TRACK)), Bytes(800, 1));
    }
    const WavMemory& memory = files.Files.at(WAV_NO_TRACK).second;
    EXPECT_EQ((Fields{memory.Closes, memory.Complete}), (Fields{1, 0})) << capacity;
    EXPECT_EQ(t.BackEnd, nullptr);
  }
  uint8_t buffer[16] = {}, bytes[4] = {1, 2, 3, 4};
  WavMemory memory = {buffer, sizeof(buffer), 99, 99, 99};
  WavSink sink;
  WavMemorySink(&memory, &sink);
  EXPECT_TRUE(sink.WriteAt(sink.User, 12, bytes, 4));
  EXPECT_FALSE(sink.WriteAt(sink.User, 13, bytes, 4) || sink.WriteAt(sink.User, ~0ull, bytes, 4));
  EXPECT_EQ(memory.Size, 16u);  // the highest byte written
}

}  // namespace
