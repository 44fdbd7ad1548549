// The scalar reference kernels: one pixel at a time, with the exact 16-bit arithmetic that the
// SIMD kernels reproduce lane by lane.
#include <bit>
#include <cstring>

#include "pixels/convert.h"

static_assert(std::endian::native == std::endian::little, "pixels are stored little-endian");

namespace {

int16_t MulHi(int32_t a, int16_t b) { return int16_t((int32_t(int16_t(a)) * b) >> 16); }

int16_t AddSaturate(int16_t a, int16_t b) {
  const int32_t sum = int32_t(a) + b;
  return int16_t(sum > 32767 ? 32767 : (sum < -32768 ? -32768 : sum));
}

uint16_t SubSaturate(uint16_t a, uint16_t b) { return a > b ? uint16_t(a - b) : uint16_t(0); }

// The three 12-bit channels (0..4095, four fractional bits) of one pixel; lane selects the
// offsets of the pixel's column parity.
struct Rgb12 {
  uint16_t C[3];
};

Rgb12 YuvToRgb12(uint8_t y, uint8_t u, uint8_t v, const PixelConstants* k, uint32_t phase,
                 uint32_t lane) {
  const int16_t ys = MulHi(y * 64, kPixelLumaMul);
  const int16_t us = MulHi(u * 16, kPixelChromaMul);
  const int16_t vs = MulHi(v * 32, kPixelChromaMul);
  const int16_t raw[3] = {int16_t(ys + 2 * vs), int16_t(ys - int16_t(us + vs)),
                          int16_t(ys + 5 * us)};
  Rgb12 out;
  for (int c = 0; c < 3; ++c) {
    const int16_t sum = AddSaturate(raw[c], k->Offset[phase][c][lane]);
    out.C[c] = SubSaturate(uint16_t(sum), kPixelFloor);
  }
  return out;
}

// Walks the span's pixels: fn(index, luma, chroma index, lane) with lane = column parity.
template <typename Fn>
void ForEachPixel(const PixelSpan* s, Fn fn) {
  for (uint32_t i = 0; i < s->Count; ++i) {
    const uint32_t column = s->OddStart + i;  // relative to the pair of the first column
    fn(i, column >> 1, column & 1);
  }
}

uint32_t Pack32(const Rgb12& c, const PixelConstants* k, uint32_t alpha) {
  uint32_t pixel = alpha << 24;
  for (int ch = 0; ch < 3; ++ch) pixel |= uint32_t(c.C[ch] >> 4) << k->Position[ch];
  return pixel;
}

uint16_t Pack16(const Rgb12& c, const PixelConstants* k) {
  uint32_t pixel = 0;
  for (int ch = 0; ch < 3; ++ch) pixel |= uint32_t(c.C[ch] >> k->Shift[ch]) << k->Position[ch];
  return uint16_t(pixel);
}

template <bool kAlpha>
void Rgb32Row(const PixelSpan* s, const PixelConstants* k) {
  auto* out = static_cast<uint8_t*>(s->Dest);
  ForEachPixel(s, [&](uint32_t i, uint32_t ci, uint32_t lane) {
    const Rgb12 c = YuvToRgb12(s->Y[i], s->U[ci], s->V[ci], k, s->Phase, lane);
    const uint32_t pixel = Pack32(c, k, kAlpha ? s->A[i] : 0u);
    std::memcpy(out + 4 * i, &pixel, 4);
  });
}

void Rgb24Row(const PixelSpan* s, const PixelConstants* k) {
  auto* out = static_cast<uint8_t*>(s->Dest);
  ForEachPixel(s, [&](uint32_t i, uint32_t ci, uint32_t lane) {
    const uint32_t pixel = Pack32(YuvToRgb12(s->Y[i], s->U[ci], s->V[ci], k, s->Phase, lane), k, 0);
    std::memcpy(out + 3 * i, &pixel, 3);
  });
}

template <bool kAlpha>
void Rgb16Row(const PixelSpan* s, const PixelConstants* k) {
  auto* out = static_cast<uint8_t*>(s->Dest);
  ForEachPixel(s, [&](uint32_t i, uint32_t ci, uint32_t lane) {
    const Rgb12 c = YuvToRgb12(s->Y[i], s->U[ci], s->V[ci], k, s->Phase, lane);
    uint16_t pixel = Pack16(c, k);
    if (kAlpha) pixel = uint16_t(pixel | ((s->A[i] >> k->AlphaShift) << k->AlphaPosition));
    std::memcpy(out + 2 * i, &pixel, 2);
  });
}

void Index8Row(const PixelSpan* s, const PixelConstants* k) {
  auto* out = static_cast<uint8_t*>(s->Dest);
  ForEachPixel(s, [&](uint32_t i, uint32_t ci, uint32_t lane) {
    const Rgb12 c = YuvToRgb12(s->Y[i], s->U[ci], s->V[ci], k, s->Phase, lane);
    out[i] = uint8_t(Pack16(c, k));
  });
}

// Packed 4:2:2. A pixel alone in its pair writes its own half: Y then the pair's U (even column)
// or V (odd column) for YUY2, the chroma byte first for UYVY.
template <bool kLumaFirst>
void PackedYuvRow(const PixelSpan* s, const PixelConstants*) {
  auto* out = static_cast<uint8_t*>(s->Dest);
  ForEachPixel(s, [&](uint32_t i, uint32_t ci, uint32_t lane) {
    const uint8_t chroma = lane == 0 ? s->U[ci] : s->V[ci];
    out[2 * i + (kLumaFirst ? 0 : 1)] = s->Y[i];
    out[2 * i + (kLumaFirst ? 1 : 0)] = chroma;
  });
}

// Width-doubled packed 4:2:2: every source pixel fills a whole pair with its own luma twice and
// its pair's chroma, so U and V stay in their places.
template <bool kLumaFirst>
void PackedYuvDoubleRow(const PixelSpan* s, const PixelConstants*) {
  auto* out = static_cast<uint8_t*>(s->Dest);
  ForEachPixel(s, [&](uint32_t i, uint32_t ci, uint32_t) {
    const uint8_t y = s->Y[i];
    const uint8_t quad[4] = {kLumaFirst ? y : s->U[ci], kLumaFirst ? s->U[ci] : y,
                             kLumaFirst ? y : s->V[ci], kLumaFirst ? s->V[ci] : y};
    std::memcpy(out + 4 * i, quad, 4);
  });
}

void Pack24(const void* src, uint32_t count, void* dest) {
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dest);
  for (uint32_t i = 0; i < count; ++i) std::memcpy(out + 3 * i, in + 4 * i, 3);
}

void Pack24Double(const void* src, uint32_t count, void* dest) {
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dest);
  for (uint32_t i = 0; i < count; ++i) {
    std::memcpy(out + 6 * i, in + 4 * i, 3);
    std::memcpy(out + 6 * i + 3, in + 4 * i, 3);
  }
}

template <uint32_t kBytes>
void DoublePixels(const void* src, uint32_t count, void* dest) {
  const auto* in = static_cast<const uint8_t*>(src);
  auto* out = static_cast<uint8_t*>(dest);
  for (uint32_t i = 0; i < count; ++i) {
    std::memcpy(out + 2 * kBytes * i, in + kBytes * i, kBytes);
    std::memcpy(out + 2 * kBytes * i + kBytes, in + kBytes * i, kBytes);
  }
}

constexpr PixelKernels kScalarKernels = {
    "scalar",
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

const PixelKernels* PixelKernelsScalar() { return &kScalarKernels; }
