// Scalar reference versions of the block kernels.
#include <cstring>

#include "video/kernels.h"

void VideoResidueAddReference(uint8_t* dst, uint32_t pitch, const int8_t residue[64],
                              const uint8_t* src, uint32_t srcPitch) {
  for (uint32_t row = 0; row < 8; ++row, dst += pitch, src += srcPitch) {
    uint8_t line[8];
    std::memcpy(line, src, 8);
    for (uint32_t c = 0; c < 8; ++c) dst[c] = uint8_t(line[c] + residue[row * 8 + c]);
  }
}

void VideoCopy8x8Reference(uint8_t* dst, uint32_t pitch, const uint8_t* src, uint32_t srcPitch) {
  for (uint32_t row = 0; row < 8; ++row, dst += pitch, src += srcPitch) {
    uint8_t line[8];
    std::memcpy(line, src, 8);
    std::memcpy(dst, line, 8);
  }
}

void VideoFill8x8Reference(uint8_t* dst, uint32_t pitch, uint8_t value) {
  for (uint32_t row = 0; row < 8; ++row, dst += pitch) std::memset(dst, value, 8);
}

void VideoFill16x16Reference(uint8_t* dst, uint32_t pitch, uint8_t value) {
  for (uint32_t row = 0; row < 16; ++row, dst += pitch) std::memset(dst, value, 16);
}

void VideoPattern8x8Reference(uint8_t* dst, uint32_t pitch, uint8_t c0, uint8_t c1,
                              const uint8_t rows[8]) {
  for (uint32_t row = 0; row < 8; ++row, dst += pitch) {
    for (uint32_t j = 0; j < 8; ++j) dst[j] = (rows[row] >> j) & 1 ? c1 : c0;
  }
}

void VideoPattern16x16Reference(uint8_t* dst, uint32_t pitch, uint8_t c0, uint8_t c1,
                                const uint8_t rows[8]) {
  for (uint32_t row = 0; row < 16; ++row, dst += pitch) {
    for (uint32_t j = 0; j < 16; ++j) dst[j] = (rows[row / 2] >> (j / 2)) & 1 ? c1 : c0;
  }
}

void VideoDouble8x8Reference(uint8_t* dst, uint32_t pitch, const uint8_t block[64]) {
  for (uint32_t row = 0; row < 16; ++row, dst += pitch) {
    for (uint32_t j = 0; j < 16; ++j) dst[j] = block[(row / 2) * 8 + j / 2];
  }
}
