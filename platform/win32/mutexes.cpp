// Recursive mutexes: kernel mutex objects, recursive by nature.
#include "platform/win32/win32.h"

using namespace platform_win32;

PlatformMutex* MutexCreate() {
  return FromHandle<PlatformMutex>(CreateMutexA(nullptr, FALSE, nullptr));
}

void MutexDestroy(PlatformMutex* m) {
  if (m != nullptr) CloseHandle(AsHandle(m));
}

void MutexLock(PlatformMutex* m) { WaitForSingleObject(AsHandle(m), INFINITE); }

int MutexTryLock(PlatformMutex* m) { return Obtained(WaitForSingleObject(AsHandle(m), 0)); }

void MutexUnlock(PlatformMutex* m) { ReleaseMutex(AsHandle(m)); }
