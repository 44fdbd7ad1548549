// Service threads with fake clients: the pool, leaving while a serve runs, passing over a busy
// client (the read-ahead's order over real readers is tested with the stream reader).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "io/service.h"
#include "platform/platform.h"

namespace {

template <typename Done>
bool Eventually(Done done) {  // within 20 s
  for (int ms = 0; !done() && ms < 20000; ++ms) PlatformSleepMs(1);
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
  int Join(ServiceThread** s, int32_t rate = 60) { return ServiceJoin(s, rate, &Node, Need, Serve); }
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
  EXPECT_TRUE(none == nullptr && c.Node.NodeMutex == nullptr);
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
    PlatformMutexLock(busy.Node.NodeMutex), holding = true;
    while (!release) PlatformSleepMs(1);
    PlatformMutexUnlock(busy.Node.NodeMutex);
  });
  ASSERT_TRUE(Eventually([&] { return holding.load(); }));
  const uint32_t busyServed = busy.Served;
  EXPECT_TRUE(slow.ServedAgain());
  EXPECT_EQ(busy.Served, busyServed);
  release = true, holder.join();
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

}  // namespace
