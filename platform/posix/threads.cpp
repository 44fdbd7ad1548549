// Threads on pthreads. Each runs detached; its record lives until both PlatformThreadClose and the
// thread's end have happened. A thread created suspended waits at a start gate until
// PlatformThreadResume.
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <new>

#include "platform/platform.h"
#include "platform/posix/sync.h"

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#endif

struct PlatformThread {
  PlatformThreadProc proc;
  void* arg;
  bool resumed;         // the start gate is open
  bool ended = false;   // proc has returned (the waitable state)
  bool closed = false;  // PlatformThreadClose has come before the end: the thread frees the record
  PlatformPriority priority = PlatformPriorityNormal;
  uint32_t id = 0;  // PlatformThreadCurrentId of the thread once it runs
};

namespace {

using namespace platform_posix;

// Priorities are best effort: on Linux a thread's nice value, relative to the process's, where
// the process may set it (raising needs privileges); elsewhere nothing.
void ApplyPriority(const PlatformThread* t) {
#if defined(__linux__)
  int step = 0;
  if (t->priority < PlatformPriorityNormal) step = 2;
  if (t->priority > PlatformPriorityNormal) step = -10;
  const int base = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
  setpriority(PRIO_PROCESS, static_cast<id_t>(t->id), base + step);
#else
  (void)t;
#endif
}

void* ThreadStart(void* arg) {
  auto* t = static_cast<PlatformThread*>(arg);
  SyncState& state = Sync();
  {
    std::unique_lock<std::mutex> lock(state.lock);
    t->id = PlatformThreadCurrentId();
    if (t->priority != PlatformPriorityNormal) ApplyPriority(t);
    while (!t->resumed) Block(lock, true, {});
  }
  t->proc(t->arg);
  MutexReleaseAbandoned();

  std::lock_guard<std::mutex> lock(state.lock);
  t->ended = true;
  WakeAll(state);
  if (t->closed) delete t;
  return nullptr;
}

}  // namespace

namespace platform_posix {

bool ThreadEndedLocked(const PlatformThread* t) { return t->ended; }

}  // namespace platform_posix

PlatformThread* PlatformThreadCreate(PlatformThreadProc proc, void* arg, uint32_t stackBytes,
                                     int suspended) {
  if (proc == nullptr) return nullptr;
  auto* t = new (std::nothrow) PlatformThread{proc, arg, suspended == 0};
  if (t == nullptr) return nullptr;

  pthread_attr_t attr;
  if (pthread_attr_init(&attr) != 0) {
    delete t;
    return nullptr;
  }
  pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
  // The stack size is a minimum, as Windows treats it: a smaller request keeps the default
  // (which also leaves room for sanitizers); a larger one is rounded up to whole pages.
  size_t stack = 0;
  pthread_attr_getstacksize(&attr, &stack);
  if (stackBytes > stack) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    pthread_attr_setstacksize(&attr, (stackBytes + page - 1) / page * page);
  }
  pthread_t handle;
  const int failed = pthread_create(&handle, &attr, ThreadStart, t);
  pthread_attr_destroy(&attr);
  if (failed != 0) {
    delete t;
    return nullptr;
  }
  return t;
}

void PlatformThreadResume(PlatformThread* t) {
  SyncState& state = Sync();
  std::lock_guard<std::mutex> lock(state.lock);
  t->resumed = true;
  WakeAll(state);
}

void PlatformThreadSetPriority(PlatformThread* t, PlatformPriority priority) {
  std::lock_guard<std::mutex> lock(Sync().lock);
  t->priority = priority;
  if (t->id != 0 && !t->ended) ApplyPriority(t);  // else the thread applies it when it starts
}

int PlatformThreadJoin(PlatformThread* t, uint32_t timeoutMs) {
  const PlatformWaitable w = PlatformWaitableThread(t);
  return PlatformWaitAny(&w, 1, timeoutMs) == 0 ? 1 : 0;
}

void PlatformThreadClose(PlatformThread* t) {
  if (t == nullptr) return;
  std::lock_guard<std::mutex> lock(Sync().lock);
  if (t->ended) {
    delete t;
  } else {
    t->closed = true;
  }
}

uint32_t PlatformThreadCurrentId() {
#if defined(__linux__)
  // The kernel's thread id, as debuggers and top show it.
  thread_local const uint32_t id = static_cast<uint32_t>(syscall(SYS_gettid));
#else
  static std::atomic<uint32_t> next{1};
  thread_local const uint32_t id = next.fetch_add(1, std::memory_order_relaxed);
#endif
  return id;
}
