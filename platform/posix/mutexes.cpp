// Recursive mutexes (see sync.h for the scheme). A thread that ends while owning mutexes leaves
// them free, as an abandoned mutex on Windows counts as obtained by its next waiter.
#include <cstdint>
#include <new>

#include "platform/platform.h"
#include "platform/posix/sync.h"

struct PlatformMutex {
  uint32_t owner = 0;             // PlatformThreadCurrentId of the owner; 0 when free
  uint32_t depth = 0;             // how many times the owner holds it
  PlatformMutex* prev = nullptr;  // every live mutex, for the abandonment scan
  PlatformMutex* next = nullptr;
};

namespace {

using namespace platform_posix;

PlatformMutex* gAllMutexes = nullptr;  // guarded by Sync().lock

// How many mutexes the calling thread owns. A thread that ends owning some frees them here; threads
// that own none never scan.
struct Holdings {
  uint32_t count = 0;
  Holdings() = default;
  Holdings(const Holdings&) = delete;
  Holdings& operator=(const Holdings&) = delete;
  ~Holdings() { MutexReleaseAbandoned(); }
};
thread_local Holdings tHoldings;

}  // namespace

namespace platform_posix {

bool MutexTryObtainLocked(PlatformMutex* m) {
  const uint32_t self = PlatformThreadCurrentId();
  if (m->owner == 0) {
    m->owner = self;
    m->depth = 1;
    ++tHoldings.count;
    return true;
  }
  if (m->owner != self) return false;
  ++m->depth;
  return true;
}

void MutexReleaseAbandoned() {
  if (tHoldings.count == 0) return;
  SyncState& state = Sync();
  std::lock_guard<std::mutex> lock(state.lock);
  const uint32_t self = PlatformThreadCurrentId();
  for (PlatformMutex* m = gAllMutexes; m != nullptr; m = m->next) {
    if (m->owner == self) {
      m->owner = 0;
      m->depth = 0;
    }
  }
  tHoldings.count = 0;
  WakeAll(state);
}

}  // namespace platform_posix

PlatformMutex* PlatformMutexCreate() {
  auto* m = new (std::nothrow) PlatformMutex;
  if (m == nullptr) return nullptr;
  std::lock_guard<std::mutex> lock(Sync().lock);
  m->next = gAllMutexes;
  if (gAllMutexes != nullptr) gAllMutexes->prev = m;
  gAllMutexes = m;
  return m;
}

void PlatformMutexDestroy(PlatformMutex* m) {
  if (m == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(Sync().lock);
    if (m->prev != nullptr) m->prev->next = m->next;
    if (m->next != nullptr) m->next->prev = m->prev;
    if (gAllMutexes == m) gAllMutexes = m->next;
    if (m->owner == PlatformThreadCurrentId()) --tHoldings.count;
  }
  delete m;
}

void PlatformMutexLock(PlatformMutex* m) {
  const PlatformWaitable w = PlatformWaitableMutex(m);
  PlatformWaitAny(&w, 1, PlatformWaitForever);
}

int PlatformMutexTryLock(PlatformMutex* m) {
  const PlatformWaitable w = PlatformWaitableMutex(m);
  return PlatformWaitAny(&w, 1, 0) == 0 ? 1 : 0;
}

void PlatformMutexUnlock(PlatformMutex* m) {
  SyncState& state = Sync();
  std::lock_guard<std::mutex> lock(state.lock);
  if (m->owner != PlatformThreadCurrentId()) return;  // not ours: refused, as ReleaseMutex does
  if (--m->depth != 0) return;
  m->owner = 0;
  --tHoldings.count;
  WakeAll(state);
}
