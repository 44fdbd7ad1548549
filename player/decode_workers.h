// Background decode workers: one or two threads that decode the next frame while the main thread
// copies and shows the current one. Each worker talks to the main thread through two
// semaphore-counted 384-byte message rings (commands in, results out).
#pragma once

#include <cstdint>

struct Movie;
struct PlatformSemaphore;

constexpr uint32_t MaxDecodeWorkers = 8;
constexpr uint32_t WorkerQueueBytes = 384;
constexpr uint32_t WorkerQueueSpare = 8;  // a message is appended only with this much room left

// One reader, one writer: the semaphore counts the messages; each position is written by one
// side only (read by the reader, write by the writer) and read by the other atomically.
struct WorkerQueue {
  PlatformSemaphore* Semaphore;
  uint32_t ReadPos, WritePos;  // byte positions in Ring, wrapping at WorkerQueueBytes
  uint8_t Ring[WorkerQueueBytes];
};

// Appends a message and releases the semaphore once; 0 (nothing appended) without room for it
// and WorkerQueueSpare bytes to spare.
int WorkerQueuePost(WorkerQueue* queue, const void* message, uint32_t bytes);
// Takes a message of `bytes` bytes (after the semaphore was taken); 0 when none is there.
int WorkerQueueTake(WorkerQueue* queue, void* message, uint32_t bytes);
// The command (results = 0) or result queue of worker `index`, for inspection.
const WorkerQueue* DecodeWorkerQueue(uint32_t index, int results);

// Starts worker `index`: 1 on success; 0 when the index is out of range, the worker already runs,
// or a semaphore or the thread cannot be made.
int StartDecodeWorker(uint32_t index);
// Tells worker `index` to end (a zero command), waits for it and closes its semaphores; 0 when it
// was not running. Only while no job is pending.
int StopDecodeWorker(uint32_t index);

// With two workers running, one frame is split into two parts that decode at once. Takes effect
// only while worker 1 runs; otherwise worker 0 decodes the whole frame.
void SetDualWorkers(bool dual);

// Begins the movie's next frame and posts it to the workers (a part no worker takes decodes here,
// on the calling thread). First gives the movie its two change maps, so that the copy of the
// current frame may run while the next one decodes. Non-zero when a job is pending afterwards; 0
// (and nothing posted) while the previous job is still pending or when there is nothing to decode.
int AsyncDecodeStart(Movie* movie);

// 1 when the frame is complete (or nothing was pending), then the frame is finished with
// MovieFrameEnd; 0 while a job is still pending.
int AsyncDecodeWait(Movie* movie);

// AsyncDecodeWait without a time limit; installed as the library's close hook.
void AsyncDecodeWaitAll(Movie* movie);
