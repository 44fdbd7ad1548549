// The decode workers and their message rings. A command is the movie pointer with the job in its
// low three bits (bit 0: the movie's result slot, bits 1-2: the parts to decode); 0 ends the
// worker. A result is the command without its parts, then MovieDecodeFrame's answer.
#include "player/decode_workers.h"

#include <cstring>

#include "platform/atomic.h"
#include "platform/platform.h"
#include "vexa/movie.h"

namespace {

// A movie's job slot: 0 idle; posted jobs are JobBusy | JobUnanswered | the worker's index; the
// worker's answer clears JobUnanswered. Parts decoded on the main thread are marked answered.
constexpr uint32_t JobUnanswered = 0x100;
constexpr uint32_t JobBusy = 0x200;
constexpr uint32_t JobWorkerMask = 0xFF;
constexpr uint32_t MainThreadJob = JobBusy | JobWorkerMask;
constexpr uint64_t CommandJobBits = 7, CommandPartBits = 6;
constexpr uint32_t CommandBytes = 8, ResultBytes = 16;
constexpr uint32_t QueueMaxMessages = 16;

struct DecodeWorkerSlot {
  WorkerQueue Commands, Results;
  PlatformThread* Thread;
};

DecodeWorkerSlot gWorkers[MaxDecodeWorkers];
uint32_t gWorkersStarted;  // bit i: worker i runs
bool gDualWorkers;

bool WorkerRuns(uint32_t index) {
  return index < MaxDecodeWorkers &&
         (PlatformShared(gWorkersStarted).load(std::memory_order_acquire) >> index & 1);
}

uint32_t QueueUsed(uint32_t read, uint32_t write) {
  return (write + WorkerQueueBytes - read) % WorkerQueueBytes;
}

uint32_t DecodeWorker(void* arg) {
  const uint32_t index = uint32_t(reinterpret_cast<uintptr_t>(arg));
  DecodeWorkerSlot* w = &gWorkers[index];
  while (!WorkerRuns(index)) PlatformSleepMs(0);  // the bit follows the thread's creation at once
  for (;;) {
    uint64_t command;
    if (!PlatformSemaphoreWait(w->Commands.Semaphore, PlatformWaitForever) ||
        !WorkerQueueTake(&w->Commands, &command, CommandBytes))
      continue;
    if (command == 0) return 0;
    Movie* movie = reinterpret_cast<Movie*>(uintptr_t(command & ~CommandJobBits));
    const uint64_t result[2] = {command & ~CommandPartBits,
                                MovieDecodeFrame(movie, uint32_t(command >> 1) & DecodeAll)};
    if (WorkerRuns(index)) WorkerQueuePost(&w->Results, result, ResultBytes);
  }
}

void CloseQueues(DecodeWorkerSlot* w) {
  PlatformSemaphoreDestroy(w->Commands.Semaphore);
  PlatformSemaphoreDestroy(w->Results.Semaphore);
  w->Commands.Semaphore = w->Results.Semaphore = nullptr;
}

// Posts parts of the movie's frame to a worker, answering into the given slot.
bool PostJob(Movie* m, uint32_t worker, uint32_t parts, uint32_t slot) {
  const uint64_t command = uint64_t(reinterpret_cast<uintptr_t>(m)) | parts << 1 | slot;
  if (!WorkerRuns(worker) || !WorkerQueuePost(&gWorkers[worker].Commands, &command, CommandBytes))
    return false;
  m->AsyncJob[slot] = JobBusy | JobUnanswered | worker;
  return true;
}

// Takes one answer from the worker of a slot; false when none came within the time limit. A
// worker that no longer runs will not answer: its job counts as answered.
bool CollectAnswer(Movie* m, uint32_t slot, uint32_t timeoutMs) {
  const uint32_t worker = m->AsyncJob[slot] & JobWorkerMask;
  if (!WorkerRuns(worker)) {
    m->AsyncJob[slot] &= ~JobUnanswered;
    return true;
  }
  WorkerQueue* results = &gWorkers[worker].Results;
  uint64_t result[2];
  if (!PlatformSemaphoreWait(results->Semaphore, timeoutMs) ||
      !WorkerQueueTake(results, result, ResultBytes))
    return false;
  if ((result[0] & ~CommandJobBits) == uint64_t(reinterpret_cast<uintptr_t>(m)))
    m->AsyncJob[result[0] & 1] &= ~JobUnanswered;
  return true;
}

}  // namespace

int WorkerQueuePost(WorkerQueue* q, const void* message, uint32_t bytes) {
  const uint32_t read = PlatformShared(q->ReadPos).load(std::memory_order_acquire);
  const uint32_t write = q->WritePos;  // written by this side only
  if (uint64_t(QueueUsed(read, write)) + bytes + WorkerQueueSpare > WorkerQueueBytes) return 0;
  const uint8_t* from = static_cast<const uint8_t*>(message);
  for (uint32_t i = 0; i < bytes; ++i) q->Ring[(write + i) % WorkerQueueBytes] = from[i];
  PlatformShared(q->WritePos).store((write + bytes) % WorkerQueueBytes, std::memory_order_release);
  if (PlatformSemaphoreRelease(q->Semaphore, 1)) return 1;
  // The count is full: the reader cannot reach this message without one, so take it back.
  PlatformShared(q->WritePos).store(write, std::memory_order_release);
  return 0;
}

int WorkerQueueTake(WorkerQueue* q, void* message, uint32_t bytes) {
  const uint32_t write = PlatformShared(q->WritePos).load(std::memory_order_acquire);
  const uint32_t read = q->ReadPos;  // written by this side only
  if (QueueUsed(read, write) < bytes) return 0;
  uint8_t* to = static_cast<uint8_t*>(message);
  for (uint32_t i = 0; i < bytes; ++i) to[i] = q->Ring[(read + i) % WorkerQueueBytes];
  PlatformShared(q->ReadPos).store((read + bytes) % WorkerQueueBytes, std::memory_order_release);
  return 1;
}

const WorkerQueue* DecodeWorkerQueue(uint32_t index, int results) {
  if (index >= MaxDecodeWorkers) return nullptr;
  return results ? &gWorkers[index].Results : &gWorkers[index].Commands;
}

int StartDecodeWorker(uint32_t index) {
  if (index >= MaxDecodeWorkers || WorkerRuns(index)) return 0;
  DecodeWorkerSlot* w = &gWorkers[index];
  *w = DecodeWorkerSlot{};
  w->Commands.Semaphore = PlatformSemaphoreCreate(0, QueueMaxMessages);
  w->Results.Semaphore = PlatformSemaphoreCreate(0, QueueMaxMessages);
  if (w->Commands.Semaphore && w->Results.Semaphore)
    w->Thread = PlatformThreadCreate(DecodeWorker, reinterpret_cast<void*>(uintptr_t(index)), 0, 0);
  if (!w->Commands.Semaphore || !w->Results.Semaphore || !w->Thread) {
    CloseQueues(w);
    return 0;
  }
  PlatformTimerPeriodBegin();
  PlatformShared(gWorkersStarted).fetch_or(1u << index, std::memory_order_release);
  return 1;
}

int StopDecodeWorker(uint32_t index) {
  if (!WorkerRuns(index)) return 0;
  DecodeWorkerSlot* w = &gWorkers[index];
  const uint64_t end = 0;
  while (!WorkerQueuePost(&w->Commands, &end, CommandBytes)) PlatformSleepMs(0);
  PlatformThreadJoin(w->Thread, PlatformWaitForever);
  PlatformThreadClose(w->Thread);
  w->Thread = nullptr;
  PlatformShared(gWorkersStarted).fetch_and(~(1u << index), std::memory_order_release);
  CloseQueues(w);
  PlatformTimerPeriodEnd();
  return 1;
}

void SetDualWorkers(bool dual) { gDualWorkers = dual; }

int AsyncDecodeStart(Movie* m) {
  if (!m || m->AsyncJob[0] || m->AsyncJob[1]) return 0;
  // Without two change maps the next frame would mark the map the copy of this one reads, so
  // then nothing decodes on another thread.
  const bool twoMaps = MovieAllocSpareChangeMap(m) != 0;
  if (!MovieFrameBegin(m, MovieTimerMs())) return 0;
  MovieSetCloseHook(AsyncDecodeWaitAll);
  const bool dual = gDualWorkers && WorkerRuns(1);
  uint32_t here = 0;  // the parts no worker took
  if (!twoMaps) {
    here = DecodeAll;
  } else {
    if (!PostJob(m, 0, dual ? DecodeLuma : DecodeAll, 0)) here |= dual ? DecodeLuma : DecodeAll;
    if (dual && !PostJob(m, 1, DecodeSoundAndRest, 1)) here |= DecodeSoundAndRest;
  }
  if (here) {
    MovieDecodeFrame(m, here);
    m->AsyncJob[m->AsyncJob[0] ? 1 : 0] = MainThreadJob;
  }
  return 1;
}

int AsyncDecodeWait(Movie* m) {
  if (!m || !(m->AsyncJob[0] | m->AsyncJob[1])) return 1;
  uint32_t timeoutMs = PlatformWaitForever;  // the first answer is waited for, later ones not
  for (uint32_t slot = 0; slot < 2; ++slot) {
    if (!(m->AsyncJob[slot] & JobUnanswered)) continue;
    if (!CollectAnswer(m, slot, timeoutMs)) break;
    timeoutMs = 0;
  }
  if ((m->AsyncJob[0] | m->AsyncJob[1]) & JobUnanswered) return 0;
  m->AsyncJob[0] = m->AsyncJob[1] = 0;
  MovieFrameEnd(m, MovieTimerMs());  // makes the decoded plane set current
  return 1;
}

void AsyncDecodeWaitAll(Movie* m) {
  while (!AsyncDecodeWait(m)) PlatformSleepMs(0);
}
