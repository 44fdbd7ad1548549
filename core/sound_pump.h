// Handing decoded sound from the tracks' rings to their sound channels.
#pragma once

#include <cstdint>

#include "platform/atomic.h"
#include "vexa/movie.h"

// A track's ring has one writer and one reader that may run at the same time: the decode (on a
// worker thread) moves PcmWrite, the pump (on the main or the sound service thread) moves PcmRead.
// Each position is published with release after the bytes it covers are written or taken, and
// read with acquire before those bytes are, so the other side always sees whole sound.
inline uint8_t* SoundRingLoad(uint8_t* const& position) {
  return PlatformShared(const_cast<uint8_t*&>(position)).load(std::memory_order_acquire);
}
inline void SoundRingStore(uint8_t*& position, uint8_t* value) {
  PlatformShared(position).store(value, std::memory_order_release);
}

// Moves what the channels can take now from every open track's ring (narrowing to 8 bits for
// 8-bit channels). Never blocks: returns when the SoundMutex is busy or no region is ready.
void SoundPump(Movie* movie);

// Hands every channel all the decoded sound it will take, partial chunks included (waits for the
// SoundMutex). The close calls it so that no decoded sample is lost, however short the movie.
void SoundPumpRest(Movie* movie);

// Bytes of decoded sound waiting in a track's ring.
uint32_t SoundRingUsed(const AudioTrack* track);

// The sound service's view of a movie: pumped once per pass, the longest-waiting movie first.
uint32_t SoundNodeNeed(ServiceNode* node, uint32_t pass);
void SoundNodeServe(ServiceNode* node, uint32_t pass);
