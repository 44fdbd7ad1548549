// Service threads with fake clients: the pool, leaving while a serve runs, passing over a busy
// client (the read-ahead's order over real readers is tested with the stream reader).
#include <gtest/gtest.h>

#include <atomic>

#include "io/service.h"
#include "platform/platform.h"

namespace {

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
  int Join(ServiceThread** s, int32_t hz = 60) { return ServiceJoin(s, hz, &Node, Need, Serve); }
  bool ServedAgain() {  // twice more, within 20 s
    const uint32_t from = Served;
    for (int ms = 0; Served < from + 2 && ms < 20000; ++ms) PlatformSleepMs(1);
    return Served >= from + 2;
  }
};

TEST(Service, PoolHoldsEightThreadsAndAFullPoolFailsAJoinCleanly) {
  ServiceThread* threads[kServicePoolSize];
  for (ServiceThread*& t : threads) ASSERT_NE(t = ServiceCreate(60), nullptr);
  FakeClient c;
  ServiceThread* none = nullptr;
  EXPECT_TRUE(c.Join(&none) == 0 && none == nullptr && c.Node.NodeMutex == nullptr);
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
  PlatformMutexLock(busy.Node.NodeMutex);  // its movie is busy
  const uint32_t busyServed = busy.Served;
  EXPECT_TRUE(slow.ServedAgain() && busy.Served == busyServed);
  PlatformMutexUnlock(busy.Node.NodeMutex);
  EXPECT_TRUE(busy.ServedAgain());
  for (int ms = 0; !slow.InServe && ms < 20000; ++ms) PlatformSleepMs(1);
  ASSERT_EQ(slow.InServe, 1u);
  EXPECT_TRUE(ServiceUnregister(io, &slow.Node, nullptr, nullptr) == 0 && slow.InServe == 0);
  const uint32_t slowServed = slow.Served;
  EXPECT_TRUE(busy.ServedAgain() && slow.Served == slowServed);
  EXPECT_EQ(ServiceUnregister(io, &busy.Node, sound, &pump.Node),
            kServiceStoppedIo | kServiceStoppedSound);
}

}  // namespace
