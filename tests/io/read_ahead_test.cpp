// Read-ahead on the IO service: the need of a movie's ring, the order of one pass over several
// movies, the lock operations, and movies joining and leaving the process-wide IoService.
#include <algorithm>
#include <memory>

#include "io/read_ahead.h"
#include "io/service.h"
#include "tests/io/io_test_util.h"

namespace {

using namespace io_test;

// A movie record with an open reader, as the core's open leaves it.
struct TestMovie {
  std::unique_ptr<Movie> Record = std::make_unique<Movie>();
  std::vector<uint8_t> Buffer;
  StreamReader* Reader() { return &Record->Reader; }

  bool Open(const std::string& path, uint32_t ringChunks, uint32_t fileLength) {
    StreamReader* r = Reader();
    if (!StreamOpenFile(r, path.c_str(), 0)) return false;
    r->Owner = Record.get();
    r->IoNode.Owner = Record.get();
    const uint32_t size = r->StreamBufferSize(r, ringChunks * kChunk);
    Buffer.assign(size, 0);
    r->StreamSetBuffer(r, Buffer.data(), size, fileLength, 0);
    return true;
  }
  void Fill(uint32_t chunks) {
    for (uint32_t i = 0; i < chunks; ++i) ASSERT_EQ(Reader()->StreamFill(Reader(), 0), kChunk);
  }
  uint32_t Need(uint32_t pass) { return ReadAheadNeed(&Reader()->IoNode, pass); }
  std::vector<uint8_t> Frame(uint32_t offset, uint32_t size) {
    std::vector<uint8_t> out(size);
    out.resize(Reader()->StreamReadFrame(Reader(), 0, offset, out.data(), size));
    return out;
  }
  ~TestMovie() {
    ServiceLeaveMovie(Record.get());
    if (Reader()->StreamClose != nullptr) Reader()->StreamClose(Reader());
  }
};

class ReadAheadTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gFile = MakePatternFile("readahead.bin", 32 * kChunk); }
  static std::string gFile;
};
std::string ReadAheadTest::gFile;

TEST_F(ReadAheadTest, NeedIsUrgentBelowHalfAndOncePerPassAbove) {
  TestMovie m;
  ASSERT_TRUE(m.Open(gFile, 10, 32 * kChunk));
  StreamReader* r = m.Reader();
  r->FillTarget = 1000000 - 1;  // round percentages: (Used + 1) * 100 / 1,000,000
  r->Used = 100000 - 1;
  EXPECT_EQ(m.Need(5), 0xFFFFFFF5u);
  r->Used = 300000 - 1;
  EXPECT_EQ(m.Need(5), 0xFFFFFFE1u);
  r->Used = 0;
  EXPECT_EQ(m.Need(5), 0xFFFFFFFFu);  // empty: the most urgent of all
  r->Used = 600000 - 1;
  m.Record->IoServiced = 3;
  EXPECT_EQ(m.Need(5), 0x80000000u - 3);
  m.Record->IoServiced = 5;
  EXPECT_EQ(m.Need(5), 0u);
  r->Used = 0;
  r->FillTarget = 0;  // nothing left to read: full
  EXPECT_EQ(m.Need(5), 0u);
  EXPECT_EQ(m.Need(6), 0x80000000u - 5);
  r->Suspended = 1;
  EXPECT_EQ(m.Need(6), 0u);
  r->Suspended = 0;
  r->ReadError = 1;
  EXPECT_EQ(m.Need(6), 0u);
}

// Movies whose rings stand at 10 %, 30 % and 60 % of their targets: the emptiest is filled
// first, the two urgent ones up to half, and the 60 % one gets one chunk.
TEST_F(ReadAheadTest, OnePassFillsTheNeediestFirstUpToHalfThenOneChunkEach) {
  TestMovie movies[3];
  const uint32_t chunks[3] = {1, 3, 6};
  ServiceThread service{};
  service.State = ServiceRunning;
  service.Pass = 1;
  static std::vector<ServiceNode*> order;  // the nodes served, in order
  order.clear();
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(movies[i].Open(gFile, 10, 32 * kChunk));
    movies[i].Fill(chunks[i]);
    StreamReader* r = movies[i].Reader();
    r->FillTarget = 10 * kChunk - 2;  // half is exactly five chunks
    ServiceNode* node = &r->IoNode;
    node->NodeMutex = PlatformMutexCreate();
    node->NeedFn = ReadAheadNeed;
    node->ServeFn = [](ServiceNode* n, uint32_t pass) {
      order.push_back(n);
      ReadAheadServe(n, pass);
    };
    node->Next = service.Clients;
    service.Clients = node;
  }
  ServicePass(&service);
  ServiceNode* nodes[3];
  for (int i = 0; i < 3; ++i) nodes[i] = &movies[i].Reader()->IoNode;
  ASSERT_FALSE(order.empty());
  EXPECT_EQ(order.front(), nodes[0]);
  EXPECT_EQ(order.back(), nodes[2]);
  EXPECT_EQ(std::count(order.begin(), order.end(), nodes[0]), 4);
  EXPECT_EQ(std::count(order.begin(), order.end(), nodes[1]), 2);
  EXPECT_EQ(std::count(order.begin(), order.end(), nodes[2]), 1);
  EXPECT_EQ(movies[0].Reader()->Used, 5 * kChunk);
  EXPECT_EQ(movies[1].Reader()->Used, 5 * kChunk);
  EXPECT_EQ(movies[2].Reader()->Used, 7 * kChunk);
  for (TestMovie& m : movies) EXPECT_EQ(m.Record->IoServiced, 2u);

  // The next pass: nobody is urgent, each gets one chunk.
  order.clear();
  ServicePass(&service);
  EXPECT_EQ(order.size(), 3u);
  EXPECT_EQ(movies[2].Reader()->Used, 8 * kChunk);
  for (TestMovie& m : movies) {
    PlatformMutexDestroy(m.Reader()->IoNode.NodeMutex);
    m.Reader()->IoNode.NodeMutex = nullptr;
  }
}

TEST_F(ReadAheadTest, ServingAnUnfillableRingEndsThePass) {
  // A reader whose fill never makes progress must not keep a pass going for ever.
  TestMovie m;
  ASSERT_TRUE(m.Open(gFile, 4, 32 * kChunk));
  StreamReader* r = m.Reader();
  r->StreamFill = [](StreamReader*, uint32_t) { return 0u; };
  ServiceThread service{};
  service.State = ServiceRunning;
  service.Pass = 1;
  ServiceNode* node = &r->IoNode;
  node->NodeMutex = PlatformMutexCreate();
  node->NeedFn = ReadAheadNeed;
  node->ServeFn = ReadAheadServe;
  service.Clients = node;
  ServicePass(&service);
  EXPECT_EQ(m.Record->IoServiced, 2u);
  EXPECT_EQ(r->FillTarget, r->Used);
  PlatformMutexDestroy(node->NodeMutex);
  node->NodeMutex = nullptr;
}

TEST_F(ReadAheadTest, LockOperationsWithoutAMutexDoNothing) {
  TestMovie m;
  ASSERT_TRUE(m.Open(gFile, 2, 32 * kChunk));
  MovieInstallReaderLocks(m.Record.get());
  StreamReader* r = m.Reader();
  EXPECT_EQ(r->ReaderLock(r), 1);
  EXPECT_EQ(r->ReaderTryLock(r), 1);
  r->ReaderUnlock(r);
  r->ReaderYield(r);
  EXPECT_EQ(r->StreamFill(r, 0), kChunk);
  EXPECT_EQ(m.Frame(0, 1000), Pattern(0, 1000));
}

TEST_F(ReadAheadTest, LockOperationsUseTheIoMutex) {
  TestMovie m;
  ASSERT_TRUE(m.Open(gFile, 2, 32 * kChunk));
  ASSERT_EQ(MovieJoinIoService(m.Record.get()), 1);
  StreamReader* r = m.Reader();
  ASSERT_NE(r->IoNode.NodeMutex, nullptr);
  EXPECT_EQ(r->ReaderLock(r), 1);
  std::thread other([&] {
    EXPECT_EQ(r->ReaderTryLock(r), 0);
    EXPECT_EQ(r->StreamFill(r, 0), STREAM_FILL_BUSY);  // a fill never waits for the lock
  });
  other.join();
  EXPECT_EQ(r->ReaderTryLock(r), 1);  // recursive for its holder
  r->ReaderUnlock(r);
  r->ReaderUnlock(r);
  std::thread again([&] {
    EXPECT_EQ(r->ReaderTryLock(r), 1);
    r->ReaderUnlock(r);
  });
  again.join();
}

TEST_F(ReadAheadTest, IoServiceFillsWhileTheMovieReadsAndStopsWithTheLastMovie) {
  TestMovie a, b;
  ASSERT_TRUE(a.Open(gFile, 8, 32 * kChunk));
  ASSERT_TRUE(b.Open(gFile, 4, 32 * kChunk));
  ASSERT_EQ(IoService, nullptr);
  ASSERT_EQ(MovieJoinIoService(a.Record.get()), 1);
  ServiceThread* shared = IoService;
  ASSERT_NE(shared, nullptr);
  ASSERT_EQ(MovieJoinIoService(b.Record.get()), 1);
  EXPECT_EQ(IoService, shared);
  EXPECT_EQ(shared->NumClients, 2u);

  // The thread alone fills both rings.
  StreamReader* ra = a.Reader();
  StreamReader* rb = b.Reader();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((StreamShared(ra->Used).load() < 8 * kChunk ||
          StreamShared(rb->Used).load() < 4 * kChunk) &&
         std::chrono::steady_clock::now() < deadline) {
    PlatformSleepMs(1);
  }
  EXPECT_EQ(StreamShared(ra->Used).load(), 8 * kChunk);
  EXPECT_EQ(StreamShared(rb->Used).load(), 4 * kChunk);

  // Reading the whole movie while the thread keeps up.
  std::vector<uint8_t> all;
  while (all.size() < 32 * kChunk) {
    const uint32_t left = 32 * kChunk - static_cast<uint32_t>(all.size());
    std::vector<uint8_t> frame = a.Frame(STREAM_CONTINUE, std::min<uint32_t>(left, 70001));
    ASSERT_FALSE(frame.empty());
    all.insert(all.end(), frame.begin(), frame.end());
  }
  EXPECT_EQ(all, Pattern(0, 32 * kChunk));
  EXPECT_EQ(ra->ReadError, 0u);

  ServiceLeaveMovie(a.Record.get());
  EXPECT_EQ(IoService, shared);
  EXPECT_EQ(ra->IoNode.NodeMutex, nullptr);
  EXPECT_EQ(shared->NumClients, 1u);
  ServiceLeaveMovie(b.Record.get());
  EXPECT_EQ(IoService, nullptr);
  EXPECT_EQ(rb->IoNode.NodeMutex, nullptr);
  // Without the thread the reader still works; its lock operations now do nothing.
  EXPECT_EQ(b.Frame(STREAM_CONTINUE, 1000), Pattern(0, 1000));
}

TEST_F(ReadAheadTest, WithoutAFreeThreadTheMovieStreamsFromTheForeground) {
  ServiceThread* pool[kServicePoolSize];
  for (ServiceThread*& t : pool) ASSERT_NE(t = ServiceCreate(60), nullptr);
  TestMovie m;
  ASSERT_TRUE(m.Open(gFile, 4, 32 * kChunk));
  EXPECT_EQ(MovieJoinIoService(m.Record.get()), 0);
  EXPECT_EQ(IoService, nullptr);
  StreamReader* r = m.Reader();
  EXPECT_EQ(r->IoNode.NodeMutex, nullptr);
  EXPECT_NE(r->ReaderLock, nullptr);
  EXPECT_EQ(r->StreamFill(r, 0), kChunk);
  EXPECT_EQ(m.Frame(0, 200000), Pattern(0, 200000));
  for (ServiceThread* t : pool) ServiceStop(t);
}

}  // namespace
