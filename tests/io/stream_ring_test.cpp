// Frame delivery through the read-ahead ring: wrapping, skipping forward inside the ring
// without touching the file, jumps that empty it, direct reads of what the ring lacks, short
// reads, and a filling thread racing the consumer.
#include <random>

#include "io/read_ahead.h"
#include "tests/io/io_test_util.h"

namespace {

using namespace io_test;

class StreamRingTest : public CountingFiles {};

TEST_F(StreamRingTest, DeliversTheFileAcrossRingWrapsFromTheRingAlone) {
  const uint32_t size = 10 * kChunk + 777;
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("wrap.bin", size), 3, size));
  StreamReader* r = &t.Reader;
  uint32_t pos = 0;
  uint32_t fills = 0;
  std::vector<uint8_t> all;
  while (pos < size) {
    fills += t.FillAll();
    // Odd frame sizes that never need more than the ring holds.
    const uint32_t n = std::min<uint32_t>(r->Used, 50001);
    ASSERT_GT(n, 0u);
    std::vector<uint8_t> frame = t.Frame(STREAM_CONTINUE, n);
    all.insert(all.end(), frame.begin(), frame.end());
    pos += n;
  }
  EXPECT_EQ(all, Pattern(0, size));
  EXPECT_EQ(Reads(), fills);  // every file read was a fill
  EXPECT_EQ(Seeks(), 0u);
  EXPECT_EQ(r->BytesRead, size);
  EXPECT_EQ(r->HighUsed, 3 * kChunk);
  EXPECT_EQ(r->ReadError, 0u);
}

TEST_F(StreamRingTest, ForwardSkipInsideTheRingTouchesNoFile) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("skip.bin", 8 * kChunk), 4, 8 * kChunk));
  StreamReader* r = &t.Reader;
  EXPECT_EQ(t.FillAll(), 4u);
  const uint32_t reads = Reads();
  EXPECT_EQ(t.Frame(0, 1000), Pattern(0, 1000));
  EXPECT_EQ(t.Frame(200000, 5000), Pattern(200000, 5000));
  // Skipping to the last byte of the ring, across the ring's end.
  EXPECT_EQ(t.Frame(4 * kChunk - 1, 1), Pattern(4 * kChunk - 1, 1));
  EXPECT_EQ(Reads(), reads);
  EXPECT_EQ(Seeks(), 0u);
  EXPECT_EQ(r->Used, 0u);
  EXPECT_EQ(r->Free, r->BufSize);
  EXPECT_EQ(r->ConsumerPos, 4 * kChunk);
  // The ring refills where the skip left it.
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Frame(STREAM_CONTINUE, kChunk), Pattern(4 * kChunk, kChunk));
}

TEST_F(StreamRingTest, SkipToTheFilePositionEmptiesTheRingWithoutASeek) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("skip-end.bin", 4 * kChunk), 2, 4 * kChunk));
  EXPECT_EQ(t.FillAll(), 2u);
  EXPECT_EQ(t.Frame(2 * kChunk, 100), Pattern(2 * kChunk, 100));
  EXPECT_EQ(Seeks(), 0u);
  EXPECT_EQ(Reads(), 3u);  // two fills and the direct read of the missing bytes
}

TEST_F(StreamRingTest, BackwardJumpEmptiesTheRingAndReadsFromTheFile) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("back.bin", 6 * kChunk), 3, 6 * kChunk));
  StreamReader* r = &t.Reader;
  t.FillAll();
  EXPECT_EQ(t.Frame(150000, 1000), Pattern(150000, 1000));
  const uint32_t reads = Reads();
  EXPECT_EQ(t.Frame(1000, 3000), Pattern(1000, 3000));
  EXPECT_EQ(Seeks(), 1u);
  EXPECT_EQ(Reads(), reads + 1);
  EXPECT_EQ(r->Used, 0u);
  EXPECT_EQ(r->Free, r->BufSize);
  EXPECT_EQ(r->FilePos, 4000u);
  EXPECT_EQ(r->ConsumerPos, 4000u);
  EXPECT_EQ(r->ReadPtr, r->RingStart);
  EXPECT_EQ(r->WritePtr, r->RingStart);
  // Read-ahead resumes from the new position.
  t.FillAll();
  EXPECT_EQ(t.Frame(STREAM_CONTINUE, 2 * kChunk), Pattern(4000, 2 * kChunk));
}

TEST_F(StreamRingTest, JumpBeyondWhatWasReadSeeks) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("beyond.bin", 6 * kChunk), 2, 6 * kChunk));
  t.FillAll();
  EXPECT_EQ(t.Frame(5 * kChunk, 10), Pattern(5 * kChunk, 10));
  EXPECT_EQ(Seeks(), 1u);
  EXPECT_EQ(t.Reader.Used, 0u);
}

TEST_F(StreamRingTest, FrameLargerThanTheRingContentTakesTheRestDirectly) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("direct.bin", 4 * kChunk), 3, 4 * kChunk));
  StreamReader* r = &t.Reader;
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Frame(STREAM_CONTINUE, 300000), Pattern(0, 300000));
  EXPECT_EQ(Reads(), 2u);
  EXPECT_EQ(r->FilePos, 300000u);
  EXPECT_EQ(r->ConsumerPos, 300000u);
  EXPECT_EQ(r->BytesRead, 300000u);
  // The next fill reads only up to the chunk boundary, keeping slots aligned to the file.
  EXPECT_EQ(t.Fill(), 3 * kChunk - 300000);
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Frame(STREAM_CONTINUE, kChunk + 93216), Pattern(300000, kChunk + 93216));
  EXPECT_EQ(r->ReadError, 0u);
}

TEST_F(StreamRingTest, ShortFillSetsReadErrorAndLaterFrameReadsReturnNothing) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("fail.bin", 8 * kChunk), 4, 8 * kChunk));
  StreamReader* r = &t.Reader;
  gCounters.FailAt = 2 * kChunk + 1000;  // the device fails inside the third chunk
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Fill(), 1000u);
  EXPECT_EQ(r->ReadError, 1u);
  const uint32_t reads = Reads();
  EXPECT_EQ(t.Fill(), 0u);
  uint32_t got = 1;
  t.Frame(0, 10, &got);
  EXPECT_EQ(got, 0u);
  t.Frame(STREAM_CONTINUE, 10, &got);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(Reads(), reads);
}

TEST_F(StreamRingTest, FileShorterThanItsLengthGivesAShortRead) {
  TestReader t;
  // The header claims more bytes than the file has.
  ASSERT_TRUE(t.OpenFile(MakePatternFile("truncated.bin", kChunk + 500), 4, 5 * kChunk));
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Fill(), 500u);
  EXPECT_EQ(t.Reader.ReadError, 1u);
  uint32_t got = 1;
  t.Frame(0, 10, &got);
  EXPECT_EQ(got, 0u);
}

TEST_F(StreamRingTest, FramesReachingPastTheMovieEndAreShort) {
  TestReader t;
  // The movie is the first 100,000 bytes of a larger file: nothing after it is delivered.
  ASSERT_TRUE(t.OpenFile(MakePatternFile("past-end.bin", 4 * kChunk), 2, 100000));
  StreamReader* r = &t.Reader;
  uint32_t got = 0;
  std::vector<uint8_t> frame = t.Frame(99500, 1000, &got);
  EXPECT_EQ(got, 500u);
  EXPECT_EQ(frame, Pattern(99500, 500));
  EXPECT_EQ(r->ReadError, 1u);
}

TEST_F(StreamRingTest, HostileOffsetsAreShortReadsNotCrashes) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("hostile.bin", 2 * kChunk), 2, 0xFFFFFFF0u));
  StreamReader* r = &t.Reader;
  uint32_t got = 1;
  std::vector<uint8_t> frame = t.Frame(0xFFFFFF00u, 0x1000, &got);
  EXPECT_EQ(got, 0u);
  EXPECT_EQ(r->ReadError, 1u);
  // A fill at a position past the file's real end reads nothing.
  TestReader u;
  ASSERT_TRUE(u.OpenFile(MakePatternFile("hostile2.bin", 1000), 2, 0xFFFFFFF0u));
  u.Frame(0x80000000u, 0, &got);
  EXPECT_EQ(u.Fill(), 0u);
  EXPECT_EQ(u.Reader.ReadError, 1u);
}

TEST_F(StreamRingTest, FillTargetIsWhatIsLeftUpToTheRingLessThanAChunkOfRoomCountsAsFull) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("target.bin", 10 * kChunk), 4, 10 * kChunk));
  StreamReader* r = &t.Reader;
  EXPECT_EQ(r->FillTarget, 4 * kChunk);
  t.FillAll();
  t.Frame(STREAM_CONTINUE, 1000);
  EXPECT_EQ(r->FillTarget, r->Used);  // under one chunk of room: as full as it gets
  t.Frame(STREAM_CONTINUE, kChunk);
  EXPECT_EQ(r->FillTarget, 4 * kChunk);
  t.Frame(9 * kChunk + kChunk / 2, 1);  // half a chunk from the end
  EXPECT_EQ(r->FillTarget, 0u);
}

// A filling thread (as the IO service would run it) against a consumer that reads, skips and
// jumps back, under the reader's real lock.
TEST_F(StreamRingTest, ConcurrentFillsAndFrameReadsDeliverExactBytes) {
  const uint32_t size = 64 * kChunk + 12345;
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("race.bin", size), 4, size));
  StreamReader* r = &t.Reader;
  r->IoNode.NodeMutex = PlatformMutexCreate();
  ASSERT_NE(r->IoNode.NodeMutex, nullptr);
  r->ReaderLock = ReaderLock;
  r->ReaderTryLock = ReaderTryLock;
  r->ReaderUnlock = ReaderUnlock;
  r->ReaderYield = ReaderYield;

  std::atomic<bool> done{false};
  std::thread filler([&] {
    while (!done.load()) {
      if (r->StreamFill(r, 0) == 0) PlatformSleepMs(0);
    }
  });
  std::mt19937 engine(12345);
  auto random = [&engine] { return static_cast<uint32_t>(engine()); };
  uint32_t pos = 0;
  int mismatches = 0;
  while (pos < size) {
    uint32_t offset = STREAM_CONTINUE;
    const uint32_t pick = random() % 16;
    if (pick == 0) offset = pos + random() % 200000;          // skip, often inside the ring
    if (pick == 1 && pos > 300000) offset = pos - random() % 300000;  // back
    const uint32_t at = offset == STREAM_CONTINUE ? pos : offset;
    if (at >= size) break;
    const uint32_t n = std::min<uint32_t>(1 + random() % 90000, size - at);
    if (t.Frame(offset, n) != Pattern(at, n)) ++mismatches;
    pos = at + n;
  }
  done = true;
  filler.join();
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(r->ReadError, 0u);
  PlatformMutexDestroy(r->IoNode.NodeMutex);
  r->IoNode.NodeMutex = nullptr;
}

}  // namespace
