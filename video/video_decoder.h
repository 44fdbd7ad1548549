// The video decoder: the video data of one frame packet into the planes of a VideoPlanes record.
#pragma once

#include <cstdint>

#include "vexa/movie.h"
#include "vexa/planes.h"

// Per-frame bits the caller adds to the open flags it hands to VideoDecodeFrame.
constexpr uint32_t kVideoDecodeKeepCurrent = 0x00000100u;  // leave Current alone (caller switches)
constexpr uint32_t kVideoDecodeSkipLuma = 0x00000200u;     // decode chroma and alpha only

// Bytes of scratch storage one VideoDecodeFrame call needs, for the nine bundle-buffer sizes the
// movie computed at open (VideoBundleBufferSizes). Calls that may run at the same time (the two
// halves of a split decode) each need their own scratch.
uint64_t VideoScratchBytes(const uint64_t scratchSizes[9]);

// Decodes the video data [data, end) of one frame into the plane set that is not Current (into
// Current itself in a one-frame movie), marks changed 16x16 areas in changeMap (rows of
// changeMapStride bytes; may be none) and returns the percentage of changed blocks, 0..100.
// frameFlags are the open flags plus kVideoDecodeKeepCurrent / kVideoDecodeSkipLuma; videoFlags
// are the file header's.
// Damaged data is never an error: what cannot be decoded is left as it was. Nothing is decoded
// when the planes record is unusable or the scratch sizes are too small for its width.
uint32_t VideoDecodeFrame(VideoPlanes* planes, uint8_t* changeMap, uint32_t changeMapStride,
                          const uint8_t* data, const uint8_t* end,
                          const uint64_t scratchSizes[9], uint32_t frameFlags,
                          uint32_t videoFlags, void* scratch);
