// Geometry of a movie's picture planes and the video decoder's scratch sizes.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// The nine list-buffer sizes of the video decoder for a picture of the given width.

// Describes the planes (sizes, pitches, wanted flags; no pixels) for a picture of the file's
// size: one set for a one-frame movie, else two; the A plane only with OpenAlpha.
void MovieDescribePlanes(VideoPlanes* planes, uint32_t fileWidth, uint32_t fileHeight,
                         uint32_t frames, uint32_t openFlags);
// Bytes of one plane's buffer (pitch x rows).
uint32_t MoviePlaneBytes(const VideoPlanes* planes, int plane);
