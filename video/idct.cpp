#include "video/idct.h"

#include <cstring>

// Wrapping 32-bit arithmetic is done on uint32_t; this is the arithmetic right shift.
static inline uint32_t VideoSar(uint32_t x, uint32_t n) { return uint32_t(int32_t(x) >> n); }

static inline uint32_t VideoMulShift(int32_t c, uint32_t x) { return VideoSar(uint32_t(c) * x, 11); }

// The 8-point transform of x[0], x[step], ..., x[7 * step] into y[0..7].
static void VideoIdct8(const uint32_t* x, uint32_t step, uint32_t y[8]) {
  const uint32_t x0 = x[0], x1 = x[step], x2 = x[2 * step], x3 = x[3 * step];
  const uint32_t x4 = x[4 * step], x5 = x[5 * step], x6 = x[6 * step], x7 = x[7 * step];
  const uint32_t a0 = x0 + x4, a1 = x0 - x4, a2 = x2 + x6;
  const uint32_t a3 = VideoMulShift(kVideoIdctC2896, x2 - x6);
  const uint32_t a4 = x5 + x3, a5 = x5 - x3, a6 = x1 + x7, a7 = x1 - x7;
  const uint32_t b0 = a4 + a6;
  const uint32_t b1 = VideoMulShift(kVideoIdctC3784, a5 + a7);
  const uint32_t b2 = VideoMulShift(-kVideoIdctC5352, a5) - b0 + b1;
  const uint32_t b3 = VideoMulShift(kVideoIdctC2896, a6 - a4) - b2;
  const uint32_t b4 = VideoMulShift(kVideoIdctC2217, a7) + b3 - b1;
  y[0] = a0 + a2 + b0;
  y[1] = a1 + a3 - a2 + b2;
  y[2] = a1 - a3 + a2 + b3;
  y[3] = a0 - a2 - b4;
  y[4] = a0 - a2 + b4;
  y[5] = a1 - a3 + a2 - b3;
  y[6] = a1 + a3 - a2 - b2;
  y[7] = a0 + a2 - b0;
}

void VideoIdctReference(const int16_t coefs[64], const uint32_t quant[64], int32_t out[64]) {
  uint32_t s[64];
  for (uint32_t i = 0; i < 64; ++i) s[i] = VideoSar(uint32_t(int32_t(coefs[i])) * quant[i], 11);
  uint32_t columns[64];
  for (uint32_t c = 0; c < 8; ++c) {
    bool acOnly = true;
    for (uint32_t row = 1; row < 8 && acOnly; ++row) acOnly = coefs[row * 8 + c] == 0;
    uint32_t y[8];
    if (acOnly) {
      for (uint32_t row = 0; row < 8; ++row) y[row] = s[c];
    } else {
      VideoIdct8(s + c, 8, y);
    }
    for (uint32_t row = 0; row < 8; ++row) columns[row * 8 + c] = y[row];
  }
  for (uint32_t row = 0; row < 8; ++row) {
    uint32_t y[8];
    VideoIdct8(columns + row * 8, 1, y);
    for (uint32_t c = 0; c < 8; ++c) out[row * 8 + c] = int32_t(VideoSar(y[c] + 127, 8));
  }
}

void VideoIdctPutReference(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                           const uint32_t quant[64]) {
  int32_t v[64];
  VideoIdctReference(coefs, quant, v);
  for (uint32_t row = 0; row < 8; ++row, dst += pitch) {
    for (uint32_t c = 0; c < 8; ++c) dst[c] = uint8_t(v[row * 8 + c]);
  }
}

void VideoIdctPutDoubledReference(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                                  const uint32_t quant[64]) {
  int32_t v[64];
  VideoIdctReference(coefs, quant, v);
  for (uint32_t row = 0; row < 16; ++row, dst += pitch) {
    for (uint32_t c = 0; c < 16; ++c) dst[c] = uint8_t(v[(row / 2) * 8 + c / 2]);
  }
}

// Row by row, each source row read before its destination row is written: a one-frame movie
// adds to a source inside the plane it writes.
void VideoIdctAddReference(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                           const uint32_t quant[64], const uint8_t* src, uint32_t srcPitch) {
  int32_t v[64];
  VideoIdctReference(coefs, quant, v);
  for (uint32_t row = 0; row < 8; ++row, dst += pitch, src += srcPitch) {
    uint8_t line[8];
    std::memcpy(line, src, 8);
    for (uint32_t c = 0; c < 8; ++c) dst[c] = uint8_t(line[c] + uint32_t(v[row * 8 + c]));
  }
}
