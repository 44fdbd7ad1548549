// Auto-reset events, counting semaphores and PlatformWaitAny (see sync.h for the scheme).
#include <cstdint>
#include <new>

#include "platform/platform.h"
#include "platform/posix/sync.h"

struct PlatformEvent {
  bool signalled = false;
};

struct PlatformSemaphore {
  uint32_t count;
  uint32_t maximum;
};

namespace platform_posix {

SyncState& Sync() {
  static SyncState* const state = new SyncState;
  return *state;
}

void Block(std::unique_lock<std::mutex>& lock, bool forever, Deadline deadline) {
  SyncState& state = Sync();
  ++state.blocked;
  if (forever) {
    state.changed.wait(lock);
  } else {
    state.changed.wait_until(lock, deadline);
  }
  --state.blocked;
}

void WakeAll(SyncState& state) {
  if (state.blocked != 0) state.changed.notify_all();
}

}  // namespace platform_posix

namespace {

using namespace platform_posix;

constexpr int kMaxWaitObjects = 64;

// Takes the object if it can be taken now (lock held).
bool TryObtain(const PlatformWaitable& w) {
  switch (w.kind) {
    case PlatformWaitable::Mutex:
      return MutexTryObtainLocked(static_cast<PlatformMutex*>(w.object));
    case PlatformWaitable::Event: {
      auto* e = static_cast<PlatformEvent*>(w.object);
      if (!e->signalled) return false;
      e->signalled = false;
      return true;
    }
    case PlatformWaitable::Semaphore: {
      auto* s = static_cast<PlatformSemaphore*>(w.object);
      if (s->count == 0) return false;
      --s->count;
      return true;
    }
    case PlatformWaitable::Thread:
      return ThreadEndedLocked(static_cast<const PlatformThread*>(w.object));
  }
  return false;
}

bool Valid(const PlatformWaitable& w) {
  return w.object != nullptr && w.kind <= PlatformWaitable::Thread;
}

}  // namespace

int PlatformWaitAny(const PlatformWaitable* objects, int count, uint32_t timeoutMs) {
  // Invalid arguments fail at once, as WaitForMultipleObjects does.
  if (objects == nullptr || count < 1 || count > kMaxWaitObjects) return PlatformWaitTimeout;
  for (int i = 0; i < count; ++i) {
    if (!Valid(objects[i])) return PlatformWaitTimeout;
  }
  const bool forever = timeoutMs == PlatformWaitForever;
  const Deadline deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);

  SyncState& state = Sync();
  std::unique_lock<std::mutex> lock(state.lock);
  for (;;) {
    // The lowest index that can be obtained wins, as on Windows.
    for (int i = 0; i < count; ++i) {
      if (TryObtain(objects[i])) return i;
    }
    if (!forever && std::chrono::steady_clock::now() >= deadline) return PlatformWaitTimeout;
    Block(lock, forever, deadline);
  }
}

PlatformEvent* PlatformEventCreate() { return new (std::nothrow) PlatformEvent; }

void PlatformEventDestroy(PlatformEvent* e) { delete e; }

void PlatformEventSignal(PlatformEvent* e) {
  SyncState& state = Sync();
  std::lock_guard<std::mutex> lock(state.lock);
  e->signalled = true;
  WakeAll(state);
}

int PlatformEventWait(PlatformEvent* e, uint32_t timeoutMs) {
  const PlatformWaitable w = PlatformWaitableEvent(e);
  return PlatformWaitAny(&w, 1, timeoutMs) == 0 ? 1 : 0;
}

PlatformSemaphore* PlatformSemaphoreCreate(uint32_t initial, uint32_t maximum) {
  // The same limits as Windows, whose counts are signed 32-bit.
  if (maximum == 0 || maximum > INT32_MAX || initial > maximum) return nullptr;
  return new (std::nothrow) PlatformSemaphore{initial, maximum};
}

void PlatformSemaphoreDestroy(PlatformSemaphore* s) { delete s; }

int PlatformSemaphoreRelease(PlatformSemaphore* s, uint32_t count) {
  SyncState& state = Sync();
  std::lock_guard<std::mutex> lock(state.lock);
  if (count == 0 || count > s->maximum - s->count) return 0;
  s->count += count;
  WakeAll(state);
  return 1;
}

int PlatformSemaphoreWait(PlatformSemaphore* s, uint32_t timeoutMs) {
  const PlatformWaitable w = PlatformWaitableSemaphore(s);
  return PlatformWaitAny(&w, 1, timeoutMs) == 0 ? 1 : 0;
}
