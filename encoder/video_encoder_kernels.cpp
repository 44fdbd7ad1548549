#include "encoder/video_encoder_kernels.h"

#include <cstdlib>
#include <cstring>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define ENCODER_KERNELS_SSE2 1
#endif

namespace {

uint32_t EncoderSad8x8C(const uint8_t* a, uint32_t aPitch, const uint8_t* b, uint32_t bPitch) {
  uint32_t sum = 0;
  for (uint32_t r = 0; r < 8; ++r, a += aPitch, b += bPitch) {
    for (uint32_t c = 0; c < 8; ++c) sum += uint32_t(std::abs(int32_t(a[c]) - int32_t(b[c])));
  }
  return sum;
}

uint32_t EncoderSquaredErrorC(const uint8_t* a, uint32_t aPitch, const uint8_t* b,
                              uint32_t bPitch, uint32_t size) {
  uint32_t sum = 0;
  for (uint32_t r = 0; r < size; ++r, a += aPitch, b += bPitch) {
    for (uint32_t c = 0; c < size; ++c) {
      const int32_t d = int32_t(a[c]) - int32_t(b[c]);
      sum += uint32_t(d * d);
    }
  }
  return sum;
}

uint32_t EncoderSquaredError8x8C(const uint8_t* a, uint32_t aPitch, const uint8_t* b,
                                 uint32_t bPitch) {
  return EncoderSquaredErrorC(a, aPitch, b, bPitch, 8);
}

uint32_t EncoderSquaredError16x16C(const uint8_t* a, uint32_t aPitch, const uint8_t* b,
                                   uint32_t bPitch) {
  return EncoderSquaredErrorC(a, aPitch, b, bPitch, 16);
}

const EncoderKernels kReference = {EncoderSad8x8C, EncoderSquaredError8x8C,
                                   EncoderSquaredError16x16C};

#if ENCODER_KERNELS_SSE2
// Two 8-pixel rows in one register.
__m128i EncoderLoadRows(const uint8_t* p, uint32_t pitch) {
  uint64_t first, second;
  std::memcpy(&first, p, 8);
  std::memcpy(&second, p + pitch, 8);
  return _mm_set_epi64x(int64_t(second), int64_t(first));
}

uint32_t EncoderSum32(__m128i v) {
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
  v = _mm_add_epi32(v, _mm_shuffle_epi32(v, _MM_SHUFFLE(2, 3, 0, 1)));
  return uint32_t(_mm_cvtsi128_si32(v));
}

uint32_t EncoderSad8x8Sse2(const uint8_t* a, uint32_t aPitch, const uint8_t* b, uint32_t bPitch) {
  __m128i sum = _mm_setzero_si128();
  for (uint32_t r = 0; r < 8; r += 2) {
    sum = _mm_add_epi64(sum, _mm_sad_epu8(EncoderLoadRows(a + size_t(r) * aPitch, aPitch),
                                          EncoderLoadRows(b + size_t(r) * bPitch, bPitch)));
  }
  return uint32_t(_mm_cvtsi128_si32(sum)) + uint32_t(_mm_cvtsi128_si32(_mm_srli_si128(sum, 8)));
}

// Squares of the differences of 16 pixels, summed in pairs into four 32-bit lanes.
__m128i EncoderSquares(__m128i a, __m128i b) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lo = _mm_sub_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero));
  const __m128i hi = _mm_sub_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero));
  return _mm_add_epi32(_mm_madd_epi16(lo, lo), _mm_madd_epi16(hi, hi));
}

uint32_t EncoderSquaredError8x8Sse2(const uint8_t* a, uint32_t aPitch, const uint8_t* b,
                                    uint32_t bPitch) {
  __m128i sum = _mm_setzero_si128();
  for (uint32_t r = 0; r < 8; r += 2) {
    sum = _mm_add_epi32(sum, EncoderSquares(EncoderLoadRows(a + size_t(r) * aPitch, aPitch),
                                            EncoderLoadRows(b + size_t(r) * bPitch, bPitch)));
  }
  return EncoderSum32(sum);
}

uint32_t EncoderSquaredError16x16Sse2(const uint8_t* a, uint32_t aPitch, const uint8_t* b,
                                      uint32_t bPitch) {
  __m128i sum = _mm_setzero_si128();
  for (uint32_t r = 0; r < 16; ++r) {
    const __m128i ra = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + size_t(r) * aPitch));
    const __m128i rb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + size_t(r) * bPitch));
    sum = _mm_add_epi32(sum, EncoderSquares(ra, rb));
  }
  return EncoderSum32(sum);
}

const EncoderKernels kSse2 = {EncoderSad8x8Sse2, EncoderSquaredError8x8Sse2,
                              EncoderSquaredError16x16Sse2};
const EncoderKernelSet kSets[] = {{"c", &kReference}, {"sse2", &kSse2}};
#else
const EncoderKernelSet kSets[] = {{"c", &kReference}};
#endif

}  // namespace

const EncoderKernels* EncoderReferenceKernels() { return &kReference; }

const EncoderKernels* EncoderGetKernels() {
  return kSets[sizeof kSets / sizeof kSets[0] - 1].Kernels;
}

const EncoderKernelSet* EncoderKernelSets(uint32_t* count) {
  *count = uint32_t(sizeof kSets / sizeof kSets[0]);
  return kSets;
}
