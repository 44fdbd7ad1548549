// Background decode workers: one or two threads that decode the next frame while the main thread
// copies and shows the current one. Each worker talks to the main thread through two
// semaphore-counted 384-byte message rings (commands in, results out).
#pragma once

#include <cstdint>

struct Movie;

constexpr uint32_t MaxDecodeWorkers = 8;

// Starts worker `index`: 1 on success; 0 when the index is out of range, the worker already runs,
// or a semaphore or the thread cannot be made.
int StartDecodeWorker(uint32_t index);

// With two workers running, one frame is split into two parts that decode at once.
void SetDualWorkers(bool dual);

// Begins the movie's next frame and posts it to the workers (or, with no worker, decodes it here).
// Non-zero when a job is pending afterwards.
int AsyncDecodeStart(Movie* movie);

// 1 when the frame is complete (or nothing was pending), then the frame is finished with
// MovieFrameEnd; 0 while a job is still pending.
int AsyncDecodeWait(Movie* movie);

// AsyncDecodeWait without a time limit; installed as the library's close hook.
void AsyncDecodeWaitAll(Movie* movie);
