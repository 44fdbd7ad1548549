// Recursive mutexes: kernel mutex objects, recursive by nature.
#include "platform/win32/win32.h"

using namespace platform_win32;

PlatformMutex* PlatformMutexCreate() {
  return FromHandle<PlatformMutex>(CreateMutexA(nullptr, FALSE, nullptr));
}

void PlatformMutexDestroy(PlatformMutex* m) {
  if (m != nullptr) CloseHandle(AsHandle(m));
}

void PlatformMutexLock(PlatformMutex* m) { WaitForSingleObject(AsHandle(m), INFINITE); }

int PlatformMutexTryLock(PlatformMutex* m) { return Obtained(WaitForSingleObject(AsHandle(m), 0)); }

void PlatformMutexUnlock(PlatformMutex* m) { ReleaseMutex(AsHandle(m)); }
