// Read-ahead service functions and the stream reader's lock operations.
#include "io/read_ahead.h"

#include <atomic>

#include "io/service.h"
#include "platform/platform.h"

namespace {

// Fullness below this percentage of the fill target is urgent.
constexpr uint64_t kUrgentPercent = 50;
constexpr uint32_t kUrgentBase = 0xFFFFFFFFu;
constexpr uint32_t kRegularBase = 0x80000000u;

std::atomic_ref<uint32_t> Shared(uint32_t& field) { return std::atomic_ref<uint32_t>(field); }

PlatformMutex* IoMutexOf(StreamReader* r) {
  return std::atomic_ref<PlatformMutex*>(r->IoNode.NodeMutex).load(std::memory_order_acquire);
}

}  // namespace

uint32_t ReadAheadNeed(ServiceNode* node, uint32_t pass) {
  Movie* movie = static_cast<Movie*>(node->Owner);
  StreamReader* r = &movie->Reader;
  if (Shared(r->ReadError).load() != 0 || Shared(r->Suspended).load() != 0) return 0;
  const uint64_t used = Shared(r->Used).load();
  const uint64_t target = Shared(r->FillTarget).load();
  const uint64_t percent = (used + 1) * 100 / (target + 1);
  if (percent < kUrgentPercent) return kUrgentBase - static_cast<uint32_t>(percent);
  const uint32_t served = Shared(movie->IoServiced).load();
  if (served == pass) return 0;
  const uint32_t need = kRegularBase - served;
  return need != 0 ? need : 1;
}

void ReadAheadServe(ServiceNode* node, uint32_t pass) {
  Movie* movie = static_cast<Movie*>(node->Owner);
  StreamReader* r = &movie->Reader;
  const uint32_t got = r->StreamFill(r, pass);
  // A fill that found nothing to do (or a custom reader that could not fill) means the ring
  // holds what it can for now; without this an urgent need could never fall and the pass
  // would not end.
  if (got == 0 || got == STREAM_FILL_BUSY) Shared(r->FillTarget).store(Shared(r->Used).load());
  Shared(movie->IoServiced).store(pass);
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

void MovieInstallReaderLocks(Movie* movie) {
  StreamReader* r = &movie->Reader;
  r->ReaderLock = ReaderLock;
  r->ReaderTryLock = ReaderTryLock;
  r->ReaderUnlock = ReaderUnlock;
  r->ReaderYield = ReaderYield;
}

int MovieJoinIoService(Movie* movie) {
  // The lock operations go in first: once the node is linked the service thread may fill, and
  // from then on every foreground read must take the IO mutex.
  MovieInstallReaderLocks(movie);
  movie->Reader.IoNode.Owner = movie;
  return ServiceJoinIo(&movie->Reader.IoNode, ReadAheadNeed, ReadAheadServe);
}
