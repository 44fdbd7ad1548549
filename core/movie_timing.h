// Timing runs, lateness and the blit interval, shared by the frame-stepping calls.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// Starts a timing run at the current frame.
void MovieStartRun(Movie* movie, uint32_t now);
// How late the current frame is against the run, in ms (negative: early). The movie must have a
// non-zero FrameRate.
int32_t MovieLateness(const Movie* movie, uint32_t now);
// Ends the interval that began when the copy of the current frame started.
void MovieCloseBlitInterval(Movie* movie, uint32_t now);
