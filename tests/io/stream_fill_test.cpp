// One-chunk fills: slot placement and the skip rule, end of file, the busy lock, suspension,
// the simulated device speed and the fill statistics.
#include "io/read_ahead.h"
#include "tests/io/io_test_util.h"

namespace {

using namespace io_test;
using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

class StreamFillTest : public CountingFiles {};

TEST_F(StreamFillTest, EachFillReadsOneChunkIntoTheNextSlot) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("fill.bin", 8 * kChunk), 3, 8 * kChunk));
  StreamReader* r = &t.Reader;
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(r->WritePtr, r->RingStart + kChunk);
  EXPECT_EQ(r->Used, kChunk);
  EXPECT_EQ(r->Free, 2 * kChunk);
  EXPECT_EQ(r->FilePos, kChunk);
  EXPECT_EQ(r->BytesRead, kChunk);
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(r->WritePtr, r->RingStart);
  EXPECT_EQ(r->HighUsed, 3 * kChunk);
  // A full ring: nothing read, and the target becomes what it holds.
  EXPECT_EQ(t.Fill(), 0u);
  EXPECT_EQ(Reads(), 3u);
  EXPECT_EQ(r->FillTarget, 3 * kChunk);
  // Less than a chunk of room is no room.
  t.Frame(STREAM_CONTINUE, kChunk - 1);
  EXPECT_EQ(t.Fill(), 0u);
  t.Frame(STREAM_CONTINUE, 1);
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(r->HighUsed, 3 * kChunk);
}

TEST_F(StreamFillTest, LastFillReadsTheRemainderThenThereIsNothingToDo) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("end.bin", 300000), 4, 300000));
  StreamReader* r = &t.Reader;
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Fill(), 300000 - 2 * kChunk);
  EXPECT_EQ(t.Fill(), 0u);
  EXPECT_EQ(r->FillTarget, 300000u);
  EXPECT_EQ(r->ReadError, 0u);
  EXPECT_EQ(t.Frame(0, 300000), Pattern(0, 300000));
}

TEST_F(StreamFillTest, AfterAJumpTheDataKeepsItsOffsetWithinTheSlot) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("skiprule.bin", 6 * kChunk), 3, 6 * kChunk));
  StreamReader* r = &t.Reader;
  t.Frame(200000, 0);  // positions the reader without reading
  EXPECT_EQ(t.Fill(), 2 * kChunk - 200000);
  EXPECT_EQ(r->ReadPtr, r->RingStart + 200000 % kChunk);
  EXPECT_EQ(r->FilePos, 2 * kChunk);  // from here on whole, aligned chunks
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_EQ(t.Fill(), 0u);
  const uint32_t reads = Reads();
  EXPECT_EQ(t.Frame(STREAM_CONTINUE, 3 * kChunk - 200000 % kChunk),
            Pattern(200000, 3 * kChunk - 200000 % kChunk));
  EXPECT_EQ(Reads(), reads);
}

TEST_F(StreamFillTest, NoSkipWhenTheChunkIsTheRestOfTheMovie) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("skiplast.bin", 250000), 3, 250000));
  StreamReader* r = &t.Reader;
  t.Frame(200000, 0);
  EXPECT_EQ(t.Fill(), 50000u);
  EXPECT_EQ(r->ReadPtr, r->RingStart);
  EXPECT_EQ(t.Frame(STREAM_CONTINUE, 50000), Pattern(200000, 50000));
}

struct LockSpy {
  int TryLocks = 0;
  int Yields = 0;
  int Held = 0;
};
LockSpy gSpy;

TEST_F(StreamFillTest, BusyLockMakesTheFillYieldAndAskToBeCalledAgain) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("busy.bin", 2 * kChunk), 2, 2 * kChunk));
  StreamReader* r = &t.Reader;
  gSpy = LockSpy{};
  r->ReaderLock = [](StreamReader*) { return ++gSpy.Held, 1; };
  r->ReaderUnlock = [](StreamReader*) { --gSpy.Held; };
  r->ReaderTryLock = [](StreamReader*) { return ++gSpy.TryLocks, 0; };
  r->ReaderYield = [](StreamReader*) { ++gSpy.Yields; };
  EXPECT_EQ(t.Fill(), STREAM_FILL_BUSY);
  EXPECT_EQ(gSpy.TryLocks, 1);
  EXPECT_EQ(gSpy.Yields, 1);
  EXPECT_EQ(Reads(), 0u);
  EXPECT_EQ(r->Used, 0u);
  // Frame reads wait for the lock and give it back.
  EXPECT_EQ(t.Frame(100, 10), Pattern(100, 10));
  EXPECT_EQ(gSpy.Held, 0);
  r->ReaderTryLock = [](StreamReader*) { return ++gSpy.Held, 1; };
  EXPECT_EQ(t.Fill(), kChunk - 110);  // up to the chunk boundary
  EXPECT_EQ(gSpy.Held, 0);
  r->ReaderLock = nullptr;
  r->ReaderUnlock = nullptr;
  r->ReaderTryLock = nullptr;
  r->ReaderYield = nullptr;
}

TEST_F(StreamFillTest, SuspendedReaderDoesNotFillAndResumeWithWaitFillsOnce) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("suspend.bin", 4 * kChunk), 4, 4 * kChunk));
  StreamReader* r = &t.Reader;
  EXPECT_EQ(r->StreamBackground(r, STREAM_BG_SUSPEND | STREAM_BG_WAIT), 1u);
  EXPECT_EQ(t.Fill(), 0u);
  EXPECT_EQ(Reads(), 0u);
  EXPECT_EQ(r->StreamBackground(r, STREAM_BG_RESUME | STREAM_BG_WAIT), 0u);
  EXPECT_EQ(r->Used, kChunk);
  EXPECT_EQ(r->StreamBackground(r, STREAM_BG_RESUME), 0u);
  EXPECT_EQ(r->Used, kChunk);  // without the wait bit nothing is read
  EXPECT_EQ(t.Fill(), kChunk);
}

TEST_F(StreamFillTest, SuspendWithWaitReturnsOnlyAfterARunningFillHasFinished) {
  TestReader t;
  // 10,000 bytes at a simulated 100,000 B/s: the fill holds the reader for 100 ms.
  ASSERT_TRUE(t.OpenFile(MakePatternFile("suspend-wait.bin", 10000), 2, 10000, 100000));
  StreamReader* r = &t.Reader;
  r->IoNode.NodeMutex = PlatformMutexCreate();
  r->ReaderLock = ReaderLock;
  r->ReaderTryLock = ReaderTryLock;
  r->ReaderUnlock = ReaderUnlock;
  std::atomic<bool> started{false};
  std::atomic<bool> fillDone{false};
  std::thread filler([&] {
    PlatformMutexLock(r->IoNode.NodeMutex);  // the fill's try-lock nests inside this hold
    started = true;
    EXPECT_EQ(r->StreamFill(r, 0), 10000u);
    fillDone = true;
    PlatformMutexUnlock(r->IoNode.NodeMutex);
  });
  while (!started.load()) PlatformSleepMs(1);
  EXPECT_EQ(r->StreamBackground(r, STREAM_BG_SUSPEND | STREAM_BG_WAIT), 1u);
  EXPECT_TRUE(fillDone.load());
  EXPECT_EQ(t.Fill(), 0u);
  filler.join();
  PlatformMutexDestroy(r->IoNode.NodeMutex);
  r->IoNode.NodeMutex = nullptr;
}

// A simulated 100,000 B/s device: a 128 KB fill takes at least 1.31 s, and a fill while the
// movie is busy counts as background time.
TEST_F(StreamFillTest, SimulatedSpeedMakesAFillLastAsLongAsTheDeviceWould) {
  TestReader t;
  ASSERT_TRUE(t.OpenFile(MakePatternFile("slow.bin", kChunk + 10000), 2, kChunk + 10000, 100000));
  StreamReader* r = &t.Reader;
  r->Busy = 1;
  auto start = Clock::now();
  EXPECT_EQ(t.Fill(), kChunk);
  EXPECT_GE(MsSince(start), 1300.0);
  EXPECT_GE(r->ReadTime, 1300u);
  EXPECT_GE(r->BackgroundTime, 1300u);
  EXPECT_EQ(r->IdleTime, 0u);

  // 100 ms more of device time. What the first fill overshot is credited to this one, so only the
  // two together have a lower bound.
  r->Busy = 0;
  EXPECT_EQ(t.Fill(), 10000u);
  EXPECT_GE(MsSince(start), 1400.0);
  EXPECT_GE(r->ReadTime, 1395u);
}

TEST_F(StreamFillTest, SimulatedSpeedAlsoSlowsDirectFrameReads) {
  TestReader t;
  ASSERT_TRUE(StreamOpenFile(&t.Reader, MakePatternFile("slow2.bin", 30000).c_str(), 0));
  t.Open = true;
  t.Reader.StreamSetBuffer(&t.Reader, nullptr, 0, 30000, 100000);
  const auto start = Clock::now();
  EXPECT_EQ(t.Frame(0, 20000), Pattern(0, 20000));  // 200 ms of device time
  EXPECT_GE(MsSince(start), 195.0);
  EXPECT_GE(t.Reader.ForegroundTime, 195u);
  EXPECT_GE(t.Reader.ReadTime, 195u);
}

}  // namespace
