// The one thin OS layer. Everything above it is portable C++ and includes no OS header.
// Two implementations: platform/win32 (Windows kernel and WINMM services) and platform/posix.
#pragma once

#include <cstdint>

struct PlatformMutex;      // recursive mutex, usable in PlatformWaitAny
struct PlatformEvent;      // auto-reset event, usable in PlatformWaitAny
struct PlatformSemaphore;  // counting semaphore, usable in PlatformWaitAny
struct PlatformThread;     // a thread; its end is usable in PlatformWaitAny
struct PlatformFile;       // a file opened for reading, or a borrowed caller's handle
// PlatformMutexDestroy, PlatformEventDestroy, PlatformSemaphoreDestroy, PlatformThreadClose,
// PlatformFileClose and PlatformHeapRelease accept null.

// Something PlatformWaitAny can wait for. Build one with the Waitable* helpers.
struct PlatformWaitable {
  enum Kind : uint32_t { Mutex, Event, Semaphore, Thread } kind;
  void* object;
};
inline PlatformWaitable PlatformWaitableMutex(PlatformMutex* m) {
  return {PlatformWaitable::Mutex, m};
}
inline PlatformWaitable PlatformWaitableEvent(PlatformEvent* e) {
  return {PlatformWaitable::Event, e};
}
inline PlatformWaitable PlatformWaitableSemaphore(PlatformSemaphore* s) {
  return {PlatformWaitable::Semaphore, s};
}
inline PlatformWaitable PlatformWaitableThread(PlatformThread* t) {
  return {PlatformWaitable::Thread, t};
}

constexpr uint32_t PlatformWaitForever = 0xFFFFFFFFu;
constexpr int PlatformWaitTimeout = -1;

// Waits until one of the objects is obtained (mutex: now owned by the caller, recursively;
// event: reset; semaphore: count taken; thread: it has ended) or timeoutMs passes.
// Returns the index of the object obtained, or PlatformWaitTimeout. At most 64 objects, each at
// most once. When several can be obtained, the lowest index is, and only it. A mutex whose owner
// ended while holding it can be obtained. Invalid arguments (count outside 1..64, a null object)
// give PlatformWaitTimeout at once.
int PlatformWaitAny(const PlatformWaitable* objects, int count, uint32_t timeoutMs);

// Recursive mutexes. Only the owner's unlock counts; the mutex is free after as many unlocks as
// locks.
PlatformMutex* PlatformMutexCreate();
void PlatformMutexDestroy(PlatformMutex* m);
void PlatformMutexLock(PlatformMutex* m);
int PlatformMutexTryLock(PlatformMutex* m);  // 1 = obtained (or already held by this thread)
void PlatformMutexUnlock(PlatformMutex* m);

// Auto-reset events: a signal releases exactly one waiter, or stays set until one comes.
PlatformEvent* PlatformEventCreate();
void PlatformEventDestroy(PlatformEvent* e);
void PlatformEventSignal(PlatformEvent* e);
int PlatformEventWait(PlatformEvent* e, uint32_t timeoutMs);  // 1 = signalled, 0 = timed out

// Counting semaphores. Null unless 0 < maximum <= 2^31 - 1 and initial <= maximum.
PlatformSemaphore* PlatformSemaphoreCreate(uint32_t initial, uint32_t maximum);
void PlatformSemaphoreDestroy(PlatformSemaphore* s);
// 0 when the count would pass the maximum (or count is 0): then nothing is released.
int PlatformSemaphoreRelease(PlatformSemaphore* s, uint32_t count);
int PlatformSemaphoreWait(PlatformSemaphore* s, uint32_t timeoutMs);  // 1 = taken, 0 = timed out

// Threads. A thread created suspended runs only after PlatformThreadResume. stackBytes is a minimum
// (0: the default); the system may give more.
enum PlatformPriority : int {
  PlatformPriorityBelowNormal = -1,
  PlatformPriorityNormal = 0,
  PlatformPriorityTimeCritical = 15,
};
typedef uint32_t (*PlatformThreadProc)(void* arg);
PlatformThread* PlatformThreadCreate(PlatformThreadProc proc, void* arg, uint32_t stackBytes,
                                     int suspended);
void PlatformThreadResume(PlatformThread* t);
void PlatformThreadSetPriority(PlatformThread* t, PlatformPriority priority);  // best effort
int PlatformThreadJoin(PlatformThread* t, uint32_t timeoutMs);  // 1 = the thread has ended
void PlatformThreadClose(PlatformThread* t);                    // after it has ended
uint32_t PlatformThreadCurrentId();

// Files. PlatformFileOpenRead refuses directories and missing files (null). PlatformFileFromHandle
// borrows a caller's open handle (a HANDLE on Windows, a descriptor cast to a pointer elsewhere)
// and reads from its current position: PlatformFileClose leaves it open. PlatformFileRead returns
// fewer bytes than asked only at the end of the data (or on an error).
PlatformFile* PlatformFileOpenRead(const char* name);
PlatformFile* PlatformFileFromHandle(const void* handle);
int64_t PlatformFileTell(PlatformFile* f);                              // -1 on failure
int PlatformFileSeek(PlatformFile* f, int64_t offset);                  // absolute; 1 = done
uint32_t PlatformFileRead(PlatformFile* f, void* dest, uint32_t size);  // bytes read (short at end)
int64_t PlatformFileSize(PlatformFile* f);                              // -1 when unknown
void PlatformFileClose(PlatformFile* f);
// Makes the C runtime's standard input binary: Windows reads it in text mode otherwise, turning
// CR LF into LF and stopping at a byte 26, which corrupts a picture stream piped into a tool.
void PlatformStdinBinary();

// The library's private heap (created on first use, growable).
void* PlatformHeapAllocate(uint64_t bytes);  // null on failure
void PlatformHeapRelease(void* block);

// Clocks. PlatformCounterFrequency returns 0 when there is no high-resolution counter.
uint64_t PlatformCounterFrequency();
uint64_t PlatformCounterNow();
uint32_t PlatformTickCountMs();       // milliseconds since some start, wraps at 2^32
uint32_t PlatformMultimediaTimeMs();  // the multimedia timer (timeGetTime)
void PlatformSleepMs(uint32_t ms);    // 0 yields the processor
uint32_t PlatformProcessorCount();
void PlatformTimerPeriodBegin();  // 1 ms timer resolution while held (counted)
void PlatformTimerPeriodEnd();
