// A WAV sink into a caller's fixed buffer.
#include <cstring>

#include "vexa/sound.h"

static int MemoryWriteAt(void* user, uint64_t offset, const uint8_t* bytes, uint32_t count) {
  WavMemory* m = static_cast<WavMemory*>(user);
  if (offset > m->Capacity || count > m->Capacity - offset) return 0;
  if (count == 0) return 1;
  std::memcpy(m->Data + offset, bytes, count);
  if (offset + count > m->Size) m->Size = offset + count;
  return 1;
}

static void MemoryClose(void* user, int complete) {
  WavMemory* m = static_cast<WavMemory*>(user);
  m->Closes++;
  m->Complete = complete ? 1 : 0;
}

void WavMemorySink(WavMemory* memory, WavSink* sink) {
  memory->Size = 0;
  memory->Closes = 0;
  memory->Complete = 0;
  sink->WriteAt = MemoryWriteAt;
  sink->Close = MemoryClose;
  sink->User = memory;
}
