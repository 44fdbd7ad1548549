// The movie container: header acceptance, the frame index scan and locating a frame's packet.
#pragma once

#include <cstdint>

#include "vexa/movie.h"

// Error texts of the open.
extern const char* const kMovieErrorNotVexa;
extern const char* const kMovieErrorNoFrames;
extern const char* const kMovieErrorCorruptHeader;
extern const char* const kMovieErrorReadingHeader;
extern const char* const kMovieErrorBadFrameSizes;
extern const char* const kMovieErrorOpeningFile;
extern const char* const kMovieErrorOutOfMemory;

// Decodes the 44 little-endian header bytes.
void MovieParseHeader(const uint8_t bytes[MOVIE_HEADER_BYTES], MovieHeader* header);
// Checks magic, version, frame count and limits in order; null when the header is acceptable,
// else the error text.
const char* MovieCheckHeader(const MovieHeader* header);
// Open flags that the version letter adds (MovieFlagPreI, MovieFlagSwapUV).
uint32_t MovieVersionFlags(char version);
// The file's frames per second rounded to a whole number, at least 1.
uint32_t MovieRoundedFps(uint32_t frameRate, uint32_t frameRateDiv);
// Frames of the statistics window: the file's rounded frames per second, at most this many.
constexpr uint32_t kMaxWindowFrames = 1024;
// Bytes of the track tables and index that follow the header.
uint64_t MovieTablesBytes(uint32_t numTracks, uint32_t indexEntries);

struct FrameIndexScan {
  uint32_t PeakSecondBytes;
  uint32_t PeakSecondFrame;  // 0-based frame where the peak window starts
  uint32_t AllKeyFrames;
  uint32_t LargestFrameBytes;  // the largest stored frame, as the index measures it
};

// Checks that entries 0..frames increase, that no frame lies beyond fileLength or is larger
// than largestFrame, and measures the peak window of `window` frames. 0 = bad index.
int MovieScanFrameIndex(const uint32_t* index, uint32_t frames, uint32_t window,
                        uint64_t fileLength, uint32_t largestFrame, FrameIndexScan* result);

struct FrameLocation {
  uint32_t Offset;
  uint32_t Bytes;
  uint32_t IsKey;
};
// Locates a 1-based frame (0 means 1) in a scanned index.
FrameLocation MovieLocateFrame(const uint32_t* index, uint32_t frame);

inline uint32_t ReadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
