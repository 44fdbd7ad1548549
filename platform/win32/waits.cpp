// Auto-reset events, counting semaphores and PlatformWaitAny on kernel objects.
#include <cstdint>

#include "platform/win32/win32.h"

using namespace platform_win32;

int PlatformWaitAny(const PlatformWaitable* objects, int count, uint32_t timeoutMs) {
  if (objects == nullptr || count < 1 || count > MAXIMUM_WAIT_OBJECTS) return PlatformWaitTimeout;
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  for (int i = 0; i < count; ++i) {
    const PlatformWaitable& w = objects[i];
    if (w.object == nullptr) return PlatformWaitTimeout;
    handles[i] = w.kind == PlatformWaitable::Thread
                     ? ThreadHandle(static_cast<const PlatformThread*>(w.object))
                     : w.object;
  }
  const DWORD n = static_cast<DWORD>(count);
  const DWORD result = WaitForMultipleObjects(n, handles, FALSE, timeoutMs);
  // An abandoned mutex (its owner ended holding it) is now the caller's, as a plain one would be.
  if (result >= WAIT_OBJECT_0 && result < WAIT_OBJECT_0 + n) {
    return static_cast<int>(result - WAIT_OBJECT_0);
  }
  if (result >= WAIT_ABANDONED_0 && result < WAIT_ABANDONED_0 + n) {
    return static_cast<int>(result - WAIT_ABANDONED_0);
  }
  return PlatformWaitTimeout;
}

PlatformEvent* PlatformEventCreate() {
  return FromHandle<PlatformEvent>(CreateEventA(nullptr, FALSE, FALSE, nullptr));
}

void PlatformEventDestroy(PlatformEvent* e) {
  if (e != nullptr) CloseHandle(AsHandle(e));
}

void PlatformEventSignal(PlatformEvent* e) { SetEvent(AsHandle(e)); }

int PlatformEventWait(PlatformEvent* e, uint32_t timeoutMs) {
  return WaitForSingleObject(AsHandle(e), timeoutMs) == WAIT_OBJECT_0 ? 1 : 0;
}

PlatformSemaphore* PlatformSemaphoreCreate(uint32_t initial, uint32_t maximum) {
  // The kernel's counts are signed 32-bit.
  if (maximum == 0 || maximum > INT32_MAX || initial > maximum) return nullptr;
  return FromHandle<PlatformSemaphore>(
      CreateSemaphoreA(nullptr, static_cast<LONG>(initial), static_cast<LONG>(maximum), nullptr));
}

void PlatformSemaphoreDestroy(PlatformSemaphore* s) {
  if (s != nullptr) CloseHandle(AsHandle(s));
}

int PlatformSemaphoreRelease(PlatformSemaphore* s, uint32_t count) {
  if (count == 0 || count > INT32_MAX) return 0;
  return ReleaseSemaphore(AsHandle(s), static_cast<LONG>(count), nullptr) ? 1 : 0;
}

int PlatformSemaphoreWait(PlatformSemaphore* s, uint32_t timeoutMs) {
  return WaitForSingleObject(AsHandle(s), timeoutMs) == WAIT_OBJECT_0 ? 1 : 0;
}
