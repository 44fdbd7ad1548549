// What the back ends read from the movie whose track they open: the movie's total amount of
// sound and the largest region the track's ring can deliver in one go.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// The movie's whole sound in bytes at bytesPerSecond: Frames x FrameRateDiv x bytesPerSecond /
// FrameRate, computed in 64 bits and saturated to 0xFFFFFFFF (a total that wrapped would make a
// long movie look short, or empty); bytesPerSecond alone when the movie has no frame rate.
uint32_t SoundMovieTotalBytes(const Movie* movie, uint32_t bytesPerSecond);

// The track's index in the movie's track table while the core opens it (the slot after the open
// ones) or after; WAV_NO_TRACK when the track is not one of the movie's slots.
uint32_t SoundTrackFileIndex(const AudioTrack* track, const Movie* movie);

// Device bytes of the largest region to hand out: at most limit, and at most an eighth of the
// track's largest decoded packet (halved for 8-bit devices), in whole sample frames. The core hands
// a region over only when more than a region's worth of 16-bit sound waits in the ring, and the
// ring holds about 5/4 of that packet: a larger region would stall the pump until the end zone.
uint32_t SoundRegionLimit(const AudioTrack* track, const Movie* movie, uint32_t bits,
                          uint32_t frameBytes, uint32_t limit);
