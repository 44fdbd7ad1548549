// Process-wide settings that a caller makes before MovieOpen, and the last-error text.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

constexpr uint32_t kMaxPendingTracks = 1024;

struct PendingOpenValues {
  uint32_t FrameRate = MOVIE_PENDING_NONE;
  uint32_t FrameRateDiv = 1;
  uint32_t TrackCount = 1;
  uint32_t TrackIds[kMaxPendingTracks] = {0};
  uint32_t IoBufferSize = MOVIE_PENDING_NONE;
  uint32_t SimulatedSpeed = MOVIE_PENDING_NONE;
  uint32_t ImageSize = MOVIE_PENDING_NONE;
  StreamOpener StreamOpen = nullptr;
  SoundOpenFunction SoundOpen = nullptr;
  MovieCloseHookFunc CloseHook = nullptr;
};

// The pending values; MovieOpen reads and resets them.
PendingOpenValues* MoviePending();
// Back to a single track with identifier 0.
void MovieResetPendingTrackList();

// The last-error text: empties it, or sets it (kept to 255 characters).
void MovieClearError();
int MovieHasError();
