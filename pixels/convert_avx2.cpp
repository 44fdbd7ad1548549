// AVX2 kernels for the colour converters: thirty-two pixels per step in 16-bit lanes, with the
// same saturating arithmetic as the scalar reference, so the output is bit-identical; and the
// 24-bit packing by byte shuffles. The packed YUV converters and the doubling post-steps are
// bound by memory already and stay SSE2; a lone pixel at an odd start and the remainder below
// one step also go to the SSE2 kernels.
//
// 256-bit unpacks and packs work inside each 128-bit half, so the steps below keep track of the
// order they leave pixels in and put them back in order before storing.
#include "pixels/convert.h"

#if (defined(__GNUC__) || defined(__clang__)) && (defined(__x86_64__) || defined(__i386__))
#define PIXELS_HAVE_AVX2 1
#include <immintrin.h>
#else
#define PIXELS_HAVE_AVX2 0
#endif

#if PIXELS_HAVE_AVX2

#define PIXELS_AVX2 __attribute__((target("avx2")))

namespace {

constexpr uint32_t kStep = 32;
// permute4x64 order that moves the 64-bit quarters 0, 1, 2, 3 to 0, 2, 1, 3.
constexpr int kQuarters0213 = 0xD8;

PIXELS_AVX2 inline __m256i Load256(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
PIXELS_AVX2 inline void Store256(void* p, __m256i v) {
  _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}
// Sixteen bytes as sixteen 16-bit lanes, in order.
PIXELS_AVX2 inline __m256i Widen(const uint8_t* p) {
  return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// Luma term plus the channel's chroma term, per channel and half (pixels 0-15, 16-31 of a step
// that starts at an even column).
struct Sums32 {
  __m256i C[3][2];
};

struct Offsets32 {
  __m256i C[3];
};

PIXELS_AVX2 inline void LoadOffsets(const PixelConstants* k, uint32_t phase, Offsets32* o) {
  for (int c = 0; c < 3; ++c) {
    o->C[c] = _mm256_broadcastsi128_si256(
        _mm_load_si128(reinterpret_cast<const __m128i*>(k->Offset[phase][c])));
  }
}

// The chroma terms (2 V', -(U' + V'), 5 U') are formed once per chroma sample; the quarter
// permute lets the in-half unpacks spread samples 0-7 over pixels 0-15 and 8-15 over 16-31.
PIXELS_AVX2 inline void YuvSums32(const uint8_t* y, const uint8_t* u, const uint8_t* v,
                                  Sums32* out) {
  const __m256i lumaMul = _mm256_set1_epi16(kPixelLumaMul);
  const __m256i chromaMul = _mm256_set1_epi16(kPixelChromaMul);
  const __m256i ys[2] = {_mm256_mulhi_epi16(_mm256_slli_epi16(Widen(y), 6), lumaMul),
                         _mm256_mulhi_epi16(_mm256_slli_epi16(Widen(y + 16), 6), lumaMul)};
  const __m256i us = _mm256_mulhi_epi16(_mm256_slli_epi16(Widen(u), 4), chromaMul);
  const __m256i vs = _mm256_mulhi_epi16(_mm256_slli_epi16(Widen(v), 5), chromaMul);
  const __m256i terms[3] = {
      _mm256_add_epi16(vs, vs),
      _mm256_sub_epi16(_mm256_setzero_si256(), _mm256_add_epi16(us, vs)),
      _mm256_add_epi16(_mm256_slli_epi16(us, 2), us)};
  for (int c = 0; c < 3; ++c) {
    const __m256i t = _mm256_permute4x64_epi64(terms[c], kQuarters0213);
    out->C[c][0] = _mm256_add_epi16(ys[0], _mm256_unpacklo_epi16(t, t));
    out->C[c][1] = _mm256_add_epi16(ys[1], _mm256_unpackhi_epi16(t, t));
  }
}

PIXELS_AVX2 inline __m256i Channel12(__m256i sum, __m256i offset) {
  return _mm256_subs_epu16(_mm256_adds_epi16(sum, offset),
                           _mm256_set1_epi16(int16_t(kPixelFloor)));
}

// 8-bit channels of thirty-two pixels, clamped by the byte packing (see the SSE2 kernels). The
// bytes come out in the order 0-7, 16-23, 8-15, 24-31.
PIXELS_AVX2 inline __m256i Channel8(const __m256i sum[2], __m256i offset) {
  const __m256i shifted = _mm256_sub_epi16(offset, _mm256_set1_epi16(int16_t(kPixelFloor)));
  return _mm256_packus_epi16(_mm256_srai_epi16(_mm256_add_epi16(sum[0], shifted), 4),
                             _mm256_srai_epi16(_mm256_add_epi16(sum[1], shifted), 4));
}

// The odd first pixel; returns where the whole steps begin.
uint32_t ConvertHead(const PixelSpan* s, PixelRowFunc rest, const PixelConstants* k,
                     uint32_t bytes) {
  if (!s->OddStart || s->Count == 0) return 0;
  const PixelSpan head = PixelSubSpan(s, 0, 1, bytes);
  rest(&head, k);
  return 1;
}

void ConvertTail(const PixelSpan* s, uint32_t i, PixelRowFunc rest, const PixelConstants* k,
                 uint32_t bytes) {
  if (i >= s->Count) return;
  const PixelSpan tail = PixelSubSpan(s, i, s->Count - i, bytes);
  rest(&tail, k);
}

// kLow: the channel in byte 0 (blue for BGR layouts, red for RGB ones).
template <bool kAlpha, int kLow>
PIXELS_AVX2 void Rgb32Layout(const PixelSpan* s, const PixelConstants* k, PixelRowFunc rest) {
  Offsets32 o;
  LoadOffsets(k, s->Phase, &o);
  uint32_t i = ConvertHead(s, rest, k, 4);
  auto* dest = static_cast<uint8_t*>(s->Dest);
  for (; s->Count - i >= kStep; i += kStep) {
    const uint32_t ci = (s->OddStart + i) >> 1;
    Sums32 sums;
    YuvSums32(s->Y + i, s->U + ci, s->V + ci, &sums);
    const __m256i byte0 = Channel8(sums.C[kLow], o.C[kLow]);
    const __m256i byte1 = Channel8(sums.C[PixelGreen], o.C[PixelGreen]);
    const __m256i byte2 = Channel8(sums.C[2 - kLow], o.C[2 - kLow]);
    const __m256i byte3 = kAlpha ? _mm256_permute4x64_epi64(Load256(s->A + i), kQuarters0213)
                                 : _mm256_setzero_si256();
    // Pairs of pixels 0-7 | 8-15 and 16-23 | 24-31, then quads 0-3 | 8-11, 4-7 | 12-15 ...
    const __m256i p01lo = _mm256_unpacklo_epi8(byte0, byte1);
    const __m256i p01hi = _mm256_unpackhi_epi8(byte0, byte1);
    const __m256i p23lo = _mm256_unpacklo_epi8(byte2, byte3);
    const __m256i p23hi = _mm256_unpackhi_epi8(byte2, byte3);
    const __m256i q0 = _mm256_unpacklo_epi16(p01lo, p23lo);
    const __m256i q1 = _mm256_unpackhi_epi16(p01lo, p23lo);
    const __m256i q2 = _mm256_unpacklo_epi16(p01hi, p23hi);
    const __m256i q3 = _mm256_unpackhi_epi16(p01hi, p23hi);
    uint8_t* out = dest + size_t(i) * 4;
    Store256(out, _mm256_permute2x128_si256(q0, q1, 0x20));
    Store256(out + 32, _mm256_permute2x128_si256(q0, q1, 0x31));
    Store256(out + 64, _mm256_permute2x128_si256(q2, q3, 0x20));
    Store256(out + 96, _mm256_permute2x128_si256(q2, q3, 0x31));
  }
  ConvertTail(s, i, rest, k, 4);
}

template <bool kAlpha>
void Rgb32Row(const PixelSpan* s, const PixelConstants* k) {
  const PixelKernels* sse2 = PixelKernelsSse2();
  const PixelRowFunc rest = kAlpha ? sse2->Rgb32Alpha : sse2->Rgb32;
  if (k->Position[PixelRed] == 0) {
    Rgb32Layout<kAlpha, PixelRed>(s, k, rest);
  } else {
    Rgb32Layout<kAlpha, PixelBlue>(s, k, rest);
  }
}

struct Shifts32 {
  __m128i Right[3], Left[3], AlphaRight, AlphaLeft;
};

Shifts32 LoadShifts(const PixelConstants* k) {
  Shifts32 p;
  for (int c = 0; c < 3; ++c) {
    p.Right[c] = _mm_cvtsi32_si128(k->Shift[c]);
    p.Left[c] = _mm_cvtsi32_si128(k->Position[c]);
  }
  p.AlphaRight = _mm_cvtsi32_si128(k->AlphaShift);
  p.AlphaLeft = _mm_cvtsi32_si128(k->AlphaPosition);
  return p;
}

// Sixteen pixels (one half) of a 16- or 8-bit layout, in order.
PIXELS_AVX2 inline __m256i PackBits(const Sums32& sums, int half, const Offsets32& o,
                                    const Shifts32& p) {
  __m256i pixel = _mm256_setzero_si256();
  for (int c = 0; c < 3; ++c) {
    const __m256i value = Channel12(sums.C[c][half], o.C[c]);
    pixel = _mm256_or_si256(pixel,
                            _mm256_sll_epi16(_mm256_srl_epi16(value, p.Right[c]), p.Left[c]));
  }
  return pixel;
}

template <bool kAlpha>
PIXELS_AVX2 void Rgb16Steps(const PixelSpan* s, const PixelConstants* k, PixelRowFunc rest) {
  Offsets32 o;
  LoadOffsets(k, s->Phase, &o);
  const Shifts32 shifts = LoadShifts(k);
  uint32_t i = ConvertHead(s, rest, k, 2);
  auto* dest = static_cast<uint8_t*>(s->Dest);
  for (; s->Count - i >= kStep; i += kStep) {
    const uint32_t ci = (s->OddStart + i) >> 1;
    Sums32 sums;
    YuvSums32(s->Y + i, s->U + ci, s->V + ci, &sums);
    for (int half = 0; half < 2; ++half) {
      __m256i pixel = PackBits(sums, half, o, shifts);
      if (kAlpha) {
        const __m256i a = Widen(s->A + i + 16 * half);
        pixel = _mm256_or_si256(
            pixel, _mm256_sll_epi16(_mm256_srl_epi16(a, shifts.AlphaRight), shifts.AlphaLeft));
      }
      Store256(dest + size_t(i) * 2 + 32 * half, pixel);
    }
  }
  ConvertTail(s, i, rest, k, 2);
}

template <bool kAlpha>
void Rgb16Row(const PixelSpan* s, const PixelConstants* k) {
  const PixelKernels* sse2 = PixelKernelsSse2();
  Rgb16Steps<kAlpha>(s, k, kAlpha ? sse2->Rgb16Alpha : sse2->Rgb16);
}

PIXELS_AVX2 void Index8Steps(const PixelSpan* s, const PixelConstants* k, PixelRowFunc rest) {
  Offsets32 o;
  LoadOffsets(k, s->Phase, &o);
  const Shifts32 shifts = LoadShifts(k);
  uint32_t i = ConvertHead(s, rest, k, 1);
  auto* dest = static_cast<uint8_t*>(s->Dest);
  for (; s->Count - i >= kStep; i += kStep) {
    const uint32_t ci = (s->OddStart + i) >> 1;
    Sums32 sums;
    YuvSums32(s->Y + i, s->U + ci, s->V + ci, &sums);
    const __m256i packed =
        _mm256_packus_epi16(PackBits(sums, 0, o, shifts), PackBits(sums, 1, o, shifts));
    Store256(dest + i, _mm256_permute4x64_epi64(packed, kQuarters0213));
  }
  ConvertTail(s, i, rest, k, 1);
}

void Index8Row(const PixelSpan* s, const PixelConstants* k) {
  Index8Steps(s, k, PixelKernelsSse2()->Index8);
}

// The three low bytes of sixteen 32-bit pixels per step, gathered by byte shuffles (SSSE3, part
// of every AVX2 processor) into three whole 16-byte stores.
PIXELS_AVX2 void Pack24(const void* src, uint32_t count, void* dest) {
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dest);
  const __m128i gather = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  auto load = [](const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); };
  uint32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i a = _mm_shuffle_epi8(load(in + 4 * i), gather);
    const __m128i b = _mm_shuffle_epi8(load(in + 4 * i + 16), gather);
    const __m128i c = _mm_shuffle_epi8(load(in + 4 * i + 32), gather);
    const __m128i d = _mm_shuffle_epi8(load(in + 4 * i + 48), gather);
    auto* o = reinterpret_cast<__m128i*>(out + 3 * i);
    _mm_storeu_si128(o, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    _mm_storeu_si128(o + 1, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    _mm_storeu_si128(o + 2, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
  }
  PixelKernelsSse2()->Pack24(in + 4 * i, count - i, out + 3 * i);
}

// Only the converters that gain from 32 pixels per step; the other slots stay SSE2.
constexpr PixelKernels kAvx2Kernels = {
    "avx2",  Rgb32Row<false>, Rgb32Row<true>, Rgb16Row<false>, Rgb16Row<true>, Index8Row,
    nullptr, nullptr,         nullptr,         nullptr,         Pack24,          nullptr,
    nullptr, nullptr,         nullptr,
};

}  // namespace

const PixelKernels* PixelKernelsAvx2() { return &kAvx2Kernels; }

#else

const PixelKernels* PixelKernelsAvx2() { return nullptr; }

#endif
