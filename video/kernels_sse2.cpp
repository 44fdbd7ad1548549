// SSE2 versions of the block kernels (SSE2 is part of every x86-64 CPU).
#include "video/kernels.h"

#if VIDEO_HAVE_SSE2

#include <emmintrin.h>

static inline __m128i VideoLoad8(const uint8_t* p) {
  return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

static inline void VideoStore8(uint8_t* p, __m128i v) {
  _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

static inline void VideoStore16(uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Low 32 bits of each lane's product (SSE2 has only the 32x32->64 multiply of lanes 0 and 2).
static inline __m128i VideoMulLo32(__m128i a, __m128i b) {
  const __m128i even = _mm_mul_epu32(a, b);
  const __m128i odd = _mm_mul_epu32(_mm_srli_epi64(a, 32), _mm_srli_epi64(b, 32));
  return _mm_unpacklo_epi32(_mm_shuffle_epi32(even, _MM_SHUFFLE(0, 0, 2, 0)),
                            _mm_shuffle_epi32(odd, _MM_SHUFFLE(0, 0, 2, 0)));
}

static inline __m128i VideoMulShift(__m128i x, int32_t c) {
  return _mm_srai_epi32(VideoMulLo32(x, _mm_set1_epi32(c)), 11);
}

// The 8-point transform down four columns at once: v[i] holds input i of each column.
static void VideoIdct8Sse2(__m128i v[8]) {
  const __m128i a0 = _mm_add_epi32(v[0], v[4]), a1 = _mm_sub_epi32(v[0], v[4]);
  const __m128i a2 = _mm_add_epi32(v[2], v[6]);
  const __m128i a3 = VideoMulShift(_mm_sub_epi32(v[2], v[6]), 2896);
  const __m128i a4 = _mm_add_epi32(v[5], v[3]), a5 = _mm_sub_epi32(v[5], v[3]);
  const __m128i a6 = _mm_add_epi32(v[1], v[7]), a7 = _mm_sub_epi32(v[1], v[7]);
  const __m128i b0 = _mm_add_epi32(a4, a6);
  const __m128i b1 = VideoMulShift(_mm_add_epi32(a5, a7), 3784);
  const __m128i b2 = _mm_add_epi32(_mm_sub_epi32(VideoMulShift(a5, -5352), b0), b1);
  const __m128i b3 = _mm_sub_epi32(VideoMulShift(_mm_sub_epi32(a6, a4), 2896), b2);
  const __m128i b4 = _mm_sub_epi32(_mm_add_epi32(VideoMulShift(a7, 2217), b3), b1);
  const __m128i p02 = _mm_add_epi32(a0, a2), m02 = _mm_sub_epi32(a0, a2);
  const __m128i p13 = _mm_sub_epi32(_mm_add_epi32(a1, a3), a2);
  const __m128i m13 = _mm_add_epi32(_mm_sub_epi32(a1, a3), a2);
  v[0] = _mm_add_epi32(p02, b0);
  v[1] = _mm_add_epi32(p13, b2);
  v[2] = _mm_add_epi32(m13, b3);
  v[3] = _mm_sub_epi32(m02, b4);
  v[4] = _mm_add_epi32(m02, b4);
  v[5] = _mm_sub_epi32(m13, b3);
  v[6] = _mm_sub_epi32(p13, b2);
  v[7] = _mm_sub_epi32(p02, b0);
}

static inline void VideoTranspose4(const __m128i in[4], __m128i out[4]) {
  const __m128i t0 = _mm_unpacklo_epi32(in[0], in[1]), t1 = _mm_unpacklo_epi32(in[2], in[3]);
  const __m128i t2 = _mm_unpackhi_epi32(in[0], in[1]), t3 = _mm_unpackhi_epi32(in[2], in[3]);
  out[0] = _mm_unpacklo_epi64(t0, t1);
  out[1] = _mm_unpackhi_epi64(t0, t1);
  out[2] = _mm_unpacklo_epi64(t2, t3);
  out[3] = _mm_unpackhi_epi64(t2, t3);
}

// An 8x8 matrix as left (columns 0..3) and right (columns 4..7) halves of each row.
static void VideoTranspose8(const __m128i left[8], const __m128i right[8], __m128i tLeft[8],
                            __m128i tRight[8]) {
  VideoTranspose4(left, tLeft);
  VideoTranspose4(right, tLeft + 4);
  VideoTranspose4(left + 4, tRight);
  VideoTranspose4(right + 4, tRight + 4);
}

// A block with no coefficient but its DC is flat: every column is its dequantised DC (or zero)
// throughout, and every row transforms to its first value.
static bool VideoDcOnlySse2(const int16_t coefs[64]) {
  const __m128i* c = reinterpret_cast<const __m128i*>(coefs);
  __m128i any = _mm_and_si128(_mm_loadu_si128(c), _mm_setr_epi16(0, -1, -1, -1, -1, -1, -1, -1));
  for (int r = 1; r < 8; ++r) any = _mm_or_si128(any, _mm_loadu_si128(c + r));
  return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF;
}

static uint8_t VideoDcValue(const int16_t coefs[64], const uint32_t quant[64]) {
  const uint32_t s = uint32_t(int32_t(uint32_t(int32_t(coefs[0])) * quant[0]) >> 11);
  return uint8_t(int32_t(s + 127) >> 8);
}

// The transform results reduced to 8 bits: rows[r] holds row r in its low 8 bytes.
static void VideoIdctRowsSse2(const int16_t coefs[64], const uint32_t quant[64], __m128i rows[8]) {
  if (VideoDcOnlySse2(coefs)) {
    const __m128i flat = _mm_set1_epi8(char(VideoDcValue(coefs, quant)));
    for (int r = 0; r < 8; ++r) rows[r] = flat;
    return;
  }
  __m128i left[8], right[8];
  for (uint32_t r = 0; r < 8; ++r) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefs + 8 * r));
    const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(c, c), 16);
    const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(c, c), 16);
    const __m128i* q = reinterpret_cast<const __m128i*>(quant + 8 * r);
    left[r] = _mm_srai_epi32(VideoMulLo32(lo, _mm_loadu_si128(q)), 11);
    right[r] = _mm_srai_epi32(VideoMulLo32(hi, _mm_loadu_si128(q + 1)), 11);
  }
  // A column whose rows 1..7 are zero transforms to its row 0 throughout, so every column can
  // take the full transform.
  VideoIdct8Sse2(left);
  VideoIdct8Sse2(right);
  __m128i tLeft[8], tRight[8];
  VideoTranspose8(left, right, tLeft, tRight);
  VideoIdct8Sse2(tLeft);
  VideoIdct8Sse2(tRight);
  VideoTranspose8(tLeft, tRight, left, right);
  const __m128i round = _mm_set1_epi32(127), low = _mm_set1_epi32(255);
  for (uint32_t r = 0; r < 8; ++r) {
    const __m128i l = _mm_and_si128(_mm_srai_epi32(_mm_add_epi32(left[r], round), 8), low);
    const __m128i h = _mm_and_si128(_mm_srai_epi32(_mm_add_epi32(right[r], round), 8), low);
    const __m128i words = _mm_packs_epi32(l, h);
    rows[r] = _mm_packus_epi16(words, words);
  }
}

static void VideoIdctPutSse2(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                             const uint32_t quant[64]) {
  __m128i rows[8];
  VideoIdctRowsSse2(coefs, quant, rows);
  for (uint32_t r = 0; r < 8; ++r, dst += pitch) VideoStore8(dst, rows[r]);
}

static void VideoIdctPutDoubledSse2(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                                    const uint32_t quant[64]) {
  __m128i rows[8];
  VideoIdctRowsSse2(coefs, quant, rows);
  for (uint32_t r = 0; r < 8; ++r, dst += 2 * pitch) {
    const __m128i doubled = _mm_unpacklo_epi8(rows[r], rows[r]);
    VideoStore16(dst, doubled);
    VideoStore16(dst + pitch, doubled);
  }
}

static void VideoIdctAddSse2(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                             const uint32_t quant[64], const uint8_t* src, uint32_t srcPitch) {
  __m128i rows[8];
  VideoIdctRowsSse2(coefs, quant, rows);
  for (uint32_t r = 0; r < 8; ++r, dst += pitch, src += srcPitch) {
    VideoStore8(dst, _mm_add_epi8(VideoLoad8(src), rows[r]));
  }
}

static void VideoResidueAddSse2(uint8_t* dst, uint32_t pitch, const int8_t residue[64],
                                const uint8_t* src, uint32_t srcPitch) {
  const uint8_t* res = reinterpret_cast<const uint8_t*>(residue);
  for (uint32_t r = 0; r < 8; ++r, dst += pitch, src += srcPitch) {
    VideoStore8(dst, _mm_add_epi8(VideoLoad8(src), VideoLoad8(res + 8 * r)));
  }
}

static void VideoCopy8x8Sse2(uint8_t* dst, uint32_t pitch, const uint8_t* src, uint32_t srcPitch) {
  for (uint32_t r = 0; r < 8; ++r, dst += pitch, src += srcPitch) VideoStore8(dst, VideoLoad8(src));
}

static void VideoFill8x8Sse2(uint8_t* dst, uint32_t pitch, uint8_t value) {
  const __m128i v = _mm_set1_epi8(char(value));
  for (uint32_t r = 0; r < 8; ++r, dst += pitch) VideoStore8(dst, v);
}

static void VideoFill16x16Sse2(uint8_t* dst, uint32_t pitch, uint8_t value) {
  const __m128i v = _mm_set1_epi8(char(value));
  for (uint32_t r = 0; r < 16; ++r, dst += pitch) VideoStore16(dst, v);
}

// Chooses c1 where a byte of `select` has its bit of `bits` set, else c0.
static inline __m128i VideoSelectBits(__m128i select, __m128i bits, __m128i c0, __m128i c1) {
  const __m128i mask = _mm_cmpeq_epi8(_mm_and_si128(select, bits), bits);
  return _mm_or_si128(_mm_and_si128(mask, c1), _mm_andnot_si128(mask, c0));
}

static void VideoPattern8x8Sse2(uint8_t* dst, uint32_t pitch, uint8_t c0, uint8_t c1,
                                const uint8_t rows[8]) {
  const __m128i bits = _mm_set_epi8(-128, 64, 32, 16, 8, 4, 2, 1, -128, 64, 32, 16, 8, 4, 2, 1);
  const __m128i v0 = _mm_set1_epi8(char(c0)), v1 = _mm_set1_epi8(char(c1));
  for (uint32_t r = 0; r < 8; r += 2, dst += 2 * pitch) {
    const __m128i select = _mm_unpacklo_epi64(_mm_set1_epi8(char(rows[r])),
                                              _mm_set1_epi8(char(rows[r + 1])));
    const __m128i out = VideoSelectBits(select, bits, v0, v1);
    VideoStore8(dst, out);
    VideoStore8(dst + pitch, _mm_unpackhi_epi64(out, out));
  }
}

static void VideoPattern16x16Sse2(uint8_t* dst, uint32_t pitch, uint8_t c0, uint8_t c1,
                                  const uint8_t rows[8]) {
  const __m128i bits = _mm_set_epi8(-128, -128, 64, 64, 32, 32, 16, 16, 8, 8, 4, 4, 2, 2, 1, 1);
  const __m128i v0 = _mm_set1_epi8(char(c0)), v1 = _mm_set1_epi8(char(c1));
  for (uint32_t r = 0; r < 8; ++r, dst += 2 * pitch) {
    const __m128i out = VideoSelectBits(_mm_set1_epi8(char(rows[r])), bits, v0, v1);
    VideoStore16(dst, out);
    VideoStore16(dst + pitch, out);
  }
}

static void VideoDouble8x8Sse2(uint8_t* dst, uint32_t pitch, const uint8_t block[64]) {
  for (uint32_t r = 0; r < 8; ++r, dst += 2 * pitch) {
    const __m128i row = VideoLoad8(block + 8 * r);
    const __m128i doubled = _mm_unpacklo_epi8(row, row);
    VideoStore16(dst, doubled);
    VideoStore16(dst + pitch, doubled);
  }
}

const VideoKernels VideoKernelsSse2 = {
    VideoIdctPutSse2,    VideoIdctPutDoubledSse2, VideoIdctAddSse2,      VideoResidueAddSse2,
    VideoCopy8x8Sse2,    VideoFill8x8Sse2,        VideoFill16x16Sse2,    VideoPattern8x8Sse2,
    VideoPattern16x16Sse2, VideoDouble8x8Sse2,
};

#endif
