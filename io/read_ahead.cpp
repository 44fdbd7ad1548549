// Read-ahead service functions and the stream reader's lock operations.
#include "io/read_ahead.h"

#include "platform/atomic.h"
#include "platform/platform.h"

namespace {

// Fullness below this percentage of the fill target is urgent.
constexpr uint64_t kUrgentPercent = 50;
constexpr uint32_t kUrgentBase = 0xFFFFFFFFu;
constexpr uint32_t kRegularBase = 0x80000000u;

PlatformMutex* IoMutexOf(StreamReader* r) {
  return PlatformShared(r->IoNode.NodeMutex).load(std::memory_order_acquire);
}

int ReaderLock(StreamReader* r) {
  PlatformMutex* mutex = IoMutexOf(r);
  if (mutex != nullptr) PlatformMutexLock(mutex);
  return 1;
}

int ReaderTryLock(StreamReader* r) {
  PlatformMutex* mutex = IoMutexOf(r);
  return mutex != nullptr ? PlatformMutexTryLock(mutex) : 1;
}

void ReaderUnlock(StreamReader* r) {
  PlatformMutex* mutex = IoMutexOf(r);
  if (mutex != nullptr) PlatformMutexUnlock(mutex);
}

void ReaderYield(StreamReader*) { PlatformSleepMs(0); }

}  // namespace

uint32_t StreamReadAheadNeed(StreamReader* r, uint32_t servedPass, uint32_t pass) {
  if (PlatformShared(r->ReadError).load() != 0 || PlatformShared(r->Suspended).load() != 0) {
    return 0;
  }
  const uint64_t used = PlatformShared(r->Used).load();
  const uint64_t target = PlatformShared(r->FillTarget).load();
  const uint64_t percent = (used + 1) * 100 / (target + 1);
  if (percent < kUrgentPercent) return kUrgentBase - static_cast<uint32_t>(percent);
  if (servedPass == pass) return 0;
  const uint32_t need = kRegularBase - servedPass;
  return need != 0 ? need : 1;
}

void StreamReadAheadServe(StreamReader* r, uint32_t pass) {
  const uint32_t got = r->StreamFill(r, pass);
  // A fill that found nothing to do (or a custom reader that could not fill) means the ring
  // holds what it can for now; without this an urgent need could never fall and the pass
  // would not end.
  if (got == 0 || got == STREAM_FILL_BUSY) {
    PlatformShared(r->FillTarget).store(PlatformShared(r->Used).load());
  }
}

void StreamInstallLocks(StreamReader* r) {
  r->ReaderLock = ReaderLock;
  r->ReaderTryLock = ReaderTryLock;
  r->ReaderUnlock = ReaderUnlock;
  r->ReaderYield = ReaderYield;
}
