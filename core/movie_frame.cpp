// One frame's decode, bracketed by MovieFrameBegin and MovieFrameEnd. MovieDecodeFrame splits the
// packet into the tracks' audio packets and the video data; it may run as two halves on two
// threads at once (luma; sound, chroma and alpha), so the totals it shares are updated atomically.
#include <cstring>
#include <utility>

#include "core/audio_packet.h"
#include "core/movie_header.h"
#include "core/movie_internal.h"
#include "core/movie_timing.h"
#include "core/sound_pump.h"
#include "platform/atomic.h"
#include "platform/mem.h"
#include "video/video_decoder.h"

namespace {

void AddShared(uint32_t& total, uint32_t amount) {
  PlatformShared(total).fetch_add(amount, std::memory_order_relaxed);
}

void RaiseShared(uint32_t& maximum, uint32_t value) {
  std::atomic_ref<uint32_t> shared = PlatformShared(maximum);
  uint32_t seen = shared.load(std::memory_order_relaxed);
  while (value > seen && !shared.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

// The 32-bit value at offset `at` of the packet; bytes past its end read as zero.
uint32_t PacketLe32(const uint8_t* packet, uint64_t bytes, uint64_t at) {
  uint8_t word[4] = {0, 0, 0, 0};
  for (uint64_t i = 0; i < 4 && at + i < bytes; ++i) word[i] = packet[at + i];
  return ReadLe32(word);
}

// Walks the audio part of the packet, decoding each open track's audio packet when asked;
// returns the offset at which the video data starts (past the packet when there is none).
uint64_t WalkAudio(Movie* m, bool decodeSound) {
  const uint8_t* packet = m->FramePtr;
  const uint64_t bytes = m->FrameBytes;
  uint64_t p = 0;
  for (uint32_t i = 0; i < m->NumTracks && p <= bytes; ++i) {
    uint32_t length = PacketLe32(packet, bytes, p);
    if (decodeSound && length != 0 && p + 4 <= bytes)
      for (uint32_t j = 0; j < m->NumOpenTracks; ++j)
        if (m->TrackIndices[j] == i)
          AudioDecodePacket(m, &m->Tracks[j], length, packet + p + 4, packet, packet + bytes);
    p += 4 + uint64_t(length);
  }
  return p;
}

// The decoder flags for this half: versions before 'i' decode all video in the call that
// decodes the sound; later ones split luma from chroma and alpha.
int VideoFlagsForHalf(const Movie* m, uint32_t what, uint32_t* flags) {
  *flags = m->OpenFlags;
  if (m->OpenFlags & MovieFlagPreI) {
    if ((what & DecodeAll) == DecodeLuma) return 0;
  } else {
    if (!(what & DecodeLuma)) *flags |= kVideoDecodeSkipLuma;
    if (!(what & DecodeSoundAndRest)) *flags = (*flags & ~OpenAlpha) | OpenGrayscale;
  }
  *flags |= kVideoDecodeKeepCurrent;
  return 1;
}

void DecodeVideo(Movie* m, uint32_t what, uint64_t videoStart) {
  uint32_t flags;
  if (!m->Planes || videoStart >= m->FrameBytes || !VideoFlagsForHalf(m, what, &flags))
    return;
  const bool secondHalf = (what & DecodeAll) == DecodeSoundAndRest;
  void* scratch = m->DecodeScratch[secondHalf ? 1 : 0];
  // The second half marks its own map (the luma half may be marking ChangeMapCur at the same
  // time); MovieFrameEnd merges it.
  uint8_t* map = m->ChangeMapCur;
  if (secondHalf && map && m->ChangeMapHalf) {
    map = m->ChangeMapHalf;
    PlatformShared(m->VideoDecoded).fetch_or(2, std::memory_order_relaxed);
  }
  uint32_t changed = VideoDecodeFrame(m->Planes, map, m->BlocksPerRow,
                                      m->FramePtr + videoStart,
                                      m->FramePtr + m->FrameBytes, m->DecodeScratchSizes, flags,
                                      m->VideoFlags, scratch);
  RaiseShared(m->ChangedPercentMax, changed);
  PlatformShared(m->VideoDecoded).fetch_or(1, std::memory_order_relaxed);
}

// Adds the second half's marks to the frame's change map and clears them for the next frame.
void MergeHalfMap(Movie* m) {
  if (!(m->VideoDecoded & 2) || !m->ChangeMapCur) return;
  for (uint32_t i = 0; i < m->ChangeMapBytes; ++i) m->ChangeMapCur[i] |= m->ChangeMapHalf[i];
  std::memset(m->ChangeMapHalf, 0, m->ChangeMapBytes);
}

// Makes the decoded set current, unless nothing of this frame's video was decoded (the other
// set then still holds the frame before the previous one).
void SwitchPlaneSet(Movie* m) {
  VideoPlanes* p = m->Planes;
  if (!p || !(m->VideoDecoded & 1)) return;
  uint32_t other = p->Current ^ 1;
  if (p->Sets[other][PlaneY].Pixels) p->Current = other;
}

void RecordSlowFrame(Movie* m, uint32_t now) {
  if (m->LastFrameEnd == 0) return;
  uint32_t dt = now - m->LastFrameEnd;
  if (dt > m->SlowestTime) {
    m->SecondSlowestTime = m->SlowestTime;
    m->SecondSlowestFrame = m->SlowestFrame;
    m->SlowestTime = dt;
    m->SlowestFrame = m->LastFinishedFrame;
  } else if (dt > m->SecondSlowestTime) {
    m->SecondSlowestTime = dt;
    m->SecondSlowestFrame = m->LastFinishedFrame;
  }
}

void WriteRings(Movie* m, uint32_t now) {
  const uint32_t at = m->RingPos;
  const StreamReader* r = &m->Reader;
  m->RingTime[at] = now;
  m->RingAudio[at] = m->AudioTime;
  m->RingVideo[at] = m->VideoTime;
  m->RingBlit[at] = m->BlitTime;
  m->RingForeground[at] = r->ForegroundTime;
  m->RingIdle[at] = r->IdleTime;
  m->RingBackground[at] = r->BackgroundTime;
}

}  // namespace

Movie* MovieFrameBegin(Movie* m, uint32_t now) {
  if (!m || m->LastFinishedFrame == m->FrameNum) return nullptr;
  if (m->Reader.ReadError) m->ReadError = 1;
  if (m->ReadError) return nullptr;
  MovieCloseBlitInterval(m, now);
  if (m->LoopResync) {
    m->LoopResync = 0;
    if (m->SoundOn) {
      MovieSoundOnOff(m, 0);
      MovieSoundOnOff(m, 1);
    }
    m->TimerBase = 0;
    m->PausedOffset = 0;
  }
  if (m->Paused) {
    m->TimerBase = 0;
    m->PausedOffset = 0;
  }
  m->SkipState = 0;
  m->Reader.Busy = 1;
  if (m->Planes && m->ChangeMap) {
    // After a dropped copy the marks carry over: with one map it simply is not cleared, with two
    // the new one starts from the last one's.
    if (!m->SkippedLast)
      std::memset(m->ChangeMap, 0, m->ChangeMapBytes);
    else if (m->ChangeMapLast && m->ChangeMapLast != m->ChangeMap)
      std::memcpy(m->ChangeMap, m->ChangeMapLast, m->ChangeMapBytes);
  }
  m->ChangedPercentMax = 0;
  m->VideoDecoded = 0;
  m->ChangeMapCur = m->ChangeMap;
  return m;
}

uint32_t MovieDecodeFrame(Movie* m, uint32_t what) {
  if (!m || !m->FramePtr) return 1;
  const uint32_t t0 = MovieTimerMs();
  uint64_t videoStart = WalkAudio(m, (what & DecodeSoundAndRest) != 0);
  const uint32_t t1 = MovieTimerMs();
  AddShared(m->AudioTime, t1 - t0);
  DecodeVideo(m, what, videoStart);
  AddShared(m->VideoTime, MovieTimerMs() - t1);
  return 1;
}

uint32_t MovieFrameEnd(Movie* m, uint32_t now) {
  if (!m) return 0;
  m->RingPos = (m->RingPos == 0 ? m->WindowFrames : m->RingPos) - 1;
  RecordSlowFrame(m, now);
  m->LastFrameEnd = now;
  WriteRings(m, now);
  if (m->StartTime == 0) {
    // The first frame: pretend the frame before it ended one frame time earlier, and do not
    // count the reading the open did.
    uint32_t previous = (m->RingPos + 1) % m->WindowFrames;
    m->RingTime[previous] =
        now - uint32_t(uint64_t(m->FileFrameRateDiv) * 1000 / m->FileFrameRate);
    m->StartTime = now ? now : 1;
    m->Reader.IdleTime = 0;
    m->Reader.BackgroundTime = 0;
  } else if (m->NumOpenTracks) {
    SoundPump(m);
  }
  MergeHalfMap(m);
  m->ChangeMapLast = m->ChangeMapCur;
  if (m->ChangeMapLast) m->NumRects = -1;
  // With two maps the next frame marks the other one, so that its MovieFrameBegin does not clear
  // the map the copy of this frame reads.
  if (m->ChangeMapSpare && m->ChangeMapSpare != m->ChangeMap && m->ChangeMapCur == m->ChangeMap)
    std::swap(m->ChangeMap, m->ChangeMapSpare);
  m->FramesPlayed++;
  if (m->TimerBase == 0) MovieStartRun(m, now);
  SwitchPlaneSet(m);
  m->CopyStart = kCopyArmed;
  m->LastFinishedFrame = m->LastFrameNum = m->FrameNum;
  m->ChangedPercent = m->ChangedPercentMax;
  m->Reader.Busy = 0;
  return 0;
}

uint8_t* MovieAllocChangeMap(Movie* m) {
  const uint32_t bytes = m->ChangeMapBytes + kChangeMapPadding;
  uint8_t* map = static_cast<uint8_t*>(MemAlloc(bytes));  // zero-filled: nothing marked yet
  if (map) m->TotalMemory += bytes;
  return map;
}

uint32_t MovieAllocSpareChangeMap(Movie* m) {
  if (!m) return 0;
  if (!m->ChangeMap) {
    m->ChangeMap = MovieAllocChangeMap(m);
    if (!m->ChangeMap) return 0;
    m->ChangedPercent = 100;  // no frame has marked it yet: the next copy converts everything
  }
  if (!m->ChangeMapSpare || m->ChangeMapSpare == m->ChangeMap) {
    uint8_t* spare = MovieAllocChangeMap(m);
    if (!spare) return 0;
    m->ChangeMapSpare = spare;  // a map that was both stays as ChangeMap
  }
  return 1;
}
