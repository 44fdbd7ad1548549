// Helpers of the audio tests: a bit writer for hand-made blocks, double-precision evaluations
// of the transform definitions, and decoders that close themselves.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_decoder.h"
#include "platform/mem.h"

// Packs fields least-significant bit first into little-endian 32-bit words.
struct TestBitWriter {
  std::vector<uint8_t> Bytes;
  uint64_t Pending = 0;
  uint32_t PendingBits = 0;

  void Put(uint32_t value, uint32_t bits) {
    Pending |= static_cast<uint64_t>(value & ((bits == 32 ? 0 : (1u << bits)) - 1)) << PendingBits;
    PendingBits += bits;
    while (PendingBits >= 32) FlushWord();
  }
  // A 29-bit float field.
  void PutFloat(uint32_t mantissa, uint32_t exponent, bool negative) {
    Put(exponent | (mantissa << 5) | (negative ? 1u << 28 : 0u), 29);
  }
  // Run headers: a short run of 8 coefficients, or a long one of 8 * RunLengthTable[index];
  // then the width of its coefficients.
  void PutShortRun(uint32_t width) {
    Put(0, 1);
    Put(width, 4);
  }
  void PutLongRun(uint32_t index, uint32_t width) {
    Put(1, 1);
    Put(index, 4);
    Put(width, 4);
  }
  // One coefficient of a run of width w: magnitude, then a sign when it is not 0.
  void PutValue(int32_t value, uint32_t width) {
    const auto magnitude = static_cast<uint32_t>(value < 0 ? -value : value);
    Put(magnitude, width);
    if (magnitude != 0) Put(value < 0 ? 1 : 0, 1);
  }
  // The bytes with the last partial word completed by zero bits.
  std::vector<uint8_t> Finish() {
    if (PendingBits > 0) FlushWord();
    return Bytes;
  }
  void FlushWord() {
    for (int i = 0; i < 4; ++i) Bytes.push_back(static_cast<uint8_t>(Pending >> (8 * i)));
    Pending >>= 32;
    PendingBits = PendingBits >= 32 ? PendingBits - 32 : 0;
  }
};

// Empty runs of width 0 from coefficient k up to n, the shortest way (64 groups at a time).
inline void TestPutSilence(TestBitWriter* w, uint32_t k, uint32_t n) {
  while (k < n) {
    w->PutLongRun(15, 0);
    k += 8 * 64;
  }
}

// The definitions, evaluated in double precision.
inline std::vector<double> TestReferenceInverseRealDft(const std::vector<float>& a) {
  const size_t n = a.size();
  std::vector<double> x(n);
  for (size_t k = 0; k < n; ++k) {
    double sum = (a[0] + a[1] * ((k & 1) != 0 ? -1.0 : 1.0)) / 2;
    for (size_t j = 1; j < n / 2; ++j) {
      const double angle = 2 * M_PI * static_cast<double>((j * k) % n) / static_cast<double>(n);
      sum += a[2 * j] * std::cos(angle) + a[2 * j + 1] * std::sin(angle);
    }
    x[k] = sum;
  }
  return x;
}

inline std::vector<double> TestReferenceInverseDct(const std::vector<float>& a) {
  const size_t n = a.size();
  std::vector<double> y(n);
  for (size_t k = 0; k < n; ++k) {
    double sum = 0;
    for (size_t j = 0; j < n; ++j) {
      sum += a[j] * std::cos(M_PI * static_cast<double>(j) * (static_cast<double>(k) + 0.5) /
                             static_cast<double>(n));
    }
    y[k] = sum;
  }
  return y;
}

struct TestMemFree {
  void operator()(AudioBlockDecoder* d) const { MemFree(d); }
};
using TestDecoder = std::unique_ptr<AudioBlockDecoder, TestMemFree>;

inline TestDecoder TestOpenDecoder(uint32_t rate, uint32_t channels, uint32_t flags) {
  return TestDecoder(AudioDecoderOpen(rate, channels, flags));
}

// Decodes a block held in an allocation of exactly its size, so that the sanitizers catch any
// read at or beyond its end.
inline uint32_t TestDecodeExact(AudioBlockDecoder* d, const std::vector<uint8_t>& block,
                                size_t length) {
  std::unique_ptr<uint8_t[]> copy(new uint8_t[length == 0 ? 1 : length]);
  for (size_t i = 0; i < length; ++i) copy[i] = block[i];
  return AudioDecodeBlock(d, copy.get(), copy.get() + length);
}

inline std::vector<int16_t> TestPcm(const AudioBlockDecoder* d) {
  return std::vector<int16_t>(d->PcmBuffer, d->PcmBuffer + d->BlockBytes / 2);
}
