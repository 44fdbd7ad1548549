// Handing decoded sound from the tracks' rings to their sound channels.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// Moves what the channels can take now from every open track's ring (narrowing to 8 bits for
// 8-bit channels). Never blocks: returns when the SoundMutex is busy or no region is ready.
void SoundPump(Movie* movie);

// Bytes of decoded sound waiting in a track's ring.
uint32_t SoundRingUsed(const AudioTrack* track);

// The sound service's view of a movie: pumped once per pass, the longest-waiting movie first.
uint32_t SoundNodeNeed(ServiceNode* node, uint32_t pass);
void SoundNodeServe(ServiceNode* node, uint32_t pass);
