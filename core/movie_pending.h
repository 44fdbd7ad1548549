// The settings a caller makes before MovieOpen, and the last-error text.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

constexpr uint32_t kMaxPendingTracks = 1024;

// Values for the next open on the same thread; every open takes them all and resets them.
struct PendingOpenValues {
  uint32_t FrameRate = MOVIE_PENDING_NONE;
  uint32_t FrameRateDiv = 1;
  uint32_t TrackCount = 1;
  uint32_t TrackIds[kMaxPendingTracks] = {0};
  uint32_t IoBufferSize = MOVIE_PENDING_NONE;
  uint32_t SimulatedSpeed = MOVIE_PENDING_NONE;
  uint32_t ImageSize = MOVIE_PENDING_NONE;
  StreamOpener StreamOpen = nullptr;
};

// The calling thread's pending values.
PendingOpenValues* MoviePending();
// Copies the calling thread's pending values into *taken and resets them to their defaults.
void MovieTakePending(PendingOpenValues* taken);
// Back to a single track with identifier 0.
void MovieResetPendingTrackList();

// Process-wide settings: the sound back end's channel opener and the player's close hook.
SoundOpenFunction MovieSoundOpener();
MovieCloseHookFunc MovieCloseHook();

// The calling thread's last-error text: empties it, or sets it (kept to 255 characters).
void MovieClearError();
int MovieHasError();
