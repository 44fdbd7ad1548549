// AVX2 versions of the transform kernels: one row of eight 32-bit lanes per vector.
#include "video/kernels.h"

#if VIDEO_HAVE_AVX2

#include <immintrin.h>

#define VIDEO_AVX2 __attribute__((target("avx2")))
// The helpers work on arrays of vectors; inlined, the arrays stay in registers.
#define VIDEO_AVX2_INLINE __attribute__((target("avx2"), always_inline)) inline

VIDEO_AVX2_INLINE static __m256i VideoMulShiftAvx2(__m256i x, int32_t c) {
  return _mm256_srai_epi32(_mm256_mullo_epi32(x, _mm256_set1_epi32(c)), 11);
}

// The 8-point transform down all eight columns at once: v[i] holds input i of each column.
VIDEO_AVX2_INLINE static void VideoIdct8Avx2(__m256i v[8]) {
  const __m256i a0 = _mm256_add_epi32(v[0], v[4]), a1 = _mm256_sub_epi32(v[0], v[4]);
  const __m256i a2 = _mm256_add_epi32(v[2], v[6]);
  const __m256i a3 = VideoMulShiftAvx2(_mm256_sub_epi32(v[2], v[6]), 2896);
  const __m256i a4 = _mm256_add_epi32(v[5], v[3]), a5 = _mm256_sub_epi32(v[5], v[3]);
  const __m256i a6 = _mm256_add_epi32(v[1], v[7]), a7 = _mm256_sub_epi32(v[1], v[7]);
  const __m256i b0 = _mm256_add_epi32(a4, a6);
  const __m256i b1 = VideoMulShiftAvx2(_mm256_add_epi32(a5, a7), 3784);
  const __m256i b2 = _mm256_add_epi32(_mm256_sub_epi32(VideoMulShiftAvx2(a5, -5352), b0), b1);
  const __m256i b3 = _mm256_sub_epi32(VideoMulShiftAvx2(_mm256_sub_epi32(a6, a4), 2896), b2);
  const __m256i b4 = _mm256_sub_epi32(_mm256_add_epi32(VideoMulShiftAvx2(a7, 2217), b3), b1);
  const __m256i p02 = _mm256_add_epi32(a0, a2), m02 = _mm256_sub_epi32(a0, a2);
  const __m256i p13 = _mm256_sub_epi32(_mm256_add_epi32(a1, a3), a2);
  const __m256i m13 = _mm256_add_epi32(_mm256_sub_epi32(a1, a3), a2);
  v[0] = _mm256_add_epi32(p02, b0);
  v[1] = _mm256_add_epi32(p13, b2);
  v[2] = _mm256_add_epi32(m13, b3);
  v[3] = _mm256_sub_epi32(m02, b4);
  v[4] = _mm256_add_epi32(m02, b4);
  v[5] = _mm256_sub_epi32(m13, b3);
  v[6] = _mm256_sub_epi32(p13, b2);
  v[7] = _mm256_sub_epi32(p02, b0);
}

VIDEO_AVX2_INLINE static void VideoTranspose8Avx2(__m256i v[8]) {
  __m256i t[8], u[8];
  for (int i = 0; i < 8; i += 2) {
    t[i] = _mm256_unpacklo_epi32(v[i], v[i + 1]);
    t[i + 1] = _mm256_unpackhi_epi32(v[i], v[i + 1]);
  }
  for (int i = 0; i < 8; i += 4) {
    u[i] = _mm256_unpacklo_epi64(t[i], t[i + 2]);
    u[i + 1] = _mm256_unpackhi_epi64(t[i], t[i + 2]);
    u[i + 2] = _mm256_unpacklo_epi64(t[i + 1], t[i + 3]);
    u[i + 3] = _mm256_unpackhi_epi64(t[i + 1], t[i + 3]);
  }
  for (int i = 0; i < 4; ++i) {
    v[i] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x20);
    v[i + 4] = _mm256_permute2x128_si256(u[i], u[i + 4], 0x31);
  }
}

// The transform results reduced to 8 bits: rows[r] holds row r in its low 8 bytes.
VIDEO_AVX2_INLINE static void VideoIdctRowsAvx2(const int16_t coefs[64], const uint32_t quant[64],
                                         __m128i rows[8]) {
  // A block with no coefficient but its DC is flat: every row transforms to its first value.
  const __m256i* all = reinterpret_cast<const __m256i*>(coefs);
  __m256i any = _mm256_or_si256(_mm256_loadu_si256(all + 1), _mm256_loadu_si256(all + 2));
  any = _mm256_or_si256(any, _mm256_loadu_si256(all + 3));
  any = _mm256_or_si256(any, _mm256_and_si256(_mm256_loadu_si256(all),
                                              _mm256_setr_epi16(0, -1, -1, -1, -1, -1, -1, -1, -1,
                                                                -1, -1, -1, -1, -1, -1, -1)));
  if (_mm256_testz_si256(any, any)) {
    const uint32_t s = uint32_t(int32_t(uint32_t(int32_t(coefs[0])) * quant[0]) >> 11);
    const __m128i flat = _mm_set1_epi8(char(int32_t(s + 127) >> 8));
    for (int r = 0; r < 8; ++r) rows[r] = flat;
    return;
  }
  __m256i v[8];
  for (int r = 0; r < 8; ++r) {
    const __m256i c = _mm256_cvtepi16_epi32(
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefs + 8 * r)));
    const __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(quant + 8 * r));
    v[r] = _mm256_srai_epi32(_mm256_mullo_epi32(c, q), 11);
  }
  // A column whose rows 1..7 are zero transforms to its row 0 throughout, so every column can
  // take the full transform.
  VideoIdct8Avx2(v);
  VideoTranspose8Avx2(v);
  VideoIdct8Avx2(v);
  // v[c] now holds output column c, row r in lane r: reduced to bytes, the columns are turned
  // into rows as bytes, which takes far fewer shuffles than turning 32-bit lanes.
  const __m256i round = _mm256_set1_epi32(127), low = _mm256_set1_epi32(255);
  for (int c = 0; c < 8; ++c) {
    v[c] = _mm256_and_si256(_mm256_srai_epi32(_mm256_add_epi32(v[c], round), 8), low);
  }
  // Per 128-bit half (rows 0-3, then rows 4-7): byte 4 * c + r holds column c of row r ...
  const __m256i left = _mm256_packus_epi16(_mm256_packs_epi32(v[0], v[1]),
                                           _mm256_packs_epi32(v[2], v[3]));
  const __m256i right = _mm256_packus_epi16(_mm256_packs_epi32(v[4], v[5]),
                                            _mm256_packs_epi32(v[6], v[7]));
  // ... and after this shuffle byte 4 * r + c: one 32-bit lane per row of four columns.
  const __m256i toRows = _mm256_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15,
                                          0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
  const __m256i l = _mm256_shuffle_epi8(left, toRows), r = _mm256_shuffle_epi8(right, toRows);
  const __m256i rows0145 = _mm256_unpacklo_epi32(l, r), rows2367 = _mm256_unpackhi_epi32(l, r);
  const __m128i rows01 = _mm256_castsi256_si128(rows0145);
  const __m128i rows45 = _mm256_extracti128_si256(rows0145, 1);
  const __m128i rows23 = _mm256_castsi256_si128(rows2367);
  const __m128i rows67 = _mm256_extracti128_si256(rows2367, 1);
  rows[0] = rows01;
  rows[1] = _mm_unpackhi_epi64(rows01, rows01);
  rows[2] = rows23;
  rows[3] = _mm_unpackhi_epi64(rows23, rows23);
  rows[4] = rows45;
  rows[5] = _mm_unpackhi_epi64(rows45, rows45);
  rows[6] = rows67;
  rows[7] = _mm_unpackhi_epi64(rows67, rows67);
}

VIDEO_AVX2 static void VideoIdctPutAvx2(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                                        const uint32_t quant[64]) {
  __m128i rows[8];
  VideoIdctRowsAvx2(coefs, quant, rows);
  for (int r = 0; r < 8; ++r, dst += pitch) {
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), rows[r]);
  }
}

VIDEO_AVX2 static void VideoIdctPutDoubledAvx2(uint8_t* dst, uint32_t pitch,
                                               const int16_t coefs[64], const uint32_t quant[64]) {
  __m128i rows[8];
  VideoIdctRowsAvx2(coefs, quant, rows);
  for (int r = 0; r < 8; ++r, dst += 2 * pitch) {
    const __m128i doubled = _mm_unpacklo_epi8(rows[r], rows[r]);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), doubled);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + pitch), doubled);
  }
}

// Row by row, each source row read before its destination row is written.
VIDEO_AVX2 static void VideoIdctAddAvx2(uint8_t* dst, uint32_t pitch, const int16_t coefs[64],
                                        const uint32_t quant[64], const uint8_t* src,
                                        uint32_t srcPitch) {
  __m128i rows[8];
  VideoIdctRowsAvx2(coefs, quant, rows);
  for (int r = 0; r < 8; ++r, dst += pitch, src += srcPitch) {
    const __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_add_epi8(s, rows[r]));
  }
}

const VideoKernels VideoKernelsAvx2 = {
    VideoIdctPutAvx2, VideoIdctPutDoubledAvx2, VideoIdctAddAvx2, nullptr, nullptr,
    nullptr,          nullptr,                 nullptr,          nullptr, nullptr,
};

#endif
