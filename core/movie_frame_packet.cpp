// Loading a frame's packet: from the preloaded data, or through the stream reader into the
// frame buffer.
#include <cstring>

#include "core/movie_header.h"
#include "core/movie_internal.h"
#include "core/sound_pump.h"
#include "platform/atomic.h"

static constexpr uint32_t kLoopResyncMs = 300000;  // five minutes

// Marks a loop resynchronisation due when playback comes back to frame 1 five minutes or more
// after the last one.
static void NoteLoopStart(Movie* m) {
  uint32_t now = MovieTimerMs();
  if (m->LoopResyncTime == 0) m->LoopResyncTime = now;
  if (now - m->LoopResyncTime > kLoopResyncMs) {
    m->LoopResyncTime = now;
    m->LoopResync = 1;
  }
}

void MovieLoadFramePacket(Movie* m, uint32_t frame) {
  uint32_t i = frame ? frame - 1 : 0;
  if (i >= m->Frames) i = m->Frames - 1;  // only stored frames have checked index entries
  m->SkipState = 0;
  if (m->NumOpenTracks) SoundPump(m);
  m->LastFrameNum = m->FrameNum;
  if (i == 0) NoteLoopStart(m);

  FrameLocation at = MovieLocateFrame(m->FrameIndex, i + 1);
  // A frame reaching past the data that really exists is cut there, and counts as a read error.
  const uint32_t from = m->Preloaded ? at.Offset - (m->FrameIndex[0] & ~1u) : 0;
  const uint32_t held = from < m->FrameDataBytes ? m->FrameDataBytes - from : 0;
  if (at.Bytes > held) {
    at.Bytes = held;
    PlatformShared(m->Reader.ReadError).store(1);
  }
  m->FrameOffset = at.Offset;
  m->FrameIsKey = at.IsKey;
  m->FrameBytes = at.Bytes;
  if (m->Preloaded) {
    m->FramePtr = m->Preloaded + (from < m->FrameDataBytes ? from : m->FrameDataBytes);
  } else {
    StreamReader* r = &m->Reader;
    uint32_t got = r->StreamReadFrame(r, i, at.Offset, m->FramePtr, at.Bytes);
    if (got > at.Bytes) got = at.Bytes;
    // Whatever was not delivered, and the padding after the packet, reads as zero.
    std::memset(m->FramePtr + got, 0, at.Bytes - got + MOVIE_FRAME_PADDING);
  }
  if (m->NumOpenTracks) SoundPump(m);
  m->FrameNum = i + 1;
}
