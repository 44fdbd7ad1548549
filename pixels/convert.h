// Row converters from the decoder's YUV planes into the fifteen surface types, their post-steps,
// and the selection of converter, post-step and constants for one copy.
#pragma once

#include <cstddef>
#include <cstdint>

// Fixed-point YUV to RGB: multipliers (signed high-half products), colour offsets added with
// signed saturation and the floor subtracted with unsigned saturation, leaving 12-bit channels.
constexpr int16_t kPixelLumaMul = 0x4A89;
constexpr int16_t kPixelChromaMul = 0x6810;
constexpr int16_t kPixelOffsetR = 0x61D0;
constexpr int16_t kPixelOffsetG = 0x78A7;
constexpr int16_t kPixelOffsetB = 0x5E8D;
constexpr uint16_t kPixelFloor = 0x7000;

enum { PixelRed = 0, PixelGreen = 1, PixelBlue = 2 };

// Layout of one surface type and its colour offsets with the dither already added.
struct PixelConstants {
  // [row phase][channel][lane]: offset K plus the dither of the lane's column parity (even
  // lanes are even columns). Phase 0 is for even source rows, phase 1 for odd ones.
  alignas(16) int16_t Offset[2][3][8];
  uint16_t Shift[3];     // right shift of the 12-bit channel (4 for 24- and 32-bit types)
  uint16_t Position[3];  // left shift of the shifted channel inside the pixel
  uint16_t AlphaShift;   // right shift of the alpha byte (16-bit types)
  uint16_t AlphaPosition;
};

// One span of one source row. The plane pointers are at the span's first column; U and V at the
// chroma sample of that column's pair.
struct PixelSpan {
  const uint8_t* Y;
  const uint8_t* U;  // blue difference (Cb)
  const uint8_t* V;  // red difference (Cr)
  const uint8_t* A;  // alpha (read only by the alpha converters)
  void* Dest;        // the first column's destination pixel
  uint32_t Count;    // pixels
  uint32_t OddStart; // 1 when the first column is odd: it is the second pixel of its pair
  uint32_t Phase;    // dither phase: source row parity
};

// Converts span->Count pixels.
typedef void (*PixelRowFunc)(const PixelSpan* span, const PixelConstants* k);
// Post-step: reads count converted pixels from src and writes them to dest packed or doubled.
typedef void (*PixelPostFunc)(const void* src, uint32_t count, void* dest);

// One implementation of every kernel; the scalar table is the reference.
struct PixelKernels {
  const char* Name;
  PixelRowFunc Rgb32;       // 32-bit, byte 3 = 0
  PixelRowFunc Rgb32Alpha;  // 32-bit, byte 3 = alpha
  PixelRowFunc Rgb24;       // the three low bytes of the 32-bit pixel
  PixelRowFunc Rgb16;       // 16-bit, dithered
  PixelRowFunc Rgb16Alpha;  // 16-bit with alpha bits, dithered
  PixelRowFunc Index8;      // palette index R3 G3 B2, dithered
  PixelRowFunc Yuy2;
  PixelRowFunc Uyvy;
  PixelRowFunc Yuy2Double;  // each source pixel as a whole pair Y, U, Y, V
  PixelRowFunc UyvyDouble;  // each source pixel as a whole pair U, Y, V, Y
  PixelPostFunc Pack24;     // 32-bit pixels to their three low bytes
  PixelPostFunc Pack24Double;
  PixelPostFunc Double32;   // each pixel written twice side by side
  PixelPostFunc Double16;
  PixelPostFunc Double8;
};

const PixelKernels* PixelKernelsScalar();
// The SSE2 kernels; null when not built for this processor family.
const PixelKernels* PixelKernelsSse2();
// The AVX2 colour converters and 24-bit packing (the other slots null); null when not built.
const PixelKernels* PixelKernelsAvx2();

// A SIMD set and the processor features it needs (PlatformCpu flags).
struct PixelKernelSet {
  uint32_t CpuFlags;
  const PixelKernels* Kernels;
};
// The sets built into this library, in installation order (later sets win).
const PixelKernelSet* PixelKernelSets(uint32_t* count);
// The reference with every set whose features are all in cpuFlags laid over it; tests and
// benchmarks lower the mask to choose a version.
void PixelSelectKernels(PixelKernels* kernels, uint32_t cpuFlags);
// The table for this processor (built once).
const PixelKernels* PixelKernelsBest();

// Everything a copy needs from the surface type and scaling mode.
struct PixelSelection {
  PixelRowFunc Row;     // null: no row converter (planar, or a type without converter)
  PixelPostFunc Post;   // null: the converter writes the destination directly
  uint32_t RowBytes;    // bytes per pixel the converter writes
  uint32_t DestBytes;   // destination bytes per source pixel (packing and doubling included)
  uint32_t UsesAlpha;   // the converter reads the alpha plane
  uint32_t Planar;      // type 15: the copy writes three planes of bytes, Post doubles them
  PixelConstants K;
};

// Fills *sel for the copy flags (surface type, scaling mode). hasAlpha: the movie has an alpha
// plane. Returns 0 (and a selection that writes nothing) when no converter takes the type.
int PixelSelect(uint32_t flags, int hasAlpha, const PixelKernels* kernels, PixelSelection* sel);

// Scaling modes (copy flags >> CopyScaleShift, AND 7).
inline bool PixelScaleDoublesWidth(uint32_t mode) { return mode >= 3 && mode <= 5; }
// Height-doubling modes: each source row goes to destination row 2y.
inline bool PixelScaleDoublesHeight(uint32_t mode) { return mode >= 1 && mode <= 5 && mode != 3; }
// Of those, the ones that also write the row below (the others leave it alone).
inline bool PixelScaleRepeatsRows(uint32_t mode) { return mode == 1 || mode == 4; }
// Mode 6: only even source rows, each into its own destination row.
inline bool PixelScaleSkipsOddRows(uint32_t mode) { return mode == 6; }

// The part of span s from pixel first on, count pixels long, whose converter writes
// bytesPerPixel bytes per pixel.
inline PixelSpan PixelSubSpan(const PixelSpan* s, uint32_t first, uint32_t count,
                              uint32_t bytesPerPixel) {
  PixelSpan sub = *s;
  const uint32_t chroma = ((s->OddStart + first) >> 1);
  sub.Y = s->Y + first;
  sub.U = s->U + chroma;
  sub.V = s->V + chroma;
  if (s->A != nullptr) sub.A = s->A + first;
  sub.Dest = static_cast<uint8_t*>(s->Dest) + std::size_t(first) * bytesPerPixel;
  sub.Count = count;
  sub.OddStart = (s->OddStart + first) & 1;
  return sub;
}
