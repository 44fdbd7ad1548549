// The block kernels of the video decoder: one table of function pointers, filled once from the
// CPU's features, over an exact scalar reference. Every SIMD version produces the reference's
// bytes (tests/checkasm proves it on random input).
//
// Kernels that read a source block (Copy8x8, IdctAdd, ResidueAdd) work row by row from the top,
// reading a row's 8 source bytes before writing that row: a one-frame movie decodes in place,
// and its source may overlap the destination.
#pragma once

#include <cstdint>

#include "platform/cpu_features.h"

typedef void (*VideoIdctPutFn)(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                               const uint32_t quant[64]);
typedef void (*VideoIdctAddFn)(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                               const uint32_t quant[64], const uint8_t* src, uint32_t srcPitch);
typedef void (*VideoResidueAddFn)(uint8_t* dst, uint32_t pitch, const int8_t residue[64],
                                  const uint8_t* src, uint32_t srcPitch);
typedef void (*VideoCopyFn)(uint8_t* dst, uint32_t pitch, const uint8_t* src, uint32_t srcPitch);
typedef void (*VideoFillFn)(uint8_t* dst, uint32_t pitch, uint8_t value);
typedef void (*VideoPatternFn)(uint8_t* dst, uint32_t pitch, uint8_t c0, uint8_t c1,
                               const uint8_t rows[8]);
typedef void (*VideoDoubleFn)(uint8_t* dst, uint32_t pitch, const uint8_t block[64]);

struct VideoKernels {
  VideoIdctPutFn IdctPut;         // transform, low 8 bits of each result to an 8x8 block
  VideoIdctPutFn IdctPutDoubled;  // the same, each result as a 2x2 square of a 16x16 area
  VideoIdctAddFn IdctAdd;         // low 8 bits of source + result
  VideoResidueAddFn ResidueAdd;   // low 8 bits of source + residue (natural order)
  VideoCopyFn Copy8x8;
  VideoFillFn Fill8x8;
  VideoFillFn Fill16x16;
  VideoPatternFn Pattern8x8;      // pixel j of row r = c1 if bit j of rows[r] is set, else c0
  VideoPatternFn Pattern16x16;    // the same, each pixel as a 2x2 square
  VideoDoubleFn Double8x8;        // a packed 8x8 block, each pixel as a 2x2 square
};

constexpr uint32_t kVideoKernelSlotCount = sizeof(VideoKernels) / sizeof(void*);

// A set of alternative kernels; slots it does not provide are null.
struct VideoKernelSet {
  const char* Name;
  uint32_t CpuFlags;  // features the set needs
  const VideoKernels* Kernels;
};

// The scalar reference kernels.
const VideoKernels* VideoReferenceKernels();
// The alternative sets built into this library, in installation order (later sets win).
const VideoKernelSet* VideoKernelSets(uint32_t* count);
// Builds a table from the reference and every set whose features are all in cpuFlags.
void VideoSelectKernels(VideoKernels* kernels, uint32_t cpuFlags);
// The table for this CPU, built on first use (thread-safe).
const VideoKernels* VideoGetKernels();

// Reference versions of the block kernels (the transform kernels are in video/idct.h).
void VideoResidueAddReference(uint8_t* dst, uint32_t pitch, const int8_t residue[64],
                              const uint8_t* src, uint32_t srcPitch);
void VideoCopy8x8Reference(uint8_t* dst, uint32_t pitch, const uint8_t* src, uint32_t srcPitch);
void VideoFill8x8Reference(uint8_t* dst, uint32_t pitch, uint8_t value);
void VideoFill16x16Reference(uint8_t* dst, uint32_t pitch, uint8_t value);
void VideoPattern8x8Reference(uint8_t* dst, uint32_t pitch, uint8_t c0, uint8_t c1,
                              const uint8_t rows[8]);
void VideoPattern16x16Reference(uint8_t* dst, uint32_t pitch, uint8_t c0, uint8_t c1,
                                const uint8_t rows[8]);
void VideoDouble8x8Reference(uint8_t* dst, uint32_t pitch, const uint8_t block[64]);

// The SIMD sets (null kernels where a set has no version). mingw-w64 GCC keeps 32-byte vectors
// in stack slots it cannot align on Windows, so its builds get the AVX2 set only when the build
// assembles all vector moves as unaligned ones (video/CMakeLists.txt).
#if defined(__x86_64__) || defined(_M_X64)
#define VIDEO_HAVE_SSE2 1
#if defined(_WIN32) && defined(__GNUC__) && !defined(__clang__) && \
    !defined(VIDEO_UNALIGNED_VECTOR_MOVES)
#define VIDEO_HAVE_AVX2 0
#else
#define VIDEO_HAVE_AVX2 1
#endif
#else
#define VIDEO_HAVE_SSE2 0
#define VIDEO_HAVE_AVX2 0
#endif

#if VIDEO_HAVE_SSE2
extern const VideoKernels VideoKernelsSse2;
#endif
#if VIDEO_HAVE_AVX2
extern const VideoKernels VideoKernelsAvx2;
#endif
