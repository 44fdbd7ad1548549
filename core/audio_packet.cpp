#include "core/audio_packet.h"

#include <cstring>

#include "audio/audio_decoder.h"
#include "core/movie_header.h"
#include "core/movie_internal.h"
#include "core/sound_pump.h"
#include "platform/platform.h"

namespace {

// Room the ring has for new sound, keeping 16 bytes between writer and reader.
uint32_t RingRoom(const AudioTrack* t) {
  uint32_t room = (t->PcmRingBytes - SoundRingUsed(t)) & ~15u;
  return room > 16 ? room - 16 : room;
}

void WriteToRing(AudioTrack* t, const uint8_t* pcm, uint32_t n) {
  uint8_t* write = t->PcmWrite;  // only this side moves it
  while (n > 0) {
    uint32_t piece = uint32_t(t->PcmRingEnd - write);
    if (piece > n) piece = n;
    std::memcpy(write, pcm, piece);
    write += piece;
    if (write >= t->PcmRingEnd) write = t->PcmRing;
    pcm += piece;
    n -= piece;
  }
  SoundRingStore(t->PcmWrite, write);
}

}  // namespace

void AudioDecodePacket(Movie*, AudioTrack* t, uint32_t length, const uint8_t* p0,
                       const uint8_t* frameStart, const uint8_t* frameEnd) {
  AudioBlockDecoder* decoder = static_cast<AudioBlockDecoder*>(t->Decoder);
  const uintptr_t start = reinterpret_cast<uintptr_t>(frameStart);
  const uintptr_t limit = reinterpret_cast<uintptr_t>(frameEnd);
  const uintptr_t packet = reinterpret_cast<uintptr_t>(p0);
  if (!decoder || packet < start || packet + 4 > limit) return;
  uint32_t remaining = ReadLe32(p0);
  // The blocks' end lies 4 bytes past the packet (p0 + 4 + length). A packet that itself runs
  // past the frame is not decoded; one that ends the frame has its blocks' end cut to the
  // frame's end, so that its sound is not lost and nothing past the frame is read.
  if (remaining == 0 || uint64_t(packet) + length > limit) return;
  const uint64_t blocksEnd = uint64_t(packet) + 4 + length;
  const uint8_t* end = blocksEnd > limit ? frameEnd : p0 + 4 + length;
  uint32_t room = RingRoom(t);
  const uint8_t* p = p0 + 4;
  while (remaining > 0 && p < end) {
    uint32_t consumed = AudioDecodeBlock(decoder, p, end);
    AudioJoinBlock(decoder);
    uint32_t out = AudioBlockOutputBytes(decoder);
    if (out > remaining) out = remaining;
    remaining -= out;
    uint32_t store = out < room ? out : room;
    WriteToRing(t, reinterpret_cast<const uint8_t*>(decoder->PcmBuffer), store);
    room -= store;  // later blocks must not overwrite sound not yet handed on
    if (consumed == 0) break;
    p += consumed;
  }
}

void SoundLeadIn(AudioTrack* t) {
  uint32_t used = SoundRingUsed(t);
  if (used >= t->LeadInBytes) return;
  uint32_t silence = t->LeadInBytes - used;
  uint8_t* read = t->PcmRead;
  while (silence > 0) {
    if (read == t->PcmRing) read = t->PcmRingEnd;
    uint32_t piece = uint32_t(read - t->PcmRing);
    if (piece > silence) piece = silence;
    read -= piece;
    std::memset(read, 0, piece);
    silence -= piece;
  }
  SoundRingStore(t->PcmRead, read);
}

uint32_t MovieSoundOnOff(Movie* m, uint32_t on) {
  if (!m || m->NumOpenTracks == 0) return 0;
  PlatformMutex* mutex = MovieSoundMutex(m);
  bool locked = false;
  const uint32_t wasOn = m->SoundOn;
  uint32_t anyOn = 0;
  for (uint32_t k = 0; k < m->NumOpenTracks; ++k) {
    AudioTrack* t = &m->Tracks[k];
    if (!t->Ops.SoundOnOff) continue;
    if (mutex && !locked) PlatformMutexLock(mutex), locked = true;
    if (t->Ops.SoundOnOff(t, int(on))) {
      anyOn = 1;
    } else if (wasOn) {
      // Off: drop what is queued and put lead-in silence in front of the sound to come.
      t->PcmWrite = t->PcmRead = t->PcmRing;
      if (!(m->FrameNum == 1 && m->LastFinishedFrame != 1)) SoundLeadIn(t);
    }
  }
  if (anyOn && !wasOn) {
    m->SoundOn = 1;
    m->TimerBase = 0;
    m->PausedOffset = 0;
  } else if (!anyOn && wasOn) {
    m->SoundOn = 0;
  }
  if (locked) PlatformMutexUnlock(mutex);
  return anyOn;
}
