// Frame delivery from the read-ahead ring and the one-chunk fills that keep it supplied.
//
// The ring is a single-producer, single-consumer queue: fills (under the reader's lock) append
// whole 128 KB slots at WritePtr; the consumer takes bytes at ReadPtr and may do so without the
// lock. Used and Free change only by atomic additions: the consumer moves ReadPtr before it
// gives bytes back (Used -= n), and a fill writes a slot before it publishes it (Used += n).
#include <cstring>

#include "io/stream_file.h"
#include "platform/platform.h"
#include "vexa/movie.h"

namespace {

// Copies up to want bytes out of the ring; returns how many.
uint32_t StreamTakeFromRing(StreamReader* r, uint8_t* dest, uint32_t want) {
  const uint32_t used = PlatformShared(r->Used).load(std::memory_order_acquire);
  const uint32_t n = used < want ? used : want;
  uint32_t copied = 0;
  while (copied < n) {
    const uint32_t toEnd = static_cast<uint32_t>(r->RingEnd - r->ReadPtr);
    const uint32_t piece = n - copied < toEnd ? n - copied : toEnd;
    std::memcpy(dest + copied, r->ReadPtr, piece);
    r->ReadPtr += piece;
    if (r->ReadPtr >= r->RingEnd) r->ReadPtr = r->RingStart;
    r->ConsumerPos += piece;
    copied += piece;
    PlatformShared(r->Used).fetch_sub(piece, std::memory_order_release);
    PlatformShared(r->Free).fetch_add(piece, std::memory_order_release);
  }
  return n;
}

// Moves the consumer to offset (lock held): a step forward over bytes the ring holds only
// skips them; anything else empties the ring and seeks the file. 0 = the seek failed.
int StreamJump(StreamReader* r, uint32_t offset) {
  const uint32_t used = PlatformShared(r->Used).load();
  if (offset > r->ConsumerPos && offset <= r->FilePos && offset - r->ConsumerPos <= used) {
    const uint32_t skip = offset - r->ConsumerPos;
    r->ConsumerPos = offset;
    uint32_t at = static_cast<uint32_t>(r->ReadPtr - r->RingStart) + skip;
    if (at >= r->BufSize) at -= r->BufSize;
    r->ReadPtr = r->RingStart + at;
    PlatformShared(r->Used).fetch_sub(skip);
    PlatformShared(r->Free).fetch_add(skip);
    return 1;
  }
  StreamEmptyRing(r);
  if (!StreamSeekFile(r, offset)) return 0;
  r->FilePos = offset;
  r->ConsumerPos = offset;
  return 1;
}

// Reads the rest of a frame straight from the file (lock held, ring empty). Never reads past
// the movie's end: what lies beyond it is a short read.
uint32_t StreamReadDirect(StreamReader* r, uint8_t* dest, uint32_t want) {
  if (r->File == nullptr) {
    PlatformShared(r->ReadError).store(1);
    return 0;
  }
  const uint32_t start = MovieTimerMs();
  const uint32_t left = StreamBytesLeft(r, r->FilePos);
  const uint32_t ask = want < left ? want : left;
  const uint32_t got = ask > 0 ? StreamFileAccess()->Read(StreamFileOf(r), dest, ask) : 0;
  if (got < want) PlatformShared(r->ReadError).store(1);
  r->FilePos += got;
  r->ConsumerPos += got;
  r->BytesRead += got;
  StreamSimulateDelay(r, got, start);
  r->ReadTime += MovieTimerMs() - start;
  return got;
}

// Adds a fill's duration to the statistics: idle when the movie was not busy at either end.
void StreamCountFillTime(StreamReader* r, uint32_t start, uint32_t busyAtStart) {
  const uint32_t duration = MovieTimerMs() - start;
  r->ReadTime += duration;
  if (busyAtStart == 0 && PlatformShared(r->Busy).load() == 0) {
    r->IdleTime += duration;
  } else {
    r->BackgroundTime += duration;
  }
}

}  // namespace

void StreamUpdateFillTarget(StreamReader* r) {
  const uint32_t left = StreamBytesLeft(r, r->ConsumerPos);
  uint32_t target = left < r->BufSize ? left : r->BufSize;
  const uint32_t used = PlatformShared(r->Used).load();
  if (uint64_t{used} + STREAM_CHUNK_BYTES > target) target = used;
  PlatformShared(r->FillTarget).store(target);
}

uint32_t StreamReadFrame(StreamReader* r, uint32_t, uint32_t offset, void* dest, uint32_t size) {
  if (PlatformShared(r->ReadError).load() != 0) return 0;
  const uint32_t start = MovieTimerMs();
  uint8_t* out = static_cast<uint8_t*>(dest);
  uint32_t done = 0;
  bool locked = false;
  if (offset != STREAM_CONTINUE && offset != r->ConsumerPos) {
    StreamLock(r);
    locked = true;
    if (!StreamJump(r, offset)) {
      PlatformShared(r->ReadError).store(1);
      StreamUnlock(r);
      return 0;
    }
  }
  for (;;) {
    done += StreamTakeFromRing(r, out + done, size - done);
    if (done == size) break;
    if (locked) {
      done += StreamReadDirect(r, out + done, size - done);
      break;
    }
    // Under the lock no fill runs: whatever a fill added meanwhile is taken first, then the
    // rest comes straight from the file.
    StreamLock(r);
    locked = true;
  }
  r->ForegroundTime += MovieTimerMs() - start;
  StreamUpdateFillTarget(r);
  if (locked) StreamUnlock(r);
  return done;
}

uint32_t StreamFill(StreamReader* r, uint32_t) {
  if (PlatformShared(r->ReadError).load() != 0 || PlatformShared(r->Suspended).load() != 0) {
    return 0;
  }
  if (!StreamTryLock(r)) {
    if (r->ReaderYield != nullptr) r->ReaderYield(r);
    return STREAM_FILL_BUSY;
  }
  const uint32_t start = MovieTimerMs();
  const uint32_t busyAtStart = PlatformShared(r->Busy).load();
  const uint32_t left = StreamBytesLeft(r, r->FilePos);
  const uint32_t used = PlatformShared(r->Used).load(std::memory_order_acquire);
  if (PlatformShared(r->Free).load() < STREAM_CHUNK_BYTES || left == 0 || r->File == nullptr) {
    PlatformShared(r->FillTarget).store(used);
    StreamUnlock(r);
    return 0;
  }
  const uint32_t chunk = left < STREAM_CHUNK_BYTES ? left : STREAM_CHUNK_BYTES;
  // After a jump to an unaligned offset the data keeps its offset within the slot, so that the
  // following fills read whole, aligned chunks.
  uint32_t skip = r->FilePos % STREAM_CHUNK_BYTES;
  if (skip > chunk || chunk == left) skip = 0;
  // An empty ring delivers from where this fill writes.
  if (used == 0) r->ReadPtr = r->WritePtr + skip;

  PlatformShared(r->Reading).store(1);
  const uint32_t want = chunk - skip;
  const uint32_t got = StreamFileAccess()->Read(StreamFileOf(r), r->WritePtr + skip, want);
  PlatformShared(r->Reading).store(0);
  if (got < want) PlatformShared(r->ReadError).store(1);
  if (got > 0) {
    r->BytesRead += got;
    r->FilePos += got;
    r->WritePtr += STREAM_CHUNK_BYTES;
    if (r->WritePtr >= r->RingEnd) r->WritePtr = r->RingStart;
    PlatformShared(r->Free).fetch_sub(got);
    const uint32_t nowUsed =
        PlatformShared(r->Used).fetch_add(got, std::memory_order_release) + got;
    if (nowUsed > PlatformShared(r->HighUsed).load()) PlatformShared(r->HighUsed).store(nowUsed);
    StreamSimulateDelay(r, got, start);
    StreamCountFillTime(r, start, busyAtStart);
  }
  StreamUnlock(r);
  return got;
}
