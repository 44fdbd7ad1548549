// Functions the core's files share with each other (and with tests).
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// Track selection (the first file track of each identifier, in list order) and opening, as part
// of the open.
void MovieSelectTracks(Movie* movie, const uint32_t* ids, uint32_t count);
void MovieOpenTracks(Movie* movie);
// Closes every open track's channel and frees its decoder and ring.
void MovieCloseTracks(Movie* movie);
// Sound tracks open in all movies of the process.
uint32_t MovieOpenSoundTracks();


// A zero-filled change map of ChangeMapBytes plus padding (the copy reads past a row's end),
// counted in TotalMemory; null when the allocation fails.
constexpr uint32_t kChangeMapPadding = 16;
uint8_t* MovieAllocChangeMap(Movie* movie);

// The movie's SoundMutex (null while the movie has not joined the sound service).
inline PlatformMutex* MovieSoundMutex(Movie* movie) { return movie->SoundNode.NodeMutex; }
