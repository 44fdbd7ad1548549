// What the POSIX mutexes, events, semaphores and threads share so that PlatformWaitAny can wait
// for any mix of them.
//
// Their states are plain fields guarded by one process-wide lock. Whatever may let a waiter go on
// (an unlock, a signal, a release, a thread's end or resume) wakes every blocked thread with one
// broadcast, and each of them tries again to obtain what it waits for. That gives exact time
// limits and no polling; with the handful of threads a player runs, the broadcasts cost less than
// any finer scheme would save.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/platform.h"

namespace platform_posix {

struct SyncState {
  std::mutex lock;
  std::condition_variable changed;
  unsigned blocked = 0;  // threads inside Block
};

// The process-wide state. It is never destroyed, so threads that end during exit can still use it.
SyncState& Sync();

using Deadline = std::chrono::steady_clock::time_point;

// Waits (lock held) until WakeAll, the deadline (unless forever) or a spurious wake-up.
void Block(std::unique_lock<std::mutex>& lock, bool forever, Deadline deadline);

// Wakes every thread in Block; the caller holds the lock and has just changed some state.
void WakeAll(SyncState& state);

// With the lock held: takes m for the calling thread if it is free or already the caller's.
bool MutexTryObtainLocked(PlatformMutex* m);

// Frees the mutexes the calling thread still owns, as a thread's end abandons them on Windows.
void MutexReleaseAbandoned();

// With the lock held: whether t has ended.
bool ThreadEndedLocked(const PlatformThread* t);

}  // namespace platform_posix
