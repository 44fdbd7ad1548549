// Timing runs and the blit interval, shared by the frame-stepping calls.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// Ends the interval that began when the copy of the current frame started.
void MovieCloseBlitInterval(Movie* movie, uint32_t now);
