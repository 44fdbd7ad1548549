#include "core/movie_header.h"

const char* const kMovieErrorNotVexa = "Not a Vexa file.";
const char* const kMovieErrorNoFrames = "The file doesn't contain any compressed frames yet.";
const char* const kMovieErrorCorruptHeader = "The file has a corrupt header.";
const char* const kMovieErrorReadingHeader = "Error reading Vexa header.";
const char* const kMovieErrorBadFrameSizes = "This file has bad frame size data.";
const char* const kMovieErrorOpeningFile = "Error opening file.";
const char* const kMovieErrorOutOfMemory = "Out of memory.";

void MovieParseHeader(const uint8_t bytes[MOVIE_HEADER_BYTES], MovieHeader* h) {
  h->Magic[0] = char(bytes[0]);
  h->Magic[1] = char(bytes[1]);
  h->Magic[2] = char(bytes[2]);
  h->Version = char(bytes[3]);
  uint32_t* fields[] = {&h->FileSizeLess8, &h->Frames,       &h->LargestFrameSize,
                        &h->IndexEntries,  &h->Width,        &h->Height,
                        &h->FrameRate,     &h->FrameRateDiv, &h->VideoFlags,
                        &h->NumTracks};
  for (int i = 0; i < 10; ++i) *fields[i] = ReadLe32(bytes + 4 + 4 * i);
}

static int IsKnownVersion(char v) { return v >= 'f' && v <= 'i'; }

const char* MovieCheckHeader(const MovieHeader* h) {
  if (h->Magic[0] != 'V' || h->Magic[1] != 'X' || h->Magic[2] != 'A' || !IsKnownVersion(h->Version))
    return kMovieErrorNotVexa;
  if (h->Frames == 0) return kMovieErrorNoFrames;
  // With NumTracks <= 256 and IndexEntries <= 1,000,000 the product stays below 2^32.
  bool tablesFit = h->NumTracks <= MOVIE_MAX_TRACKS && h->IndexEntries <= MOVIE_MAX_INDEX_ENTRIES &&
                   (h->NumTracks + 1) * h->IndexEntries * 4 <= h->FileSizeLess8;
  if (h->IndexEntries < h->Frames || !tablesFit || h->LargestFrameSize > h->FileSizeLess8 ||
      h->Width > MOVIE_MAX_DIMENSION || h->Height > MOVIE_MAX_DIMENSION || h->FrameRate == 0 ||
      h->FrameRateDiv == 0)
    return kMovieErrorCorruptHeader;
  return nullptr;
}

uint32_t MovieVersionFlags(char version) {
  switch (version) {
    case 'f':
    case 'g':
      return MovieFlagPreI | MovieFlagSwapUV;
    case 'h':
      return MovieFlagPreI;
    default:
      return 0;
  }
}

uint32_t MovieRoundedFps(uint32_t frameRate, uint32_t frameRateDiv) {
  if (frameRateDiv == 0) return 1;
  uint32_t fps = uint32_t((uint64_t(frameRate) + frameRateDiv / 2) / frameRateDiv);
  return fps ? fps : 1;
}

uint64_t MovieTablesBytes(uint32_t numTracks, uint32_t indexEntries) {
  return uint64_t(numTracks) * 12 + (uint64_t(indexEntries) + 1) * 4;
}

int MovieScanFrameIndex(const uint32_t* e, uint32_t frames, uint32_t window, uint64_t fileLength,
                        uint32_t largestFrame, FrameIndexScan* result) {
  uint32_t allKey = 1, largest = 0;
  for (uint32_t k = 0; k < frames; ++k) {
    if (e[k + 1] <= e[k]) return 0;
    // A stored frame must fit the frame buffer and the file, or loading it would overrun.
    const uint32_t bytes = (e[k + 1] & ~1u) - (e[k] & ~1u);
    if (bytes > largestFrame) return 0;
    if (bytes > largest) largest = bytes;
    allKey &= e[k] & 1;
  }
  if ((e[frames] & ~1u) > fileLength) return 0;

  uint32_t peak = 0, peakFrame = 0;
  if (frames > window) {
    for (uint32_t k = 0; k + window < frames; ++k) {
      uint32_t bytes = e[k + window] - e[k];
      if (bytes > peak) {
        peak = bytes;
        peakFrame = k;
      }
    }
  }
  if (peak == 0) {
    // Saturated: with a window of billions of frames the proportion passes 32 bits.
    const uint64_t scaled = uint64_t(e[frames] - e[0]) * window / frames;
    peak = scaled > 0xFFFFFFFFu ? 0xFFFFFFFFu : uint32_t(scaled);
    peakFrame = 0;
  }
  result->PeakSecondBytes = peak;
  result->PeakSecondFrame = peakFrame;
  result->AllKeyFrames = allKey;
  result->LargestFrameBytes = largest;
  return 1;
}

FrameLocation MovieLocateFrame(const uint32_t* e, uint32_t frame) {
  uint32_t i = frame ? frame - 1 : 0;
  uint32_t offset = e[i] & ~1u;
  return {offset, (e[i + 1] & ~1u) - offset, e[i] & 1};
}
