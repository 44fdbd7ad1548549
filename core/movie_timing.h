// Timing runs, lateness and the blit interval, shared by the frame-stepping calls.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// CopyStart once a frame has ended and before its copy starts: nothing to account yet.
constexpr uint32_t kCopyArmed = 0xFFFFFFFFu;

// Starts a timing run at the current frame.
void MovieStartRun(Movie* movie, uint32_t now);
// How late the current frame is against the run, in ms (negative: early). The movie must have a
// non-zero FrameRate.
int32_t MovieLateness(const Movie* movie, uint32_t now);
// Ends the interval that began when the copy of the current frame started.
void MovieCloseBlitInterval(Movie* movie, uint32_t now);
