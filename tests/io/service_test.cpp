// Service threads with fake clients: the pool limit, joining and sharing a thread, passing over
// a busy client, and leaving with the hold and stop choreography.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "io/service.h"
#include "platform/platform.h"

namespace {

using Clock = std::chrono::steady_clock;

// Waits for things that must happen soon; false after a generous limit.
template <typename Done>
bool Eventually(Done done) {
  const auto limit = Clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (Clock::now() > limit) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// A client that wants serving once per pass; its serve may take a while.
struct FakeClient {
  ServiceNode Node{};
  std::atomic<uint32_t> Served{0};
  std::atomic<uint32_t> LastPass{0};
  std::atomic<bool> InServe{false};
  uint32_t ServeMs = 0;
  uint32_t NeedValue = 1;

  FakeClient() { Node.Owner = this; }
  static FakeClient* Of(ServiceNode* node) { return static_cast<FakeClient*>(node->Owner); }
  static uint32_t Need(ServiceNode* node, uint32_t pass) {
    return Of(node)->LastPass.load() == pass ? 0 : Of(node)->NeedValue;
  }
  static void Serve(ServiceNode* node, uint32_t pass) {
    FakeClient* c = Of(node);
    c->InServe = true;
    if (c->ServeMs != 0) PlatformSleepMs(c->ServeMs);
    c->LastPass = pass;
    c->Served.fetch_add(1);
    c->InServe = false;
  }
  int Join(ServiceThread** service, int32_t rate = 60) {
    return ServiceJoin(service, rate, &Node, Need, Serve);
  }
  // Served at least `more` times from now on.
  bool ServedAgain(uint32_t more = 2) {
    const uint32_t from = Served.load();
    return Eventually([&] { return Served.load() >= from + more; });
  }
  // Not served any more (checked over a few periods).
  bool Left() {
    const uint32_t from = Served.load();
    PlatformSleepMs(60);
    return Served.load() == from && !InServe.load();
  }
};

TEST(ServiceCreate, PoolHoldsEightThreadsAndRefusesANinth) {
  ServiceThread* threads[kServicePoolSize];
  for (uint32_t i = 0; i < kServicePoolSize; ++i) {
    threads[i] = ServiceCreate(i % 2 ? 60 : -13);
    ASSERT_NE(threads[i], nullptr) << i;
    for (uint32_t j = 0; j < i; ++j) EXPECT_NE(threads[i], threads[j]);
  }
  EXPECT_EQ(threads[0]->PeriodMs, 76u);
  EXPECT_EQ(threads[1]->PeriodMs, 16u);
  EXPECT_EQ(threads[1]->State, ServiceCreated);
  EXPECT_EQ(threads[1]->Pass, 1u);
  EXPECT_EQ(threads[1]->NumClients, 0u);
  EXPECT_EQ(ServiceCreate(60), nullptr);
  // A full pool also makes joining fail cleanly.
  FakeClient c;
  ServiceThread* none = nullptr;
  EXPECT_EQ(c.Join(&none), 0);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(c.Node.NodeMutex, nullptr);
  // Stopping one frees its slot; threads that never ran stop too.
  ServiceStop(threads[3]);
  threads[3] = ServiceCreate(60);
  EXPECT_NE(threads[3], nullptr);
  for (ServiceThread* t : threads) ServiceStop(t);
  EXPECT_EQ(ServiceCreate(0), nullptr);
}

TEST(ServiceJoin, FirstClientStartsTheThreadAndGetsServed) {
  ServiceThread* service = nullptr;
  FakeClient a;
  ASSERT_EQ(a.Join(&service), 1);
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(service->State, ServiceRunning);
  EXPECT_EQ(service->NumClients, 1u);
  EXPECT_NE(a.Node.NodeMutex, nullptr);
  EXPECT_TRUE(a.ServedAgain(3));
  EXPECT_EQ(a.Join(&service), 1);  // joining twice changes nothing
  EXPECT_EQ(service->NumClients, 1u);
  EXPECT_EQ(ServiceUnregister(service, &a.Node, nullptr, nullptr), kServiceStoppedIo);
  EXPECT_EQ(a.Node.NodeMutex, nullptr);
  EXPECT_TRUE(a.Left());
}

TEST(ServiceJoin, SharedByTwoClientsAndStoppedWhenTheLastLeaves) {
  ServiceThread* service = nullptr;
  FakeClient a, b;
  ASSERT_EQ(a.Join(&service), 1);
  ServiceThread* first = service;
  ASSERT_EQ(b.Join(&service), 1);
  EXPECT_EQ(service, first);
  EXPECT_EQ(service->NumClients, 2u);
  EXPECT_TRUE(a.ServedAgain());
  EXPECT_TRUE(b.ServedAgain());

  EXPECT_EQ(ServiceUnregister(service, &a.Node, nullptr, nullptr), 0u);
  EXPECT_EQ(service->NumClients, 1u);
  EXPECT_EQ(service->State, ServiceRunning);
  EXPECT_TRUE(a.Left());
  EXPECT_TRUE(b.ServedAgain());

  EXPECT_EQ(ServiceUnregister(service, &b.Node, nullptr, nullptr), kServiceStoppedIo);
  EXPECT_TRUE(b.Left());
}

TEST(ServiceUnregister, ReturnsOnlyAfterARunningServeHasFinished) {
  ServiceThread* service = nullptr;
  FakeClient slow, other;
  slow.ServeMs = 30;
  ASSERT_EQ(slow.Join(&service), 1);
  ASSERT_EQ(other.Join(&service), 1);
  ASSERT_TRUE(Eventually([&] { return slow.InServe.load(); }));
  EXPECT_EQ(ServiceUnregister(service, &slow.Node, nullptr, nullptr), 0u);
  EXPECT_FALSE(slow.InServe.load());
  EXPECT_TRUE(slow.Left());
  EXPECT_EQ(ServiceUnregister(service, &other.Node, nullptr, nullptr), kServiceStoppedIo);
}

TEST(ServiceUnregister, NodeThatNeverJoinedLeavesTheThreadAlone) {
  ServiceThread* service = nullptr;
  FakeClient a, stranger;
  ASSERT_EQ(a.Join(&service), 1);
  EXPECT_EQ(ServiceUnregister(service, &stranger.Node, nullptr, nullptr), 0u);
  EXPECT_EQ(service->NumClients, 1u);
  EXPECT_TRUE(a.ServedAgain());
  EXPECT_EQ(ServiceUnregister(nullptr, nullptr, nullptr, nullptr), 0u);
  EXPECT_EQ(ServiceUnregister(service, &a.Node, nullptr, nullptr), kServiceStoppedIo);
}

TEST(ServiceUnregister, OneThreadStopsWhileTheOtherIsHeldAndKeepsRunning) {
  ServiceThread* io = nullptr;
  ServiceThread* sound = nullptr;
  FakeClient reader, pumpA, pumpB;
  ASSERT_EQ(reader.Join(&io), 1);
  ASSERT_EQ(pumpA.Join(&sound, -13), 1);
  ASSERT_EQ(pumpB.Join(&sound, -13), 1);
  EXPECT_NE(io, sound);
  EXPECT_TRUE(pumpA.ServedAgain());

  EXPECT_EQ(ServiceUnregister(io, &reader.Node, sound, &pumpA.Node), kServiceStoppedIo);
  EXPECT_TRUE(reader.Left());
  EXPECT_TRUE(pumpA.Left());
  EXPECT_EQ(sound->State, ServiceRunning);
  EXPECT_TRUE(pumpB.ServedAgain());
  EXPECT_EQ(ServiceUnregister(nullptr, nullptr, sound, &pumpB.Node), kServiceStoppedSound);
}

TEST(ServiceUnregister, BothThreadsStopTogether) {
  ServiceThread* io = nullptr;
  ServiceThread* sound = nullptr;
  FakeClient reader, pump;
  ASSERT_EQ(reader.Join(&io), 1);
  ASSERT_EQ(pump.Join(&sound, -13), 1);
  EXPECT_TRUE(reader.ServedAgain());
  EXPECT_TRUE(pump.ServedAgain());
  EXPECT_EQ(ServiceUnregister(io, &reader.Node, sound, &pump.Node),
            kServiceStoppedIo | kServiceStoppedSound);
  EXPECT_TRUE(reader.Left());
  EXPECT_TRUE(pump.Left());
  // All slots are free again.
  ServiceThread* threads[kServicePoolSize];
  for (ServiceThread*& t : threads) EXPECT_NE(t = ServiceCreate(60), nullptr);
  for (ServiceThread* t : threads) ServiceStop(t);
}

// The neediest client's mutex is held by its movie for many periods: the others are still served
// at every pass.
TEST(ServicePass, ClientWithABusyMutexIsPassedOverNotWaitedFor) {
  ServiceThread* service = nullptr;
  FakeClient busy, free;
  busy.NeedValue = 2;
  ASSERT_EQ(busy.Join(&service), 1);
  ASSERT_EQ(free.Join(&service), 1);
  std::atomic<bool> release{false};
  std::atomic<bool> holding{false};
  // Another thread (the movie reading a frame) holds the busy client's mutex.
  std::thread holder([&] {
    PlatformMutexLock(busy.Node.NodeMutex);
    holding = true;
    while (!release.load()) PlatformSleepMs(1);
    PlatformMutexUnlock(busy.Node.NodeMutex);
  });
  ASSERT_TRUE(Eventually([&] { return holding.load(); }));
  const uint32_t busyServed = busy.Served.load();
  EXPECT_TRUE(free.ServedAgain(5));  // in pass after pass
  EXPECT_EQ(busy.Served.load(), busyServed);
  release = true;
  holder.join();
  EXPECT_TRUE(busy.ServedAgain());
  EXPECT_EQ(ServiceUnregister(service, &busy.Node, nullptr, nullptr), 0u);
  EXPECT_EQ(ServiceUnregister(service, &free.Node, nullptr, nullptr), kServiceStoppedIo);
}

}  // namespace
