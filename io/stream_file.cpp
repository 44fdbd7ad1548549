// Opening and closing the built-in reader, the synchronous header reads, the ring geometry and
// the background switch.
#include "io/stream_file.h"

#include <cstring>

#include "platform/platform.h"
#include "vexa/movie.h"

namespace {

const StreamFileOps kPlatformFileOps = {PlatformFileRead, PlatformFileSeek};
std::atomic<const StreamFileOps*> gFileOps{&kPlatformFileOps};

// Opens the file a handle or a name refers to. A handle's current position becomes the movie's
// offset 0; the handle stays the caller's.
PlatformFile* StreamOpenSource(StreamReader* r, const void* name, uint32_t openFlags) {
  if ((openFlags & OpenFromHandle) == 0) {
    return name != nullptr ? PlatformFileOpenRead(static_cast<const char*>(name)) : nullptr;
  }
  PlatformFile* file = PlatformFileFromHandle(name);
  if (file == nullptr) return nullptr;
  const int64_t position = PlatformFileTell(file);
  if (position < 0 || position > static_cast<int64_t>(UINT32_MAX)) {
    PlatformFileClose(file);  // leaves the caller's handle open
    return nullptr;
  }
  r->DontClose = 1;
  r->BaseOffset = static_cast<uint32_t>(position);
  return file;
}

}  // namespace

void StreamUseFileOps(const StreamFileOps* ops) {
  gFileOps.store(ops != nullptr ? ops : &kPlatformFileOps);
}

const StreamFileOps* StreamFileAccess() { return gFileOps.load(std::memory_order_relaxed); }

int StreamOpenFile(StreamReader* reader, const void* name, uint32_t openFlags) {
  if (reader == nullptr) return 0;
  std::memset(reader, 0, sizeof(*reader));
  PlatformFile* file = StreamOpenSource(reader, name, openFlags);
  if (file == nullptr) {
    reader->DontClose = 0;
    reader->BaseOffset = 0;
    return 0;
  }
  reader->File = file;
  // The movie's real length (past the handle's position), so that the open can hold the
  // header's claims against it; 0 when the platform cannot tell.
  const int64_t size = PlatformFileSize(file);
  if (size > int64_t(reader->BaseOffset)) {
    const uint64_t length = uint64_t(size) - reader->BaseOffset;
    reader->FileLength = length > UINT32_MAX ? UINT32_MAX : uint32_t(length);
  }
  reader->StreamReadAt = StreamReadAt;
  reader->StreamReadFrame = StreamReadFrame;
  reader->StreamBufferSize = StreamBufferSize;
  reader->StreamSetBuffer = StreamSetBuffer;
  reader->StreamFill = StreamFill;
  reader->StreamClose = StreamClose;
  reader->StreamBackground = StreamBackground;
  return 1;
}

int StreamSeekFile(StreamReader* r, uint32_t offset) {
  if (r->File == nullptr) return 0;
  const int64_t position = static_cast<int64_t>(r->BaseOffset) + offset;
  return StreamFileAccess()->Seek(StreamFileOf(r), position);
}

void StreamEmptyRing(StreamReader* r) {
  PlatformShared(r->Used).store(0);
  PlatformShared(r->Free).store(r->BufSize);
  r->ReadPtr = r->RingStart;
  r->WritePtr = r->RingStart;
}

uint32_t StreamReadAt(StreamReader* r, uint32_t offset, void* dest, uint32_t size) {
  StreamLock(r);
  uint32_t got = 0;
  if (r->File == nullptr ||
      (offset != STREAM_CONTINUE && offset != r->FilePos && !StreamSeekFile(r, offset))) {
    PlatformShared(r->ReadError).store(1);
  } else {
    if (offset != STREAM_CONTINUE) r->FilePos = offset;
    // Offsets are 32-bit: a read that would run past 4 GB is cut short there.
    const uint32_t room = UINT32_MAX - r->FilePos;
    const uint32_t want = size < room ? size : room;
    if (want > 0) got = StreamFileAccess()->Read(StreamFileOf(r), dest, want);
    if (got < size) PlatformShared(r->ReadError).store(1);
    r->FilePos += got;
  }
  // The file position moved past whatever the ring held: it restarts from here.
  r->ConsumerPos = r->FilePos;
  StreamEmptyRing(r);
  const uint32_t left = StreamBytesLeft(r, r->ConsumerPos);
  PlatformShared(r->FillTarget).store(left < r->BufSize ? left : r->BufSize);
  StreamUnlock(r);
  return got;
}

uint32_t StreamBufferSize(StreamReader*, uint32_t wanted) {
  // Whole chunks plus room to align the ring; kept within 32 bits.
  const uint64_t chunks = (static_cast<uint64_t>(wanted) + STREAM_CHUNK_BYTES - 1) / STREAM_CHUNK_BYTES;
  uint64_t bytes = chunks * STREAM_CHUNK_BYTES + STREAM_RING_ALIGN;
  if (bytes > UINT32_MAX) {
    bytes = uint64_t{UINT32_MAX} / STREAM_CHUNK_BYTES * STREAM_CHUNK_BYTES + STREAM_RING_ALIGN;
  }
  return bytes > STREAM_MIN_BUFFER ? static_cast<uint32_t>(bytes) : STREAM_MIN_BUFFER;
}

void StreamSetBuffer(StreamReader* r, void* buffer, uint32_t size, uint32_t fileLength,
                     uint32_t simRate) {
  StreamLock(r);
  uint8_t* start = nullptr;
  uint32_t usable = 0;
  if (buffer != nullptr) {
    const uintptr_t raw = reinterpret_cast<uintptr_t>(buffer);
    const uintptr_t shift = (STREAM_RING_ALIGN - raw % STREAM_RING_ALIGN) % STREAM_RING_ALIGN;
    start = static_cast<uint8_t*>(buffer) + shift;
    // The ring must end inside the caller's buffer, whatever its alignment.
    usable = size > shift ? size - static_cast<uint32_t>(shift) : 0;
  }
  r->BufSize = usable / STREAM_CHUNK_BYTES * STREAM_CHUNK_BYTES;
  r->RingStart = r->BufSize != 0 ? start : nullptr;
  r->RingEnd = r->RingStart != nullptr ? r->RingStart + r->BufSize : nullptr;
  StreamEmptyRing(r);
  r->FileLength = fileLength;
  r->SimRate = simRate;
  r->SimDebt = 0;
  StreamUpdateFillTarget(r);
  StreamUnlock(r);
}

void StreamClose(StreamReader* r) {
  StreamLock(r);
  // PlatformFileClose leaves a borrowed handle (DontClose) open and frees only our record of it.
  if (r->File != nullptr) PlatformFileClose(StreamFileOf(r));
  r->File = nullptr;
  StreamUnlock(r);
}

uint32_t StreamBackground(StreamReader* r, uint32_t op) {
  const bool wait = (op & STREAM_BG_WAIT) != 0;
  if (op & STREAM_BG_SUSPEND) {
    PlatformShared(r->Suspended).store(1);
    if (wait) {
      // A running fill holds the lock; without lock operations watch its Reading flag.
      StreamLock(r);
      StreamUnlock(r);
      while (PlatformShared(r->Reading).load() != 0) PlatformSleepMs(1);
    }
  }
  if (op & STREAM_BG_RESUME) {
    PlatformShared(r->Suspended).store(0);
    if (wait) StreamFill(r, 0);
  }
  return PlatformShared(r->Suspended).load();
}
