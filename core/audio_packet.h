// Decoding a track's audio packet into its ring of 16-bit sound, and sound on/off.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// Decodes the audio packet of `length` bytes at p0 (its decoded-byte count, then the coded
// blocks) into the track's ring; nothing outside [frameStart, frameEnd) is read. What does not
// fit in the ring is dropped.
void AudioDecodePacket(Movie* movie, AudioTrack* track, uint32_t length, const uint8_t* p0,
                       const uint8_t* frameStart, const uint8_t* frameEnd);

// Refills the ring with lead-in silence in front of what it holds.
void SoundLeadIn(AudioTrack* track);
