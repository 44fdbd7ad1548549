// The one thin OS layer. Everything above it is portable C++ and includes no OS header.
// Two implementations: platform/win32 (Windows kernel and WINMM services) and platform/posix.
#pragma once

#include <cstdint>

struct PlatformMutex;      // recursive mutex, usable in PlatformWaitAny
struct PlatformEvent;      // auto-reset event, usable in PlatformWaitAny
struct PlatformSemaphore;  // counting semaphore, usable in PlatformWaitAny
struct PlatformThread;     // a thread; its end is usable in PlatformWaitAny
struct PlatformFile;       // a file opened for reading, or a borrowed caller's handle
// MutexDestroy, EventDestroy, SemaphoreDestroy, ThreadClose, FileClose and HeapRelease accept null.

// Something PlatformWaitAny can wait for. Build one with the Waitable* helpers.
struct PlatformWaitable {
  enum Kind : uint32_t { Mutex, Event, Semaphore, Thread } kind;
  void* object;
};
inline PlatformWaitable WaitableMutex(PlatformMutex* m) { return {PlatformWaitable::Mutex, m}; }
inline PlatformWaitable WaitableEvent(PlatformEvent* e) { return {PlatformWaitable::Event, e}; }
inline PlatformWaitable WaitableSemaphore(PlatformSemaphore* s) {
  return {PlatformWaitable::Semaphore, s};
}
inline PlatformWaitable WaitableThread(PlatformThread* t) { return {PlatformWaitable::Thread, t}; }

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
PlatformMutex* MutexCreate();
void MutexDestroy(PlatformMutex* m);
void MutexLock(PlatformMutex* m);
int MutexTryLock(PlatformMutex* m);  // 1 = obtained (or already held by this thread)
void MutexUnlock(PlatformMutex* m);

// Auto-reset events: a signal releases exactly one waiter, or stays set until one comes.
PlatformEvent* EventCreate();
void EventDestroy(PlatformEvent* e);
void EventSignal(PlatformEvent* e);
int EventWait(PlatformEvent* e, uint32_t timeoutMs);  // 1 = signalled, 0 = timed out

// Counting semaphores. Null unless 0 < maximum <= 2^31 - 1 and initial <= maximum.
PlatformSemaphore* SemaphoreCreate(uint32_t initial, uint32_t maximum);
void SemaphoreDestroy(PlatformSemaphore* s);
int SemaphoreRelease(PlatformSemaphore* s, uint32_t count);   // 0 when it would pass the maximum
                                                              // (or count is 0); nothing released
int SemaphoreWait(PlatformSemaphore* s, uint32_t timeoutMs);  // 1 = taken, 0 = timed out

// Threads. A thread created suspended runs only after ThreadResume. stackBytes is a minimum
// (0: the default); the system may give more.
enum PlatformPriority : int {
  PriorityBelowNormal = -1,
  PriorityNormal = 0,
  PriorityTimeCritical = 15,
};
typedef uint32_t (*PlatformThreadProc)(void* arg);
PlatformThread* ThreadCreate(PlatformThreadProc proc, void* arg, uint32_t stackBytes,
                             int suspended);
void ThreadResume(PlatformThread* t);
void ThreadSetPriority(PlatformThread* t, PlatformPriority priority);  // best effort
int ThreadJoin(PlatformThread* t, uint32_t timeoutMs);                 // 1 = the thread has ended
void ThreadClose(PlatformThread* t);                                   // after it has ended
uint32_t ThreadCurrentId();

// Files. FileOpenRead refuses directories and missing files (null). FileFromHandle borrows a
// caller's open handle (a HANDLE on Windows, a descriptor cast to a pointer elsewhere) and reads
// from its current position: FileClose leaves it open. FileRead returns fewer bytes than asked
// only at the end of the data (or on an error).
PlatformFile* FileOpenRead(const char* name);
PlatformFile* FileFromHandle(const void* handle);
int64_t FileTell(PlatformFile* f);                              // -1 on failure
int FileSeek(PlatformFile* f, int64_t offset);                  // absolute; 1 = done
uint32_t FileRead(PlatformFile* f, void* dest, uint32_t size);  // bytes read (short at end)
int64_t FileSize(PlatformFile* f);                              // -1 when unknown
void FileClose(PlatformFile* f);

// The library's private heap (created on first use, growable).
void* HeapAllocate(uint64_t bytes);  // null on failure
void HeapRelease(void* block);

// Clocks. CounterFrequency returns 0 when there is no high-resolution counter.
uint64_t CounterFrequency();
uint64_t CounterNow();
uint32_t TickCountMs();       // milliseconds since some start, wraps at 2^32
uint32_t MultimediaTimeMs();  // the multimedia timer (timeGetTime)
void SleepMs(uint32_t ms);    // 0 yields the processor
uint32_t ProcessorCount();
void TimerPeriodBegin();  // 1 ms timer resolution while held (counted)
void TimerPeriodEnd();
