// The built-in reader: fills, frame delivery across ring wraps, skips and jumps, failing devices,
// a filling thread racing the consumer, and the read-ahead's need and order over real readers.
#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "io/read_ahead.h"
#include "io/service.h"
#include "io/stream_file.h"
#include "platform/platform.h"
#include "tests/support/test_support.h"
#include "vexa/movie.h"

namespace {

constexpr uint32_t kChunk = STREAM_CHUNK_BYTES, kGo = STREAM_CONTINUE;

// Bytes of the test files: not periodic in any power of two, so misplaced data shows.
std::vector<uint8_t> Pattern(uint64_t from, uint32_t count) {
  std::vector<uint8_t> bytes(count);
  for (uint64_t i = from; uint8_t& b : bytes) b = uint8_t(i * 2654435761u >> 13 ^ i >> 7), ++i;
  return bytes;
}

// A file layer that counts the reader's reads and seeks; reads deliver nothing past gFailAt.
std::atomic<uint32_t> gReads{0}, gSeeks{0};
std::atomic<int64_t> gFailAt{-1};
const StreamFileOps kCountingOps = {
    [](PlatformFile* file, void* dest, uint32_t size) {
      const int64_t at = PlatformFileTell(file), failAt = (++gReads, gFailAt.load());
      if (failAt >= 0 && at + size > failAt) size = at >= failAt ? 0 : uint32_t(failAt - at);
      return PlatformFileRead(file, dest, size);
    },
    [](PlatformFile* file, int64_t offset) { return ++gSeeks, PlatformFileSeek(file, offset); }};

struct StreamTest : ::testing::Test {
  void SetUp() override { gReads = gSeeks = 0, gFailAt = -1, StreamUseFileOps(&kCountingOps); }
  void TearDown() override { StreamUseFileOps(nullptr); }
};

// A reader on a patterned file with a ring of ringChunks chunks in a deliberately misaligned
// buffer, set up the way the movie open does.
struct TestReader {
  StreamReader Reader{}, *r = &Reader;
  std::vector<uint8_t> Buffer;
  bool Open(uint32_t fileBytes, uint32_t ringChunks, uint32_t movieBytes = 0) {
    const std::string path =
        TestWriteFile("pattern-" + std::to_string(fileBytes), Pattern(0, fileBytes));
    if (!StreamOpenFile(r, path.c_str(), 0)) return false;
    const uint32_t size = r->StreamBufferSize(r, ringChunks * kChunk);
    Buffer.assign(size + 1, 0);
    r->StreamSetBuffer(r, Buffer.data() + 1, size, movieBytes ? movieBytes : fileBytes, 0);
    return true;
  }
  uint32_t Fill() { return r->StreamFill(r, 0); }
  uint32_t FillAll() {  // the number of fills that read something
    uint32_t fills = 0;
    while (Fill() != 0) ++fills;
    return fills;
  }
  std::vector<uint8_t> Frame(uint32_t offset, uint32_t size) {
    std::vector<uint8_t> out(size);
    out.resize(r->StreamReadFrame(r, 0, offset, out.data(), size));
    return out;
  }
  ~TestReader() { r->StreamClose != nullptr ? r->StreamClose(r) : void(); }
};

// Rings of whole chunks plus alignment, never wrapped to a tiny size. Fills from a start position,
// then one read of everything they brought, which touches no file.
TEST_F(StreamTest, FillsReadWholeChunksAlignedToTheFile) {
  const uint32_t sizes[][2] = {{0, 266240}, {2 * kChunk, 266240}, {2 * kChunk + 1, 397312},
                               {0xFFFFFFFFu, 0xFFFE1000u}};
  for (const auto& s : sizes) EXPECT_EQ(StreamBufferSize(nullptr, s[0]), s[1]) << s[0];
  struct Case { const char* trace; uint32_t file, ring, start; std::vector<uint32_t> fills; };
  const Case cases[] = {
      {"the remainder last", 300000, 4, 0, {kChunk, kChunk, 300000 - 2 * kChunk, 0}},
      {"unaligned start", 6 * kChunk, 3, 200000, {2 * kChunk - 200000, kChunk, kChunk, 0}},
      {"unaligned start in the last chunk", 250000, 3, 200000, {50000, 0}}};
  for (const auto& c : cases) {
    TestReader t;
    ASSERT_TRUE(t.Open(c.file, c.ring));
    t.Frame(c.start, 0);
    uint32_t total = 0;
    for (uint32_t expected : c.fills) EXPECT_EQ(t.Fill(), expected) << c.trace, total += expected;
    const uint32_t reads = gReads;
    EXPECT_TRUE(t.Frame(kGo, total) == Pattern(c.start, total) && gReads == reads) << c.trace;
  }
}

// Reads the first bytes, then one frame at an offset: which file accesses that takes, what it
// delivers, and that read-ahead goes on from where it ended.
TEST_F(StreamTest, FramesSkipInsideTheRingAndReadTheRestFromTheFile) {
  const struct { const char* trace; uint32_t file, movie, fills, first, offset, size, got,
                 reads, seeks; } cases[] = {
      {"skip to the ring's last byte", 8 * kChunk, 0, 4, 1000, 4 * kChunk - 1, 1, 1, 0, 0},
      {"skip to the file position", 6 * kChunk, 0, 2, 100, 2 * kChunk, 100, 100, 1, 0},
      {"jump back", 6 * kChunk, 0, 3, 151000, 1000, 3000, 3000, 1, 1},
      {"jump beyond what was read", 6 * kChunk, 0, 2, 0, 5 * kChunk, 10, 10, 1, 1},
      {"more than the ring holds", 4 * kChunk, 0, 1, 0, kGo, 300000, 300000, 1, 0},
      {"past the movie's end", 4 * kChunk, 100000, 0, 0, 99500, 1000, 500, 1, 1},
      {"near 4 GB in a short file", 2 * kChunk, 0xFFFFFFF0u, 0, 0, 0xFFFFFF00u, 4096, 0, 1, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.trace);
    const uint32_t movie = c.movie ? c.movie : c.file, at = c.offset == kGo ? c.first : c.offset;
    TestReader t;
    ASSERT_TRUE(t.Open(c.file, 4, movie));
    for (uint32_t i = 0; i < c.fills; ++i) ASSERT_EQ(t.Fill(), kChunk);
    ASSERT_EQ(t.Frame(0, c.first), Pattern(0, c.first));
    const uint32_t reads = gReads, seeks = gSeeks;
    EXPECT_EQ(t.Frame(c.offset, c.size), Pattern(at, c.got));
    EXPECT_EQ(std::make_pair(gReads - reads, gSeeks - seeks), std::make_pair(c.reads, c.seeks));
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
  ASSERT_TRUE(t.Open(size, 3));
  uint32_t fills = 0;
  for (uint32_t at = 0, n; at < size; at += n) {
    fills += t.FillAll(), n = std::min<uint32_t>(t.r->Used, 50001);
    ASSERT_NE(n, 0u);
    ASSERT_EQ(t.Frame(kGo, n), Pattern(at, n)) << at;
  }
  EXPECT_EQ(std::make_pair(gReads.load(), gSeeks.load()), std::make_pair(fills, 0u));
}

// A direct read seeks only when it must and delivery goes on after it; a suspended reader does not
// fill and a fill never waits for the lock; a failing device stops the reader with a read error.
TEST_F(StreamTest, DirectReadsSuspensionBusyLocksAndFailingDevices) {
  TestReader t;
  ASSERT_TRUE(t.Open(4 * kChunk, 2));
  EXPECT_EQ(t.r->StreamBackground(t.r, STREAM_BG_SUSPEND | STREAM_BG_WAIT), 1u);
  EXPECT_EQ(t.Fill(), 0u);
  EXPECT_EQ(t.r->StreamBackground(t.r, STREAM_BG_RESUME | STREAM_BG_WAIT), 0u);
  EXPECT_EQ(std::make_pair(t.r->Used, gReads.load()), std::make_pair(kChunk, 1u));
  t.FillAll();
  std::vector<uint8_t> buf(100);
  t.r->StreamReadAt(t.r, kChunk, buf.data(), 100);
  EXPECT_EQ(t.r->StreamReadAt(t.r, kGo, buf.data(), 100), 100u);
  EXPECT_TRUE(buf == Pattern(kChunk + 100, 100) && gSeeks == 1);
  t.FillAll();
  EXPECT_EQ(t.Frame(kGo, 50), Pattern(kChunk + 200, 50));
  t.r->ReaderTryLock = [](StreamReader*) { return 0; };
  EXPECT_EQ(t.Fill(), STREAM_FILL_BUSY);
  TestReader failing;
  ASSERT_TRUE(failing.Open(8 * kChunk, 4));
  gFailAt = 2 * kChunk + 1000;
  EXPECT_EQ(failing.FillAll(), 3u);
  EXPECT_EQ(failing.r->ReadError, 1u);
  const uint32_t reads = gReads;  // and no more reads
  EXPECT_TRUE(failing.Fill() == 0 && failing.Frame(0, 10).empty() && gReads == reads);
}

// A filling thread (as the IO service runs it) against a consumer that mostly reads on, sometimes
// skips ahead and sometimes goes back, under the reader's real lock.
TEST_F(StreamTest, ConcurrentFillsAndFrameReadsDeliverExactBytes) {
  const uint32_t size = 64 * kChunk + 12345;
  TestReader t;
  ASSERT_TRUE(t.Open(size, 4));
  t.r->IoNode.NodeMutex = PlatformMutexCreate();
  StreamInstallLocks(t.r);
  std::atomic<bool> done{false};
  std::thread filler([&] { while (!done) t.Fill() == 0 ? PlatformSleepMs(0) : void(); });
  std::mt19937 random(12345);
  int mismatches = 0;
  for (uint32_t pos = 0, n; pos < size; pos += n) {
    const uint32_t pick = uint32_t(random() % 16), step = uint32_t(random() % 200000);
    const uint32_t at = pick == 0 ? pos + step : pick == 1 && pos > step ? pos - step : pos;
    if (at >= size) break;
    n = std::min<uint32_t>(1 + uint32_t(random() % 90000), size - at);
    mismatches += t.Frame(at == pos ? kGo : at, n) != Pattern(at, n);
    pos = at;
  }
  done = true, filler.join();
  EXPECT_EQ(std::make_pair(mismatches, t.r->ReadError), std::make_pair(0, 0u));
  PlatformMutexDestroy(std::exchange(t.r->IoNode.NodeMutex, nullptr));
}

TEST(ReadAhead, NeedIsUrgentBelowHalfAndOncePerPassAbove) {
  const struct { uint32_t used, target, served, suspended, error, need; } cases[] = {
      // percentages are (used + 1) * 100 / (target + 1); the pass is 5
      {99999, 999999, 5, 0, 0, 0xFFFFFFF5u}, {0, 999999, 5, 0, 0, 0xFFFFFFFFu},
      {499998, 999999, 5, 0, 0, 0xFFFFFFCEu}, {499999, 999999, 3, 0, 0, 0x7FFFFFFDu},
      {499999, 999999, 5, 0, 0, 0},           {0, 0, 4, 0, 0, 0x7FFFFFFCu},
      {0, 999999, 3, 1, 0, 0},                {0, 999999, 3, 0, 1, 0}};
  for (const auto& c : cases) {
    StreamReader r{};
    r.Used = c.used, r.FillTarget = c.target, r.Suspended = c.suspended, r.ReadError = c.error;
    EXPECT_EQ(StreamReadAheadNeed(&r, c.served, 5), c.need) << c.used << " of " << c.target;
  }
  // A ring that cannot fill counts as full: its urgency ends and the pass can end.
  StreamReader r{};
  r.FillTarget = 4 * kChunk;
  r.StreamFill = [](StreamReader*, uint32_t) { return 0u; };
  StreamReadAheadServe(&r, 7);
  EXPECT_EQ(StreamReadAheadNeed(&r, 7, 7), 0u);
}

// Rings at 10 %, 30 % and 60 % of their targets: one pass fills the emptiest first, the urgent
// ones up to half, and gives the other one chunk; the next pass gives each one chunk.
TEST_F(StreamTest, OnePassFillsTheNeediestFirstUpToHalfThenOneChunkEach) {
  static std::vector<StreamReader*> order;
  struct Client { TestReader t; uint32_t served = 0; } clients[3];
  const ServiceNeedFunc need = [](ServiceNode* n, uint32_t pass) {
    const Client* c = static_cast<Client*>(n->Owner);
    return StreamReadAheadNeed(c->t.r, c->served, pass);
  };
  const ServiceServeFunc serve = [](ServiceNode* n, uint32_t pass) {
    Client* c = static_cast<Client*>(n->Owner);
    order.push_back(c->t.r), StreamReadAheadServe(c->t.r, pass), c->served = pass;
  };
  ServiceThread service{};
  service.State = ServiceRunning, service.Pass = 1;
  for (uint32_t i = 0; i < 3; ++i) {
    StreamReader* r = clients[i].t.r;
    ASSERT_TRUE(clients[i].t.Open(32 * kChunk, 10));
    for (uint32_t k = 0; k < 3 * i + !i; ++k) clients[i].t.Fill();  // 1, 3 and 6 chunks
    r->FillTarget = 10 * kChunk - 2;  // half is exactly five chunks
    r->IoNode = {service.Clients, PlatformMutexCreate(), nullptr, 0, need, serve, &clients[i]};
    service.Clients = &r->IoNode;
  }
  ServicePass(&service);
  ASSERT_GE(order.size(), 3u);
  EXPECT_EQ(order.front(), clients[0].t.r);
  EXPECT_EQ(order.back(), clients[2].t.r);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(clients[i].t.r->Used, (5 + i / 2 * 2) * kChunk);
  order.clear(), ServicePass(&service);
  EXPECT_EQ(order.size(), 3u);
  for (Client& c : clients) PlatformMutexDestroy(c.t.r->IoNode.NodeMutex);
}

}  // namespace
