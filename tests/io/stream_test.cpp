// The built-in reader: the open's reads, fills, frame delivery across ring wraps, skips and jumps,
// failing devices, handles, the simulated device speed, and a filling thread racing the consumer.
#include <chrono>
#include <random>
#include <thread>

#include "io/read_ahead.h"
#include "tests/io/io_test_util.h"

namespace {

using namespace io_test;
constexpr uint32_t kGo = STREAM_CONTINUE;

struct StreamTest : CountingFiles {};

TEST(StreamBufferSize, WholeChunksPlusAlignmentWithinTheLimits) {
  const uint32_t cases[][2] = {{0, 266240}, {2 * kChunk, 266240}, {2 * kChunk + 1, 397312},
                               {0xFFFFFFFFu, 0xFFFE1000u}};  // not wrapped to a tiny buffer
  for (const auto& c : cases) EXPECT_EQ(StreamBufferSize(nullptr, c[0]), c[1]) << c[0];
}

// Fills from a start position, then one read of everything they brought, which touches no file.
TEST_F(StreamTest, FillsReadWholeChunksAlignedToTheFile) {
  struct Case {
    const char* trace;
    uint32_t file, ring, start;
    std::vector<uint32_t> fills;
  } cases[] = {
      {"one chunk per fill until full", 8 * kChunk, 3, 0, {kChunk, kChunk, kChunk, 0}},
      {"the remainder last", 300000, 4, 0, {kChunk, kChunk, 300000 - 2 * kChunk, 0}},
      {"unaligned start", 6 * kChunk, 3, 200000, {2 * kChunk - 200000, kChunk, kChunk, 0}},
      {"unaligned start in the last chunk", 250000, 3, 200000, {50000, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trace);
    TestReader t;
    ASSERT_TRUE(t.Open(PatternFile(c.file), c.ring, c.file));
    t.Frame(c.start, 0);
    uint32_t total = 0;
    for (uint32_t expected : c.fills) EXPECT_EQ(t.Fill(), expected), total += expected;
    const uint32_t reads = gReads;
    EXPECT_EQ(t.Frame(kGo, total), Pattern(c.start, total));
    EXPECT_EQ(gReads, reads);
  }
}

// Reads the first bytes, then one frame at an offset: which file accesses that takes, what it
// delivers, and that read-ahead goes on from where it ended.
TEST_F(StreamTest, FramesSkipInsideTheRingAndReadTheRestFromTheFile) {
  struct Case {
    const char* trace;
    uint32_t file, movie, fills, first, offset, size, got, reads, seeks;
  } cases[] = {
      {"skip to the ring's last byte", 8 * kChunk, 0, 4, 1000, 4 * kChunk - 1, 1, 1, 0, 0},
      {"skip to the file position", 6 * kChunk, 0, 2, 100, 2 * kChunk, 100, 100, 1, 0},
      {"jump back", 6 * kChunk, 0, 3, 151000, 1000, 3000, 3000, 1, 1},
      {"jump beyond what was read", 6 * kChunk, 0, 2, 0, 5 * kChunk, 10, 10, 1, 1},
      {"more than the ring holds", 4 * kChunk, 0, 1, 0, kGo, 300000, 300000, 1, 0},
      {"past the movie's end", 4 * kChunk, 100000, 0, 0, 99500, 1000, 500, 1, 1},
      {"near 4 GB in a short file", 2 * kChunk, 0xFFFFFFF0u, 0, 0, 0xFFFFFF00u, 4096, 0, 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.trace);
    const uint32_t movie = c.movie ? c.movie : c.file;
    TestReader t;
    ASSERT_TRUE(t.Open(PatternFile(c.file), 4, movie));
    for (uint32_t i = 0; i < c.fills; ++i) ASSERT_EQ(t.Fill(), kChunk);
    ASSERT_EQ(t.Frame(0, c.first), Pattern(0, c.first));
    const uint32_t reads = gReads, seeks = gSeeks;
    const uint32_t at = c.offset == kGo ? c.first : c.offset;
    EXPECT_EQ(t.Frame(c.offset, c.size), Pattern(at, c.got));
    EXPECT_EQ(gReads - reads, c.reads);
    EXPECT_EQ(gSeeks - seeks, c.seeks);
    EXPECT_EQ(t.r->ReadError, c.got < c.size ? 1u : 0u);
    if (c.got < c.size) continue;
    const uint32_t next = std::min(kChunk, movie - at - c.got);
    t.FillAll();
    EXPECT_EQ(t.Frame(kGo, next), Pattern(at + c.got, next));
  }
}

TEST_F(StreamTest, DeliversTheFileAcrossRingWrapsFromTheRingAlone) {
  const uint32_t size = 10 * kChunk + 777;
  TestReader t;
  ASSERT_TRUE(t.Open(PatternFile(size), 3, size));
  std::vector<uint8_t> all;
  uint32_t fills = 0;
  while (all.size() < size) {
    fills += t.FillAll();
    std::vector<uint8_t> frame = t.Frame(kGo, std::min<uint32_t>(t.r->Used, 50001));
    ASSERT_FALSE(frame.empty());
    all.insert(all.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(all, Pattern(0, size));
  EXPECT_EQ(gReads, fills);
  EXPECT_EQ(gSeeks, 0u);
}

TEST_F(StreamTest, ReadAtSeeksOnlyWhenItMustAndDeliveryGoesOnAfterIt) {
  TestReader t;
  ASSERT_TRUE(t.Open(PatternFile(4 * kChunk), 2, 4 * kChunk));
  t.FillAll();
  std::vector<uint8_t> buf(100);
  t.r->StreamReadAt(t.r, kChunk, buf.data(), 100);
  EXPECT_EQ(t.r->StreamReadAt(t.r, kGo, buf.data(), 100), 100u);
  EXPECT_EQ(buf, Pattern(kChunk + 100, 100));
  EXPECT_EQ(gSeeks, 1u);
  t.FillAll();
  EXPECT_EQ(t.Frame(kGo, 50), Pattern(kChunk + 200, 50));
}

TEST_F(StreamTest, FailingDeviceStopsTheReaderWithAReadError) {
  TestReader t;
  ASSERT_TRUE(t.Open(PatternFile(8 * kChunk), 4, 8 * kChunk));
  gFailAt = 2 * kChunk + 1000;
  EXPECT_EQ(t.FillAll(), 3u);
  EXPECT_EQ(t.r->ReadError, 1u);
  const uint32_t reads = gReads;
  EXPECT_EQ(t.Fill(), 0u);
  EXPECT_TRUE(t.Frame(0, 10).empty());
  EXPECT_EQ(gReads, reads);
}

TEST_F(StreamTest, SuspendedReaderDoesNotFillAndAFillNeverWaitsForTheLock) {
  TestReader t;
  ASSERT_TRUE(t.Open(PatternFile(4 * kChunk), 4, 4 * kChunk));
  EXPECT_EQ(t.r->StreamBackground(t.r, STREAM_BG_SUSPEND | STREAM_BG_WAIT), 1u);
  EXPECT_EQ(t.Fill(), 0u);
  EXPECT_EQ(t.r->StreamBackground(t.r, STREAM_BG_RESUME | STREAM_BG_WAIT), 0u);
  EXPECT_EQ(t.r->Used, kChunk);
  t.r->ReaderTryLock = [](StreamReader*) { return 0; };
  EXPECT_EQ(t.Fill(), STREAM_FILL_BUSY);
  EXPECT_EQ(gReads, 1u);
}

// At a simulated 100,000 B/s a direct read and a fill of 10,000 bytes each last 100 ms; what one
// overshoots is credited to the next, so only their sum has a lower bound.
TEST(StreamSimulate, ReadsLastAsLongAsTheDeviceWould) {
  TestReader t;
  ASSERT_TRUE(t.Open(PatternFile(20000), 2, 20000, 100000));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(t.Frame(0, 10000), Pattern(0, 10000));
  EXPECT_EQ(t.Fill(), 10000u);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(195));
}

// A filling thread (as the IO service runs it) against a consumer that reads, skips and jumps
// back, under the reader's real lock.
TEST_F(StreamTest, ConcurrentFillsAndFrameReadsDeliverExactBytes) {
  const uint32_t size = 64 * kChunk + 12345;
  TestReader t;
  ASSERT_TRUE(t.Open(PatternFile(size), 4, size));
  t.r->IoNode.NodeMutex = PlatformMutexCreate();
  StreamInstallLocks(t.r);
  std::atomic<bool> done{false};
  std::thread filler([&] {
    while (!done) {
      if (t.Fill() == 0) PlatformSleepMs(0);
    }
  });
  std::mt19937 random(12345);
  int mismatches = 0;
  for (uint32_t pos = 0, n; pos < size; pos += n) {
    // Mostly read on; sometimes skip ahead, sometimes go back.
    const uint32_t pick = uint32_t(random() % 16), step = uint32_t(random() % 200000);
    const uint32_t at = pick == 0 ? pos + step : pick == 1 && pos > step ? pos - step : pos;
    if (at >= size) break;
    n = std::min<uint32_t>(1 + uint32_t(random() % 90000), size - at);
    mismatches += t.Frame(at == pos ? kGo : at, n) != Pattern(at, n);
    pos = at;
  }
  done = true;
  filler.join();
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(t.r->ReadError, 0u);
  PlatformMutexDestroy(t.r->IoNode.NodeMutex);
  t.r->IoNode.NodeMutex = nullptr;
}

}  // namespace
