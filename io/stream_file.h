// The built-in stream reader: a movie's file input with a ring-shaped read-ahead buffer.
// StreamOpenFile (declared in vexa/movie.h) fills a StreamReader's operation table with these.
#pragma once

#include <cstdint>

#include "platform/atomic.h"
#include "vexa/stream.h"

struct PlatformFile;

// The file access the reader uses; replaceable so that tests can count or fail reads.
struct StreamFileOps {
  uint32_t (*Read)(PlatformFile* file, void* dest, uint32_t size);
  int (*Seek)(PlatformFile* file, int64_t offset);  // absolute; 1 = done
};
// Makes every reader use ops (null = the platform's files). The table must outlive its use.
void StreamUseFileOps(const StreamFileOps* ops);
const StreamFileOps* StreamFileAccess();

// The seven operations of the built-in reader.
uint32_t StreamReadAt(StreamReader* r, uint32_t offset, void* dest, uint32_t size);
uint32_t StreamReadFrame(StreamReader* r, uint32_t frameIndex, uint32_t offset, void* dest,
                         uint32_t size);
uint32_t StreamBufferSize(StreamReader* r, uint32_t wanted);
void StreamSetBuffer(StreamReader* r, void* buffer, uint32_t size, uint32_t fileLength,
                     uint32_t simRate);
uint32_t StreamFill(StreamReader* r, uint32_t pass);
void StreamClose(StreamReader* r);
uint32_t StreamBackground(StreamReader* r, uint32_t op);

// Makes the caller wait until a read of bytes that began at start (MovieTimerMs) has taken as
// long as the simulated device speed asks. Does nothing when SimRate is 0.
void StreamSimulateDelay(StreamReader* r, uint32_t bytes, uint32_t start);

// Helpers shared by the reader's files.

// The reader's lock operations, used only when they are set (none during the header reads).
inline void StreamLock(StreamReader* r) {
  if (r->ReaderLock != nullptr) r->ReaderLock(r);
}
inline int StreamTryLock(StreamReader* r) {
  return r->ReaderTryLock != nullptr ? r->ReaderTryLock(r) : 1;
}
inline void StreamUnlock(StreamReader* r) {
  if (r->ReaderUnlock != nullptr) r->ReaderUnlock(r);
}

// The opener's file object.
inline PlatformFile* StreamFileOf(const StreamReader* r) {
  return static_cast<PlatformFile*>(r->File);
}

// Bytes of the movie from pos to its end (0 at or past the end).
inline uint32_t StreamBytesLeft(const StreamReader* r, uint32_t pos) {
  return pos < r->FileLength ? r->FileLength - pos : 0;
}

// Seeks the file to the movie offset (relative to BaseOffset); 0 = failed.
int StreamSeekFile(StreamReader* r, uint32_t offset);
// Empties the ring: everything free, delivery and fills start at the ring's start.
void StreamEmptyRing(StreamReader* r);
// Sets FillTarget after the consumer moved: what is left of the movie, at most the ring; less
// than one chunk of room left counts as full.
void StreamUpdateFillTarget(StreamReader* r);
