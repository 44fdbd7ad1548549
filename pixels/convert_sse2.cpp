// SSE2 kernels: sixteen pixels per step in 16-bit lanes, the same saturating arithmetic as the
// scalar reference (mulhi, adds, subs), so the output is bit-identical. A lone pixel at an odd
// start and the remainder below one step go through the scalar kernels.
#include "pixels/convert.h"

#if defined(__SSE2__) || defined(_M_X64)
#define PIXELS_HAVE_SSE2 1
#include <emmintrin.h>

#include <cstring>
#endif

#if PIXELS_HAVE_SSE2

namespace {

__m128i Load32(const uint8_t* p) {
  int32_t v;
  std::memcpy(&v, p, 4);
  return _mm_cvtsi32_si128(v);
}

__m128i Load64(const uint8_t* p) { return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)); }
__m128i Load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
void Store128(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// Per channel and half (pixels 0-7, 8-15 of a group of sixteen starting at an even column): the
// luma term plus the channel's chroma term, before offset and clamping.
struct Sums16 {
  __m128i C[3][2];
};

struct Offsets {
  __m128i C[3];
};

Offsets LoadOffsets(const PixelConstants* k, uint32_t phase) {
  Offsets o;
  for (int c = 0; c < 3; ++c) {
    o.C[c] = _mm_load_si128(reinterpret_cast<const __m128i*>(k->Offset[phase][c]));
  }
  return o;
}

// The chroma terms (2 V', -(U' + V'), 5 U') are formed once per chroma sample and then spread
// over the sample's two pixels; 16-bit wrap-around makes the sums the same as per pixel.
Sums16 YuvSums16(const uint8_t* y, const uint8_t* u, const uint8_t* v) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i lumaMul = _mm_set1_epi16(kPixelLumaMul);
  const __m128i chromaMul = _mm_set1_epi16(kPixelChromaMul);
  const __m128i luma = Load128(y);
  const __m128i ys[2] = {
      _mm_mulhi_epi16(_mm_slli_epi16(_mm_unpacklo_epi8(luma, zero), 6), lumaMul),
      _mm_mulhi_epi16(_mm_slli_epi16(_mm_unpackhi_epi8(luma, zero), 6), lumaMul)};
  const __m128i us =
      _mm_mulhi_epi16(_mm_slli_epi16(_mm_unpacklo_epi8(Load64(u), zero), 4), chromaMul);
  const __m128i vs =
      _mm_mulhi_epi16(_mm_slli_epi16(_mm_unpacklo_epi8(Load64(v), zero), 5), chromaMul);
  const __m128i terms[3] = {_mm_add_epi16(vs, vs), _mm_sub_epi16(zero, _mm_add_epi16(us, vs)),
                            _mm_add_epi16(_mm_slli_epi16(us, 2), us)};
  Sums16 out;
  for (int c = 0; c < 3; ++c) {
    out.C[c][0] = _mm_add_epi16(ys[0], _mm_unpacklo_epi16(terms[c], terms[c]));
    out.C[c][1] = _mm_add_epi16(ys[1], _mm_unpackhi_epi16(terms[c], terms[c]));
  }
  return out;
}

// 12-bit channel: offset added with signed saturation, floor taken off with unsigned saturation.
__m128i Channel12(__m128i sum, __m128i offset) {
  return _mm_subs_epu16(_mm_adds_epi16(sum, offset), _mm_set1_epi16(int16_t(kPixelFloor)));
}

// 8-bit channels of sixteen pixels as bytes. The 12-bit value clamped to 0..4095 and shifted
// right by 4 equals the unclamped value (offset and floor added at once, no 16-bit overflow for
// the colour offsets) shifted arithmetically by 4 and clamped to 0..255 by the byte packing.
__m128i Channel8x16(const __m128i sum[2], __m128i offset) {
  const __m128i shifted = _mm_sub_epi16(offset, _mm_set1_epi16(int16_t(kPixelFloor)));
  return _mm_packus_epi16(_mm_srai_epi16(_mm_add_epi16(sum[0], shifted), 4),
                          _mm_srai_epi16(_mm_add_epi16(sum[1], shifted), 4));
}

// Runs step(first pixel, first chroma sample, destination) over whole groups of kGroup pixels
// starting at an even column; the scalar kernel does the rest.
template <uint32_t kGroup, uint32_t kBytes, typename Step>
void RunRow(const PixelSpan* s, PixelRowFunc scalar, const PixelConstants* k, Step step) {
  uint32_t i = 0;
  if (s->OddStart && s->Count > 0) {
    const PixelSpan head = PixelSubSpan(s, 0, 1, kBytes);
    scalar(&head, k);
    i = 1;
  }
  auto* dest = static_cast<uint8_t*>(s->Dest);
  for (; s->Count - i >= kGroup; i += kGroup) {
    step(i, (s->OddStart + i) >> 1, dest + size_t(i) * kBytes);
  }
  if (i < s->Count) {
    const PixelSpan tail = PixelSubSpan(s, i, s->Count - i, kBytes);
    scalar(&tail, k);
  }
}

// kLow: the channel in byte 0 (blue for BGR layouts, red for RGB ones).
template <bool kAlpha, int kLow>
void Rgb32Layout(const PixelSpan* s, const PixelConstants* k) {
  const Offsets o = LoadOffsets(k, s->Phase);
  const PixelRowFunc scalar =
      kAlpha ? PixelKernelsScalar()->Rgb32Alpha : PixelKernelsScalar()->Rgb32;
  RunRow<16, 4>(s, scalar, k, [&](uint32_t i, uint32_t ci, uint8_t* out) {
    const Sums16 sums = YuvSums16(s->Y + i, s->U + ci, s->V + ci);
    const __m128i byte0 = Channel8x16(sums.C[kLow], o.C[kLow]);
    const __m128i byte1 = Channel8x16(sums.C[PixelGreen], o.C[PixelGreen]);
    const __m128i byte2 = Channel8x16(sums.C[2 - kLow], o.C[2 - kLow]);
    const __m128i byte3 = kAlpha ? Load128(s->A + i) : _mm_setzero_si128();
    const __m128i pairs01[2] = {_mm_unpacklo_epi8(byte0, byte1), _mm_unpackhi_epi8(byte0, byte1)};
    const __m128i pairs23[2] = {_mm_unpacklo_epi8(byte2, byte3), _mm_unpackhi_epi8(byte2, byte3)};
    for (int half = 0; half < 2; ++half) {
      Store128(out + 32 * half, _mm_unpacklo_epi16(pairs01[half], pairs23[half]));
      Store128(out + 32 * half + 16, _mm_unpackhi_epi16(pairs01[half], pairs23[half]));
    }
  });
}

template <bool kAlpha>
void Rgb32Row(const PixelSpan* s, const PixelConstants* k) {
  if (k->Position[PixelRed] == 0) {
    Rgb32Layout<kAlpha, PixelRed>(s, k);
  } else {
    Rgb32Layout<kAlpha, PixelBlue>(s, k);
  }
}

// The 16-bit word of eight pixels: each channel >> Shift, << Position.
struct Pack16Shifts {
  __m128i Right[3], Left[3], AlphaRight, AlphaLeft;
};

Pack16Shifts LoadShifts(const PixelConstants* k) {
  Pack16Shifts p;
  for (int c = 0; c < 3; ++c) {
    p.Right[c] = _mm_cvtsi32_si128(k->Shift[c]);
    p.Left[c] = _mm_cvtsi32_si128(k->Position[c]);
  }
  p.AlphaRight = _mm_cvtsi32_si128(k->AlphaShift);
  p.AlphaLeft = _mm_cvtsi32_si128(k->AlphaPosition);
  return p;
}

__m128i Pack16x8(const Sums16& sums, int half, const Offsets& o, const Pack16Shifts& p) {
  __m128i pixel = _mm_setzero_si128();
  for (int c = 0; c < 3; ++c) {
    const __m128i value = Channel12(sums.C[c][half], o.C[c]);
    pixel = _mm_or_si128(pixel, _mm_sll_epi16(_mm_srl_epi16(value, p.Right[c]), p.Left[c]));
  }
  return pixel;
}

template <bool kAlpha>
void Rgb16Row(const PixelSpan* s, const PixelConstants* k) {
  const Offsets o = LoadOffsets(k, s->Phase);
  const Pack16Shifts shifts = LoadShifts(k);
  const PixelRowFunc scalar =
      kAlpha ? PixelKernelsScalar()->Rgb16Alpha : PixelKernelsScalar()->Rgb16;
  RunRow<16, 2>(s, scalar, k, [&](uint32_t i, uint32_t ci, uint8_t* out) {
    const Sums16 sums = YuvSums16(s->Y + i, s->U + ci, s->V + ci);
    const __m128i alpha = kAlpha ? Load128(s->A + i) : _mm_setzero_si128();
    for (int half = 0; half < 2; ++half) {
      __m128i pixel = Pack16x8(sums, half, o, shifts);
      if (kAlpha) {
        const __m128i a = half == 0 ? _mm_unpacklo_epi8(alpha, _mm_setzero_si128())
                                    : _mm_unpackhi_epi8(alpha, _mm_setzero_si128());
        pixel = _mm_or_si128(
            pixel, _mm_sll_epi16(_mm_srl_epi16(a, shifts.AlphaRight), shifts.AlphaLeft));
      }
      Store128(out + 16 * half, pixel);
    }
  });
}

void Index8Row(const PixelSpan* s, const PixelConstants* k) {
  const Offsets o = LoadOffsets(k, s->Phase);
  const Pack16Shifts shifts = LoadShifts(k);
  RunRow<16, 1>(s, PixelKernelsScalar()->Index8, k, [&](uint32_t i, uint32_t ci, uint8_t* out) {
    const Sums16 sums = YuvSums16(s->Y + i, s->U + ci, s->V + ci);
    Store128(out, _mm_packus_epi16(Pack16x8(sums, 0, o, shifts), Pack16x8(sums, 1, o, shifts)));
  });
}

// Sixteen pixels: sixteen luma bytes and eight samples of each chroma plane.
template <bool kLumaFirst>
void PackedYuvRow(const PixelSpan* s, const PixelConstants* k) {
  const PixelRowFunc scalar = kLumaFirst ? PixelKernelsScalar()->Yuy2 : PixelKernelsScalar()->Uyvy;
  RunRow<16, 2>(s, scalar, k, [&](uint32_t i, uint32_t ci, uint8_t* out) {
    const __m128i y = Load128(s->Y + i);
    const __m128i uv = _mm_unpacklo_epi8(Load64(s->U + ci), Load64(s->V + ci));
    Store128(out, kLumaFirst ? _mm_unpacklo_epi8(y, uv) : _mm_unpacklo_epi8(uv, y));
    Store128(out + 16, kLumaFirst ? _mm_unpackhi_epi8(y, uv) : _mm_unpackhi_epi8(uv, y));
  });
}

// Eight source pixels into eight whole pairs: luma doubled, each chroma pair used twice.
template <bool kLumaFirst>
void PackedYuvDoubleRow(const PixelSpan* s, const PixelConstants* k) {
  const PixelRowFunc scalar =
      kLumaFirst ? PixelKernelsScalar()->Yuy2Double : PixelKernelsScalar()->UyvyDouble;
  RunRow<8, 4>(s, scalar, k, [&](uint32_t i, uint32_t ci, uint8_t* out) {
    const __m128i y = Load64(s->Y + i);
    const __m128i yy = _mm_unpacklo_epi8(y, y);
    const __m128i uv = _mm_unpacklo_epi8(Load32(s->U + ci), Load32(s->V + ci));
    const __m128i uvuv = _mm_unpacklo_epi16(uv, uv);
    Store128(out, kLumaFirst ? _mm_unpacklo_epi8(yy, uvuv) : _mm_unpacklo_epi8(uvuv, yy));
    Store128(out + 16, kLumaFirst ? _mm_unpackhi_epi8(yy, uvuv) : _mm_unpackhi_epi8(uvuv, yy));
  });
}

// The three low bytes of four 32-bit pixels, moved together into bytes 0-11 (12-15 zero).
__m128i Pack24x4(__m128i p) {
  const __m128i lowPixel = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i highPixel = _mm_set_epi32(0x00FFFFFF, 0, 0x00FFFFFF, 0);
  // Each 64-bit half: its two pixels in six bytes, then the halves joined.
  const __m128i halves = _mm_or_si128(_mm_and_si128(p, lowPixel),
                                      _mm_srli_epi64(_mm_and_si128(p, highPixel), 8));
  return _mm_or_si128(_mm_move_epi64(halves),
                      _mm_srli_si128(_mm_unpackhi_epi64(_mm_setzero_si128(), halves), 2));
}

// Sixteen pixels per step into three whole 16-byte stores.
void Pack24(const void* src, uint32_t count, void* dest) {
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dest);
  uint32_t i = 0;
  for (; i + 16 <= count; i += 16) {
    const __m128i a = Pack24x4(Load128(in + 4 * i));
    const __m128i b = Pack24x4(Load128(in + 4 * i + 16));
    const __m128i c = Pack24x4(Load128(in + 4 * i + 32));
    const __m128i d = Pack24x4(Load128(in + 4 * i + 48));
    Store128(out + 3 * i, _mm_or_si128(a, _mm_slli_si128(b, 12)));
    Store128(out + 3 * i + 16, _mm_or_si128(_mm_srli_si128(b, 4), _mm_slli_si128(c, 8)));
    Store128(out + 3 * i + 32, _mm_or_si128(_mm_srli_si128(c, 8), _mm_slli_si128(d, 4)));
  }
  PixelKernelsScalar()->Pack24(in + 4 * i, count - i, out + 3 * i);
}

template <uint32_t kBytes>
void DoublePixels(const void* src, uint32_t count, void* dest) {
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dest);
  constexpr uint32_t kStep = 16 / kBytes;
  uint32_t i = 0;
  for (; i + kStep <= count; i += kStep) {
    const __m128i p = Load128(in + kBytes * i);
    __m128i low, high;
    if constexpr (kBytes == 4) {
      low = _mm_unpacklo_epi32(p, p), high = _mm_unpackhi_epi32(p, p);
    } else if constexpr (kBytes == 2) {
      low = _mm_unpacklo_epi16(p, p), high = _mm_unpackhi_epi16(p, p);
    } else {
      low = _mm_unpacklo_epi8(p, p), high = _mm_unpackhi_epi8(p, p);
    }
    Store128(out + 2 * kBytes * i, low);
    Store128(out + 2 * kBytes * i + 16, high);
  }
  const PixelKernels* scalar = PixelKernelsScalar();
  const PixelPostFunc rest =
      kBytes == 4 ? scalar->Double32 : (kBytes == 2 ? scalar->Double16 : scalar->Double8);
  rest(in + kBytes * i, count - i, out + 2 * kBytes * i);
}

void Pack24Double(const void* src, uint32_t count, void* dest) {
  // Doubling in 32-bit units first keeps the packing step the only 24-bit code.
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dest);
  alignas(16) uint8_t doubled[256];
  while (count > 0) {
    const uint32_t n = count < 32 ? count : 32;
    DoublePixels<4>(in, n, doubled);
    Pack24(doubled, 2 * n, out);
    in += 4 * n, out += 6 * n, count -= n;
  }
}

// 24-bit pixels through the 32-bit converter, a chunk at a time into a buffer on the stack.
void Rgb24Row(const PixelSpan* s, const PixelConstants* k) {
  alignas(16) uint8_t converted[512];
  constexpr uint32_t kChunk = sizeof converted / 4;
  for (uint32_t done = 0; done < s->Count; done += kChunk) {
    const uint32_t n = s->Count - done < kChunk ? s->Count - done : kChunk;
    PixelSpan part = PixelSubSpan(s, done, n, 3);
    uint8_t* out = static_cast<uint8_t*>(part.Dest);
    part.Dest = converted;
    Rgb32Row<false>(&part, k);
    Pack24(converted, n, out);
  }
}

constexpr PixelKernels kSse2Kernels = {
    "sse2",
    Rgb32Row<false>,
    Rgb32Row<true>,
    Rgb24Row,
    Rgb16Row<false>,
    Rgb16Row<true>,
    Index8Row,
    PackedYuvRow<true>,
    PackedYuvRow<false>,
    PackedYuvDoubleRow<true>,
    PackedYuvDoubleRow<false>,
    Pack24,
    Pack24Double,
    DoublePixels<4>,
    DoublePixels<2>,
    DoublePixels<1>,
};

}  // namespace

const PixelKernels* PixelKernelsSse2() { return &kSse2Kernels; }

#else

const PixelKernels* PixelKernelsSse2() { return nullptr; }

#endif
