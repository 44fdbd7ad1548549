// Service threads with fake clients (the pool, leaving while a serve runs, passing over a busy
// client) and the read-ahead's need and order over real readers.
#include <chrono>
#include <thread>

#include "io/read_ahead.h"
#include "io/service.h"
#include "tests/io/io_test_util.h"

namespace {

using namespace io_test;

template <typename Done>
bool Eventually(Done done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done() && std::chrono::steady_clock::now() < limit) PlatformSleepMs(1);
  return done();
}

// A client that wants serving once per pass; its serve may take a while.
struct FakeClient {
  ServiceNode Node{nullptr, nullptr, nullptr, 0, nullptr, nullptr, this};
  std::atomic<uint32_t> Served{0}, LastPass{0}, InServe{0}, ServeMs{0};
  static uint32_t Need(ServiceNode* n, uint32_t pass) {
    return static_cast<FakeClient*>(n->Owner)->LastPass != pass;
  }
  static void Serve(ServiceNode* n, uint32_t pass) {
    FakeClient* c = static_cast<FakeClient*>(n->Owner);
    c->InServe = 1, PlatformSleepMs(c->ServeMs), c->LastPass = pass, ++c->Served, c->InServe = 0;
  }
  int Join(ServiceThread** service, int32_t rate = 60) {
    return ServiceJoin(service, rate, &Node, Need, Serve);
  }
  bool ServedAgain() {
    const uint32_t from = Served;
    return Eventually([&] { return Served >= from + 2; });
  }
};

TEST(Service, PoolHoldsEightThreadsAndAFullPoolFailsAJoinCleanly) {
  ServiceThread* threads[kServicePoolSize];
  for (ServiceThread*& t : threads) ASSERT_NE(t = ServiceCreate(60), nullptr);
  FakeClient c;
  ServiceThread* none = nullptr;
  EXPECT_EQ(c.Join(&none), 0);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(c.Node.NodeMutex, nullptr);
  ServiceStop(threads[3]);
  EXPECT_NE(threads[3] = ServiceCreate(-13), nullptr);
  for (ServiceThread* t : threads) ServiceStop(t);
}

// A busy client (its movie holds its mutex for many periods) is passed over, the others are still
// served; leaving waits for a running serve; the last clients stop both threads.
TEST(Service, BusyClientsArePassedOverAndLeavingWaitsForARunningServe) {
  ServiceThread *io = nullptr, *sound = nullptr;
  FakeClient slow, busy, pump;
  slow.ServeMs = 30;
  ASSERT_TRUE(slow.Join(&io) && busy.Join(&io) && pump.Join(&sound, -13));
  std::atomic<bool> holding{false}, release{false};
  std::thread holder([&] {
    PlatformMutexLock(busy.Node.NodeMutex);
    holding = true;
    while (!release) PlatformSleepMs(1);
    PlatformMutexUnlock(busy.Node.NodeMutex);
  });
  ASSERT_TRUE(Eventually([&] { return holding.load(); }));
  const uint32_t busyServed = busy.Served;
  EXPECT_TRUE(slow.ServedAgain());
  EXPECT_EQ(busy.Served, busyServed);
  release = true;
  holder.join();
  EXPECT_TRUE(busy.ServedAgain());
  ASSERT_TRUE(Eventually([&] { return slow.InServe == 1; }));
  EXPECT_EQ(ServiceUnregister(io, &slow.Node, nullptr, nullptr), 0u);
  EXPECT_EQ(slow.InServe, 0u);
  const uint32_t slowServed = slow.Served;
  EXPECT_TRUE(busy.ServedAgain());
  EXPECT_EQ(slow.Served, slowServed);
  EXPECT_EQ(ServiceUnregister(io, &busy.Node, sound, &pump.Node),
            kServiceStoppedIo | kServiceStoppedSound);
}

TEST(ReadAhead, NeedIsUrgentBelowHalfAndOncePerPassAbove) {
  struct Case {
    uint32_t used, target, served, suspended, error, need;
  } cases[] = {  // percentages are (used + 1) * 100 / (target + 1); the pass is 5
      {99999, 999999, 5, 0, 0, 0xFFFFFFF5u}, {0, 999999, 5, 0, 0, 0xFFFFFFFFu},
      {499998, 999999, 5, 0, 0, 0xFFFFFFCEu}, {499999, 999999, 3, 0, 0, 0x7FFFFFFDu},
      {499999, 999999, 5, 0, 0, 0},           {0, 0, 4, 0, 0, 0x7FFFFFFCu},
      {0, 999999, 3, 1, 0, 0},                {0, 999999, 3, 0, 1, 0}};
  for (const Case& c : cases) {
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
TEST(ReadAhead, OnePassFillsTheNeediestFirstUpToHalfThenOneChunkEach) {
  static std::vector<StreamReader*> order;
  struct Client {
    TestReader t;
    uint32_t served = 0;
    static Client* Of(ServiceNode* n) { return static_cast<Client*>(n->Owner); }
    static uint32_t Need(ServiceNode* n, uint32_t pass) {
      return StreamReadAheadNeed(Of(n)->t.r, Of(n)->served, pass);
    }
    static void Serve(ServiceNode* n, uint32_t pass) {
      order.push_back(Of(n)->t.r), StreamReadAheadServe(Of(n)->t.r, pass), Of(n)->served = pass;
    }
  } clients[3];
  ServiceThread service{};
  service.State = ServiceRunning, service.Pass = 1;
  for (uint32_t i = 0; i < 3; ++i) {
    StreamReader* r = clients[i].t.r;
    ASSERT_TRUE(clients[i].t.Open(PatternFile(32 * kChunk), 10, 32 * kChunk));
    for (uint32_t k = 0; k < 3 * i + !i; ++k) clients[i].t.Fill();  // 1, 3 and 6 chunks
    r->FillTarget = 10 * kChunk - 2;  // half is exactly five chunks
    r->IoNode = {service.Clients, PlatformMutexCreate(), nullptr, 0, Client::Need, Client::Serve,
                 &clients[i]};
    service.Clients = &r->IoNode;
  }
  ServicePass(&service);
  ASSERT_FALSE(order.empty());
  EXPECT_EQ(order.front(), clients[0].t.r);
  EXPECT_EQ(order.back(), clients[2].t.r);
  for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(clients[i].t.r->Used, (5 + i / 2 * 2) * kChunk);
  order.clear();
  ServicePass(&service);
  EXPECT_EQ(order.size(), 3u);
  for (Client& c : clients) PlatformMutexDestroy(c.t.r->IoNode.NodeMutex);
}

}  // namespace
