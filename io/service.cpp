// The pool of service threads, their passes, and joining and leaving them.
//
// Controllers (open and close, on the caller's threads) change a thread's client list without
// stopping it: a node is linked or unlinked with one atomic pointer store, so a pass sees the
// list either with or without it. After unlinking, the controller holds the thread once (takes
// its Mutex, which every pass keeps) so that no pass is still using the node when it returns.
#include "io/service.h"

#include <atomic>
#include <mutex>

#include "platform/atomic.h"
#include "platform/platform.h"
#include "vexa/movie.h"

ServiceThread* ServiceIo = nullptr;
ServiceThread* ServiceSound = nullptr;

namespace {

// Guards the pool, the two process-wide pointers and every client-list change.
std::recursive_mutex gServiceLock;
ServiceThread gPool[kServicePoolSize];
bool gPoolInUse[kServicePoolSize];

uint32_t ServiceThreadProc(void* arg) {
  ServiceThread* s = static_cast<ServiceThread*>(arg);
  for (;;) {
    if (PlatformEventWait(s->WakeEvent, s->PeriodMs)) return 0;
    PlatformMutexLock(s->Mutex);
    const uint32_t state = PlatformShared(s->State).load();
    if (state == ServiceQuitting) {
      PlatformMutexUnlock(s->Mutex);
      return 0;
    }
    if (state == ServiceRunning && PlatformShared(s->Clients).load(std::memory_order_acquire)) {
      ServicePass(s);
    }
    PlatformMutexUnlock(s->Mutex);
  }
}

// Asks every client for its need and links the needy ones by SortNext, neediest first; a
// client goes before those already listed with the same need.
ServiceNode* ServiceSortByNeed(ServiceThread* s) {
  ServiceNode* head = nullptr;
  for (ServiceNode* node = PlatformShared(s->Clients).load(std::memory_order_acquire);
       node != nullptr; node = PlatformShared(node->Next).load(std::memory_order_acquire)) {
    const uint32_t need = node->NeedFn != nullptr ? node->NeedFn(node, s->Pass) : 0;
    node->Need = need;
    if (need == 0) continue;
    ServiceNode** at = &head;
    while (*at != nullptr && (*at)->Need > need) at = &(*at)->SortNext;
    node->SortNext = *at;
    *at = node;
  }
  return head;
}

void ServiceFreeSlot(ServiceThread* s) {
  for (uint32_t i = 0; i < kServicePoolSize; ++i) {
    if (&gPool[i] == s) gPoolInUse[i] = false;
  }
}

void ServiceDestroyObjects(ServiceThread* s) {
  if (s->Mutex != nullptr) PlatformMutexDestroy(s->Mutex);
  if (s->WakeEvent != nullptr) PlatformEventDestroy(s->WakeEvent);
  s->Mutex = nullptr;
  s->WakeEvent = nullptr;
}

// First half of a stop: tells the thread to end and lets it run to its end.
void ServiceSignalStop(ServiceThread* s) {
  PlatformEventSignal(s->WakeEvent);
  const uint32_t was = PlatformShared(s->State).exchange(ServiceQuitting);
  PlatformThreadSetPriority(s->Thread, PlatformPriorityTimeCritical);
  if (was == ServiceCreated) PlatformThreadResume(s->Thread);
}

// Second half: once the thread has ended (or is known to end), releases everything.
void ServiceFinishStop(ServiceThread* s) {
  PlatformThreadJoin(s->Thread, PlatformWaitForever);
  PlatformThreadClose(s->Thread);
  s->Thread = nullptr;
  ServiceDestroyObjects(s);
  if (ServiceIo == s) ServiceIo = nullptr;
  if (ServiceSound == s) ServiceSound = nullptr;
  ServiceFreeSlot(s);
  PlatformTimerPeriodEnd();
}

bool ServiceHasNode(ServiceThread* s, const ServiceNode* node) {
  for (ServiceNode* n = PlatformShared(s->Clients).load(); n != nullptr;
       n = PlatformShared(n->Next).load()) {
    if (n == node) return true;
  }
  return false;
}

// Unlinks node from the client list; its Next stays valid for a pass that is standing on it.
bool ServiceUnlink(ServiceThread* s, ServiceNode* node) {
  for (ServiceNode** link = &s->Clients; *link != nullptr; link = &(*link)->Next) {
    if (*link == node) {
      PlatformShared(*link).store(node->Next, std::memory_order_release);
      return true;
    }
  }
  return false;
}

// Waits until every object is obtained (held threads' mutexes, stopping threads' ends), in
// whatever order they come.
void ServiceWaitAll(PlatformWaitable* objects, int count) {
  while (count > 0) {
    const int index = PlatformWaitAny(objects, count, PlatformWaitForever);
    if (index < 0 || index >= count) break;
    objects[index] = objects[count - 1];
    --count;
  }
  // Only a failing wait gets here with objects left: obtain them one by one.
  for (int i = 0; i < count; ++i) {
    if (objects[i].kind == PlatformWaitable::Thread) {
      PlatformThreadJoin(static_cast<PlatformThread*>(objects[i].object), PlatformWaitForever);
    } else {
      PlatformMutexLock(static_cast<PlatformMutex*>(objects[i].object));
    }
  }
}

void ServiceDestroyNodeMutex(ServiceNode* node) {
  PlatformMutex* mutex = PlatformShared(node->NodeMutex).exchange(nullptr);
  if (mutex != nullptr) PlatformMutexDestroy(mutex);
  node->SortNext = nullptr;
}

}  // namespace

ServiceThread* ServiceCreate(int32_t rate) {
  if (rate == 0) return nullptr;
  std::lock_guard<std::recursive_mutex> hold(gServiceLock);
  uint32_t slot = 0;
  while (slot < kServicePoolSize && gPoolInUse[slot]) ++slot;
  if (slot == kServicePoolSize) return nullptr;
  ServiceThread* s = &gPool[slot];
  *s = ServiceThread{};
  const int64_t perSecond = rate < 0 ? -int64_t{rate} : int64_t{rate};
  s->PeriodMs = perSecond >= 1000 ? 1u : static_cast<uint32_t>(1000 / perSecond);
  s->Pass = 1;
  s->Mutex = PlatformMutexCreate();
  s->WakeEvent = PlatformEventCreate();
  if (s->Mutex != nullptr && s->WakeEvent != nullptr) {
    s->Thread = PlatformThreadCreate(ServiceThreadProc, s, kServiceStackBytes, 1);
  }
  if (s->Thread == nullptr) {
    ServiceDestroyObjects(s);
    return nullptr;
  }
  if (rate < 0) PlatformThreadSetPriority(s->Thread, PlatformPriorityBelowNormal);
  PlatformTimerPeriodBegin();
  gPoolInUse[slot] = true;
  return s;
}

void ServicePass(ServiceThread* s) {
  ++s->Pass;
  const uint32_t start = MovieTimerMs();
  for (;;) {
    if (PlatformShared(s->State).load() != ServiceRunning) return;
    ServiceNode* list = ServiceSortByNeed(s);
    PlatformWaitable waits[kServiceWaitClients];
    ServiceNode* nodes[kServiceWaitClients];
    int count = 0;
    for (ServiceNode* node = list; node != nullptr && count < kServiceWaitClients;
         node = node->SortNext) {
      if (node->NodeMutex == nullptr) continue;
      waits[count] = PlatformWaitableMutex(node->NodeMutex);
      nodes[count++] = node;
    }
    if (count == 0) return;
    // A client whose mutex is busy (its movie is reading) is passed over for a millisecond.
    // Polling for it ends with the period, so that one client held for long does not keep
    // the pass from ending and the others from their next pass.
    const int index = PlatformWaitAny(waits, count, 1);
    if (index < 0 || index >= count) {
      if (MovieTimerMs() - start >= s->PeriodMs) return;
      continue;
    }
    ServiceNode* node = nodes[index];
    if (node->ServeFn != nullptr) node->ServeFn(node, s->Pass);
    PlatformMutexUnlock(node->NodeMutex);
  }
}

int ServiceJoin(ServiceThread** service, int32_t rate, ServiceNode* node, ServiceNeedFunc need,
                ServiceServeFunc serve) {
  if (service == nullptr || node == nullptr) return 0;
  std::lock_guard<std::recursive_mutex> hold(gServiceLock);
  if (*service != nullptr && ServiceHasNode(*service, node)) return 1;
  ServiceThread* s = *service;
  const bool created = s == nullptr;
  if (created) s = ServiceCreate(rate);
  if (s == nullptr) return 0;
  PlatformMutex* mutex = PlatformMutexCreate();
  if (mutex == nullptr) {
    if (created) ServiceStop(s);
    return 0;
  }
  *service = s;
  PlatformShared(node->NodeMutex).store(mutex, std::memory_order_release);
  node->NeedFn = need;
  node->ServeFn = serve;
  node->SortNext = nullptr;
  node->Need = 0;
  node->Next = s->Clients;
  PlatformShared(s->Clients).store(node, std::memory_order_release);
  ++s->NumClients;
  if (created) {
    PlatformShared(s->State).store(ServiceRunning);
    PlatformThreadResume(s->Thread);
  }
  return 1;
}

uint32_t ServiceUnregister(ServiceThread* ioService, ServiceNode* ioNode,
                           ServiceThread* soundService, ServiceNode* soundNode) {
  std::lock_guard<std::recursive_mutex> hold(gServiceLock);
  ServiceThread* lost[2] = {nullptr, nullptr};
  ServiceNode* removed[2] = {nullptr, nullptr};
  if (ioService != nullptr && ioNode != nullptr && ServiceUnlink(ioService, ioNode)) {
    lost[0] = ioService;
    removed[0] = ioNode;
    --ioService->NumClients;
  }
  if (soundService != nullptr && soundNode != nullptr && ServiceUnlink(soundService, soundNode)) {
    lost[1] = soundService;
    removed[1] = soundNode;
    --soundService->NumClients;
  }
  // Both nodes of one thread: deal with that thread once.
  ServiceThread* threads[2] = {lost[0], lost[1] != lost[0] ? lost[1] : nullptr};
  bool stopping[2] = {false, false};
  PlatformWaitable waits[2];
  int count = 0;
  for (int i = 0; i < 2; ++i) {
    ServiceThread* s = threads[i];
    if (s == nullptr) continue;
    stopping[i] = s->NumClients == 0;
    if (stopping[i]) {
      ServiceSignalStop(s);
      waits[count++] = PlatformWaitableThread(s->Thread);
    } else {
      PlatformShared(s->State).store(ServiceHolding);
      waits[count++] = PlatformWaitableMutex(s->Mutex);
    }
  }
  ServiceWaitAll(waits, count);
  for (int i = 0; i < 2; ++i) {
    ServiceThread* s = threads[i];
    if (s == nullptr) continue;
    if (stopping[i]) {
      ServiceFinishStop(s);
    } else {
      PlatformShared(s->State).store(ServiceRunning);
      PlatformMutexUnlock(s->Mutex);
    }
  }
  for (ServiceNode* node : removed) {
    if (node != nullptr) ServiceDestroyNodeMutex(node);
  }
  uint32_t result = 0;
  if (lost[0] != nullptr && (stopping[0] || (lost[0] == lost[1] && stopping[1]))) {
    result |= kServiceStoppedIo;
  }
  if (lost[1] != nullptr && (stopping[1] || (lost[1] == lost[0] && stopping[0]))) {
    result |= kServiceStoppedSound;
  }
  return result;
}

void ServiceStop(ServiceThread* service) {
  if (service == nullptr) return;
  std::lock_guard<std::recursive_mutex> hold(gServiceLock);
  ServiceSignalStop(service);
  ServiceFinishStop(service);
}

int ServiceJoinIo(ServiceNode* node, ServiceNeedFunc need, ServiceServeFunc serve) {
  return ServiceJoin(&ServiceIo, kIoServiceRate, node, need, serve);
}

int ServiceJoinSound(ServiceNode* node, ServiceNeedFunc need, ServiceServeFunc serve) {
  return ServiceJoin(&ServiceSound, kSoundServiceRate, node, need, serve);
}

void ServiceLeave(ServiceNode* ioNode, ServiceNode* soundNode) {
  std::lock_guard<std::recursive_mutex> hold(gServiceLock);
  // ServiceFinishStop clears ServiceIo and ServiceSound when it stops them.
  ServiceUnregister(ServiceIo, ioNode, ServiceSound, soundNode);
}
