// One copy's conversion job: where each source row comes from and where it goes. Built on the
// caller's stack for every copy, so copies of different movies on different threads never share
// a converter selection.
#pragma once

#include <cstddef>
#include <cstdint>

#include "pixels/convert.h"
#include "vexa/movie.h"

// One plane of a planar destination: row 0 (the last in memory when rows run upwards), the signed
// pitch and the row count.
struct CopyPlane {
  uint8_t* Row0;
  ptrdiff_t Pitch;
  uint32_t Rows;
};

struct CopyJob {
  uint8_t* Dest;         // destination row 0
  ptrdiff_t Pitch;       // signed: negative when rows run upwards
  uint32_t DestRows;     // rows at and past this are never written
  const uint8_t* Y;      // plane read as luma (the alpha plane under CopySwapAlpha)
  const uint8_t* A;      // plane read as alpha, or null
  const uint8_t* U;      // blue difference, or the grey row
  const uint8_t* V;      // red difference, or the grey row
  size_t YPitch, APitch, UPitch, VPitch;  // chroma pitches are 0 under OpenGrayscale
  uint32_t Width, Height;                 // stored pixels, from column 0 and row 0
  uint32_t RowFactor;    // destination row of source row y is y * RowFactor
  uint32_t RepeatRow;    // the destination row below gets a copy too
  uint32_t RowStep;      // 2 when only even source rows are converted
  uint32_t Gray;         // chroma comes from the grey row: spans are cut to its length
  CopyPlane Chroma[2];   // planar destinations: the V plane, then the U plane
  PixelSelection Sel;
};

// Bytes of the grey chroma row: 256 pixels per converter call under OpenGrayscale.
constexpr uint32_t kCopyGrayPixels = 256;

// Stored size of the display rectangle width x height (scaled by FileWidth / Width, clamped).
void CopyStoredSize(const Movie* movie, uint32_t width, uint32_t height, uint32_t* storedWidth,
                    uint32_t* storedHeight);
// 1 when the movie's current plane set has an alpha plane.
int CopyHasAlpha(const Movie* movie);
// Fills *job for a copy with the final flags. 0 when the planes or the destination cannot take
// the copy (missing plane, pitch shorter than one destination row, odd pitch for a planar one).
int CopyJobPrepare(CopyJob* job, const Movie* movie, void* dest, int32_t pitch, uint32_t rows,
                   uint32_t storedWidth, uint32_t storedHeight, uint32_t flags,
                   const PixelKernels* kernels);

// Converts count pixels of source row y from column x into the destination.
void CopySpan(const CopyJob* job, uint32_t y, uint32_t x, uint32_t count);
// Every row of the rectangle.
void CopyFull(const CopyJob* job);
// Only the 16x16 areas marked in map (one byte per area, rows of stride bytes).
void CopyChanged(const CopyJob* job, const uint8_t* map, uint32_t stride);
// 1 when a map of mapBytes bytes with rows of stride bytes covers the job's rectangle.
int CopyMapCovers(const CopyJob* job, uint32_t stride, uint32_t mapBytes);
