// Threads: CreateThread around a small record that carries the procedure and its argument.
#include <cstdint>
#include <new>

#include "platform/win32/win32.h"

struct PlatformThread {
  HANDLE handle;
  PlatformThreadProc proc;
  void* arg;
};

namespace {

DWORD WINAPI ThreadStart(LPVOID arg) {
  const auto* t = static_cast<const PlatformThread*>(arg);
  return t->proc(t->arg);
}

}  // namespace

namespace platform_win32 {

HANDLE ThreadHandle(const PlatformThread* t) { return t->handle; }

}  // namespace platform_win32

PlatformThread* PlatformThreadCreate(PlatformThreadProc proc, void* arg, uint32_t stackBytes,
                                     int suspended) {
  if (proc == nullptr) return nullptr;
  auto* t = new (std::nothrow) PlatformThread{nullptr, proc, arg};
  if (t == nullptr) return nullptr;
  t->handle =
      CreateThread(nullptr, stackBytes, ThreadStart, t, suspended ? CREATE_SUSPENDED : 0, nullptr);
  if (t->handle == nullptr) {
    delete t;
    return nullptr;
  }
  return t;
}

void PlatformThreadResume(PlatformThread* t) { ResumeThread(t->handle); }

void PlatformThreadSetPriority(PlatformThread* t, PlatformPriority priority) {
  // The values are THREAD_PRIORITY_BELOW_NORMAL, _NORMAL and _TIME_CRITICAL.
  SetThreadPriority(t->handle, static_cast<int>(priority));
}

int PlatformThreadJoin(PlatformThread* t, uint32_t timeoutMs) {
  return WaitForSingleObject(t->handle, timeoutMs) == WAIT_OBJECT_0 ? 1 : 0;
}

void PlatformThreadClose(PlatformThread* t) {
  if (t == nullptr) return;
  CloseHandle(t->handle);
  delete t;
}

uint32_t PlatformThreadCurrentId() { return GetCurrentThreadId(); }
