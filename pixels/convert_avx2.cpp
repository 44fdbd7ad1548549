// AVX2 kernels for the colour converters (24-bit pixels written directly, gathered in registers):
// thirty-two pixels per step in 16-bit lanes, bit-identical to the scalar reference; and the
// 24-bit packing post-step by byte shuffles. The packed YUV converters and
// the doubling post-steps are bound by memory already and stay SSE2; a lone pixel at an odd start
// and the remainder below one step also go to the SSE2 kernels.
//
// 256-bit unpacks and packs work inside each 128-bit half. Rather than putting pixels back in
// order before every store, each output picks the order its pixels are computed in (StepOrder):
// one dword permutation of the luma bytes and a byte shuffle of the chroma samples set it up, so
// that the packing at the end comes out in memory order without crossing halves.
//
// The products are the reference's, in forms that need no shifts: a byte unpacked into the high
// half of a 16-bit lane is the byte times 256, so
//   U' = hi((U * 16) * 0x6810) = floor(U * 26640 / 4096) = hi_unsigned((U * 256) * 1665),
//   V' = hi((V * 32) * 0x6810) = floor(V * 26640 / 2048) = hi_unsigned((V * 256) * 3330),
//   Y' = hi((Y * 64) * 0x4A89) = floor(Y * 19081 / 1024) = hi_unsigned((Y * 256) * 0x4A89) >> 2.
// The colour offsets (with the dither of the lane's column parity) are added once per chroma
// sample, before the sample is spread over its two pixels; see ChromaTerms.
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
constexpr int16_t kChromaMulU = 1665;  // 0x6810 / 16: U' from U * 256
constexpr int16_t kChromaMulV = 3330;  // 0x6810 / 8: V' from V * 256

PIXELS_AVX2 inline __m256i Load256(const void* p) {
  return _mm256_loadu_si256(static_cast<const __m256i*>(p));
}
PIXELS_AVX2 inline void Store256(void* p, __m256i v) {
  _mm256_storeu_si256(static_cast<__m256i*>(p), v);
}

// Pixel order of one step. The 32 luma bytes are permuted by dwords (four pixels each): Luma[j]
// is the source dword of dword j. The in-half unpacks then give the 16-bit vectors
//   a = dwords Luma[0], Luma[1] | Luma[4], Luma[5]   b = dwords Luma[2], Luma[3] | Luma[6], Luma[7]
// and a byte pack of a and b gives the bytes in the permuted order again.
struct alignas(32) StepOrder {
  int32_t Luma[8];
  int8_t Chroma[32];  // byte shuffle putting each dword's two chroma samples beside it (x256)
};

// The chroma shuffle for a luma permutation: dword p holds pixels 4p..4p+3, which take samples
// 2p and 2p+1. Words 0-3 of each half go to vector a's pixels, words 4-7 to b's (each sample
// then spread over its pixel pair by one unpack with itself).
constexpr StepOrder MakeOrder(int32_t d0, int32_t d1, int32_t d2, int32_t d3, int32_t d4,
                              int32_t d5, int32_t d6, int32_t d7) {
  StepOrder o = {{d0, d1, d2, d3, d4, d5, d6, d7}, {}};
  for (int half = 0; half < 2; ++half) {
    for (int j = 0; j < 4; ++j) {
      for (int s = 0; s < 2; ++s) {
        const int byte = 16 * half + 4 * j + 2 * s;
        o.Chroma[byte] = -128;  // zero low byte: the sample lands in the high byte
        o.Chroma[byte + 1] = int8_t(2 * o.Luma[4 * half + j] + s);
      }
    }
  }
  return o;
}

// 32-bit pixels: the in-half byte and word unpacks of the channel bytes give pixels 0-7, 8-15,
// 16-23 and 24-31 in whole vectors when the bytes stand as 0-3 8-11 16-19 24-27 | 4-7 12-15 ...
constexpr StepOrder kOrder32 = MakeOrder(0, 2, 4, 6, 1, 3, 5, 7);
// 16-bit pixels: a = pixels 0-15, b = 16-31.
constexpr StepOrder kOrder16 = MakeOrder(0, 1, 4, 5, 2, 3, 6, 7);
// 8-bit pixels: the byte pack of a and b gives 0-15 | 16-31, so the luma stays as loaded.
constexpr StepOrder kOrder8 = MakeOrder(0, 1, 2, 3, 4, 5, 6, 7);

// The luma bytes in the step's order (or alpha bytes, which follow the same pixels).
template <const StepOrder& kOrder>
PIXELS_AVX2 inline __m256i OrderedBytes(const uint8_t* p) {
  if constexpr (&kOrder == &kOrder8) return Load256(p);
  return _mm256_permutevar8x32_epi32(Load256(p), _mm256_load_si256(
                                                     reinterpret_cast<const __m256i*>(kOrder.Luma)));
}

// One step of 32 pixels in the order's vectors a and b (index 0 and 1): the luma term Y' and per
// channel the chroma term with the colour offset folded in.
struct StepTerms {
  __m256i Luma[2];
  __m256i Chroma[3][2];
};

// Colour offsets to fold into the chroma terms, per channel for even and odd columns.
struct Offsets {
  __m256i Even[3], Odd[3];
};

// byteOffset: the 8-bit outputs clamp by the byte pack, so they fold offset - floor (the sum
// then stays inside 16 bits); the others fold the offset and take the floor off per pixel.
PIXELS_AVX2 inline void LoadOffsets(const PixelConstants* k, uint32_t phase, bool byteOffset,
                                    Offsets* o) {
  const int16_t floor = byteOffset ? int16_t(kPixelFloor) : int16_t(0);
  for (int c = 0; c < 3; ++c) {
    o->Even[c] = _mm256_set1_epi16(int16_t(k->Offset[phase][c][0] - floor));
    o->Odd[c] = _mm256_set1_epi16(int16_t(k->Offset[phase][c][1] - floor));
  }
}

PIXELS_AVX2 inline __m256i ChromaBytes(const uint8_t* p, __m256i control) {
  return _mm256_shuffle_epi8(
      _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
      control);
}

// Green's term is subtracted: the offset minus U' + V'.
PIXELS_AVX2 inline __m256i FoldOffset(__m256i raw, __m256i offset, int c) {
  return c == PixelGreen ? _mm256_subs_epi16(offset, raw) : _mm256_adds_epi16(raw, offset);
}

// Per chroma sample: 2 V', -(U' + V') and 5 U' plus the channel's offset, added with signed
// saturation as the reference adds the offset to the whole sum. Only blue can saturate here
// (5 U' plus a dithered offset), and then the whole sum saturates in the reference too, as the
// luma term is never negative; the other terms stay far inside 16 bits. Without dither the term
// is the same for both pixels of the pair; with it, even and odd columns get their own.
template <const StepOrder& kOrder, bool kDither>
PIXELS_AVX2 inline void ChromaTerms(const uint8_t* u, const uint8_t* v, const Offsets& o,
                                    StepTerms* t) {
  const __m256i control = _mm256_load_si256(reinterpret_cast<const __m256i*>(kOrder.Chroma));
  const __m256i us = _mm256_mulhi_epu16(ChromaBytes(u, control), _mm256_set1_epi16(kChromaMulU));
  const __m256i vs = _mm256_mulhi_epu16(ChromaBytes(v, control), _mm256_set1_epi16(kChromaMulV));
  const __m256i raw[3] = {_mm256_add_epi16(vs, vs), _mm256_add_epi16(us, vs),
                          _mm256_mullo_epi16(us, _mm256_set1_epi16(5))};
  for (int c = 0; c < 3; ++c) {
    const __m256i even = FoldOffset(raw[c], o.Even[c], c);
    const __m256i odd = kDither ? FoldOffset(raw[c], o.Odd[c], c) : even;
    t->Chroma[c][0] = _mm256_unpacklo_epi16(even, odd);
    t->Chroma[c][1] = _mm256_unpackhi_epi16(even, odd);
  }
}

template <const StepOrder& kOrder, bool kDither>
PIXELS_AVX2 inline void Terms(const PixelSpan* s, uint32_t i, const Offsets& o, StepTerms* t) {
  const uint32_t ci = (s->OddStart + i) >> 1;
  const __m256i luma = OrderedBytes<kOrder>(s->Y + i);
  const __m256i zero = _mm256_setzero_si256();
  const __m256i lumaMul = _mm256_set1_epi16(kPixelLumaMul);
  t->Luma[0] = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_unpacklo_epi8(zero, luma), lumaMul), 2);
  t->Luma[1] = _mm256_srli_epi16(_mm256_mulhi_epu16(_mm256_unpackhi_epi8(zero, luma), lumaMul), 2);
  ChromaTerms<kOrder, kDither>(s->U + ci, s->V + ci, o, t);
}

// 8-bit channel of the step's 32 pixels as bytes in the order's byte order: the sum with offset
// and floor folded in, shifted by 4 and clamped to 0..255 by the pack, equals the reference's
// 12-bit value (clamped to 0..4095) shifted by 4. The shift is the high product with 2^12
// (floor(x / 16) for negative x too), which runs beside the shuffles rather than with them.
PIXELS_AVX2 inline __m256i Channel8(const StepTerms& t, int c) {
  const __m256i sixteenth = _mm256_set1_epi16(1 << 12);
  return _mm256_packus_epi16(
      _mm256_mulhi_epi16(_mm256_add_epi16(t.Luma[0], t.Chroma[c][0]), sixteenth),
      _mm256_mulhi_epi16(_mm256_add_epi16(t.Luma[1], t.Chroma[c][1]), sixteenth));
}

// 12-bit channel of vector half (a or b): offset added with signed saturation (folded into the
// chroma term), floor taken off with unsigned saturation.
PIXELS_AVX2 inline __m256i Channel12(const StepTerms& t, int c, int half) {
  return _mm256_subs_epu16(_mm256_adds_epi16(t.Luma[half], t.Chroma[c][half]),
                           _mm256_set1_epi16(int16_t(kPixelFloor)));
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

// The step's 32-bit pixels 0-7, 8-15, 16-23, 24-31. kLow: the channel in byte 0 (blue for BGR
// layouts, red for RGB ones). The channel bytes stand in kOrder32's order, so the in-half byte
// and word unpacks give the pixels in memory order.
template <int kLow>
PIXELS_AVX2 inline void Pixels32(const StepTerms& t, __m256i byte3, __m256i out[4]) {
  const __m256i byte0 = Channel8(t, kLow);
  const __m256i byte1 = Channel8(t, PixelGreen);
  const __m256i byte2 = Channel8(t, 2 - kLow);
  for (int h = 0; h < 2; ++h) {
    const __m256i low = h == 0 ? _mm256_unpacklo_epi8(byte0, byte1)
                               : _mm256_unpackhi_epi8(byte0, byte1);
    const __m256i high = h == 0 ? _mm256_unpacklo_epi8(byte2, byte3)
                                : _mm256_unpackhi_epi8(byte2, byte3);
    out[2 * h] = _mm256_unpacklo_epi16(low, high);
    out[2 * h + 1] = _mm256_unpackhi_epi16(low, high);
  }
}

template <bool kAlpha, int kLow>
PIXELS_AVX2 void Rgb32Layout(const PixelSpan* s, const PixelConstants* k, PixelRowFunc rest) {
  Offsets o;
  LoadOffsets(k, s->Phase, true, &o);
  uint32_t i = ConvertHead(s, rest, k, 4);
  auto* dest = static_cast<uint8_t*>(s->Dest);
  for (; s->Count - i >= kStep; i += kStep) {
    StepTerms t;
    Terms<kOrder32, false>(s, i, o, &t);
    __m256i pixels[4];
    Pixels32<kLow>(t, kAlpha ? OrderedBytes<kOrder32>(s->A + i) : _mm256_setzero_si256(),
                   pixels);
    for (int q = 0; q < 4; ++q) Store256(dest + size_t(i) * 4 + 32 * q, pixels[q]);
  }
  ConvertTail(s, i, rest, k, 4);
}

// 24-bit pixels: each vector of eight 32-bit pixels has its three low bytes gathered by a byte
// shuffle (twelve per half) and a dword permute (24 at the start). Each store of 32 bytes then
// reaches 8 bytes into the next eight pixels, which the next store overwrites; the step's last
// eight are stored as 16 + 8 bytes when fewer than three pixels follow the step, so that nothing
// past the span is written.
template <int kLow>
PIXELS_AVX2 void Rgb24Layout(const PixelSpan* s, const PixelConstants* k, PixelRowFunc rest) {
  Offsets o;
  LoadOffsets(k, s->Phase, true, &o);
  const __m256i gather = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                          0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  const __m256i join = _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 3, 7);
  uint32_t i = ConvertHead(s, rest, k, 3);
  auto* dest = static_cast<uint8_t*>(s->Dest);
  for (; s->Count - i >= kStep; i += kStep) {
    StepTerms t;
    Terms<kOrder32, false>(s, i, o, &t);
    __m256i pixels[4];
    Pixels32<kLow>(t, _mm256_setzero_si256(), pixels);
    uint8_t* out = dest + size_t(i) * 3;
    for (int q = 0; q < 4; ++q) {
      const __m256i packed = _mm256_permutevar8x32_epi32(_mm256_shuffle_epi8(pixels[q], gather),
                                                         join);
      if (q < 3 || s->Count - i >= kStep + 3) {
        Store256(out + 24 * q, packed);
      } else {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 72), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 88), _mm256_extracti128_si256(packed, 1));
      }
    }
  }
  ConvertTail(s, i, rest, k, 3);
}

void Rgb24Row(const PixelSpan* s, const PixelConstants* k) {
  const PixelRowFunc rest = PixelKernelsSse2()->Rgb24;
  if (k->Position[PixelRed] == 0) {
    Rgb24Layout<PixelRed>(s, k, rest);
  } else {
    Rgb24Layout<PixelBlue>(s, k, rest);
  }
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

struct Shifts {
  __m128i Right[3], Left[3], AlphaRight, AlphaLeft;
};

Shifts LoadShifts(const PixelConstants* k) {
  Shifts p;
  for (int c = 0; c < 3; ++c) {
    p.Right[c] = _mm_cvtsi32_si128(k->Shift[c]);
    p.Left[c] = _mm_cvtsi32_si128(k->Position[c]);
  }
  p.AlphaRight = _mm_cvtsi32_si128(k->AlphaShift);
  p.AlphaLeft = _mm_cvtsi32_si128(k->AlphaPosition);
  return p;
}

// Sixteen pixels (vector a or b) of a 16- or 8-bit layout.
PIXELS_AVX2 inline __m256i PackBits(const StepTerms& t, int half, const Shifts& p) {
  __m256i pixel = _mm256_setzero_si256();
  for (int c = 0; c < 3; ++c) {
    const __m256i value = Channel12(t, c, half);
    pixel = _mm256_or_si256(pixel,
                            _mm256_sll_epi16(_mm256_srl_epi16(value, p.Right[c]), p.Left[c]));
  }
  return pixel;
}

template <bool kAlpha>
PIXELS_AVX2 void Rgb16Steps(const PixelSpan* s, const PixelConstants* k, PixelRowFunc rest) {
  Offsets o;
  LoadOffsets(k, s->Phase, false, &o);
  const Shifts shifts = LoadShifts(k);
  uint32_t i = ConvertHead(s, rest, k, 2);
  auto* dest = static_cast<uint8_t*>(s->Dest);
  for (; s->Count - i >= kStep; i += kStep) {
    StepTerms t;
    Terms<kOrder16, true>(s, i, o, &t);
    const __m256i alpha = kAlpha ? OrderedBytes<kOrder16>(s->A + i) : _mm256_setzero_si256();
    for (int half = 0; half < 2; ++half) {
      __m256i pixel = PackBits(t, half, shifts);
      if (kAlpha) {
        const __m256i zero = _mm256_setzero_si256();
        const __m256i a = half == 0 ? _mm256_unpacklo_epi8(alpha, zero)
                                    : _mm256_unpackhi_epi8(alpha, zero);
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
  Offsets o;
  LoadOffsets(k, s->Phase, false, &o);
  const Shifts shifts = LoadShifts(k);
  uint32_t i = ConvertHead(s, rest, k, 1);
  auto* dest = static_cast<uint8_t*>(s->Dest);
  for (; s->Count - i >= kStep; i += kStep) {
    StepTerms t;
    Terms<kOrder8, true>(s, i, o, &t);
    Store256(dest + i, _mm256_packus_epi16(PackBits(t, 0, shifts), PackBits(t, 1, shifts)));
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
    "avx2",   Rgb32Row<false>, Rgb32Row<true>, Rgb24Row, Rgb16Row<false>,
    Rgb16Row<true>, Index8Row, nullptr,        nullptr,  nullptr,
    nullptr,  Pack24,          nullptr,        nullptr,  nullptr,
    nullptr,
};

}  // namespace

const PixelKernels* PixelKernelsAvx2() { return &kAvx2Kernels; }

#else

const PixelKernels* PixelKernelsAvx2() { return nullptr; }

#endif
