// The scalar reference converters on worked examples of the colour equations, dither and
// packing, and on properties that hold whatever the constants; the SIMD versions are held to
// the reference by the checkasm harness.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "pixels/convert.h"
#include "vexa/copy.h"

namespace {

struct Planes {
  std::vector<uint8_t> Y, U, V, A;
};

// Converts count pixels from column start of planes for surface type (row parity phase).
std::vector<uint8_t> Convert(uint32_t type, int hasAlpha, const Planes& p, uint32_t start,
                             uint32_t count, uint32_t phase) {
  PixelSelection sel;
  EXPECT_EQ(PixelSelect(type, hasAlpha, PixelKernelsScalar(), &sel), 1);
  std::vector<uint8_t> out(count * sel.RowBytes);
  const PixelSpan s{p.Y.data() + start, p.U.data() + start / 2, p.V.data() + start / 2,
                    p.A.data() + start, out.data(), count, start & 1, phase};
  sel.Row(&s, &sel.K);
  return out;
}

Planes Uniform(int y, int u, int v, int a) {
  return {std::vector<uint8_t>(64, uint8_t(y)), std::vector<uint8_t>(32, uint8_t(u)),
          std::vector<uint8_t>(32, uint8_t(v)), std::vector<uint8_t>(64, uint8_t(a))};
}

// R = 1.164 (Y - 16) + 1.596 (V - 128), G = 1.164 (Y - 16) - 0.391 (U - 128) - 0.813 (V - 128),
// B = 1.164 (Y - 16) + 2.018 (U - 128) in fixed point. The 16- and 8-bit types keep the top bits
// of 12-bit channels after a 2x2 ordered dither: on even rows 0 and 1/2 of the dropped range on
// even and odd columns, on odd rows 1/4 and 3/4. Each row converts two pixels from column Start
// (one pixel when Start is odd); Out is both pixels' bytes, 16-bit pixels little-endian.
struct Example {
  const char* Trace;
  uint32_t Type;
  int Alpha, Y, U, V, A;
  uint32_t Start, Phase;
  std::vector<uint8_t> Out;
};

const Example kExamples[] = {
    {"white", SurfaceRGBX32, 0, 235, 128, 128, 0, 0, 0, {254, 255, 254, 0, 254, 255, 254, 0}},
    {"black", SurfaceRGBX32, 0, 16, 128, 128, 0, 0, 0, {0, 1, 0, 0, 0, 1, 0, 0}},
    {"mid grey", SurfaceRGBX32, 0, 128, 128, 128, 0, 0, 1, {130, 131, 129, 0, 130, 131, 129, 0}},
    {"red clamps", SurfaceRGBX32, 0, 81, 90, 240, 0, 0, 0, {255, 1, 0, 0, 255, 1, 0, 0}},
    {"magenta-ish", SurfaceRGBX32, 0, 255, 128, 255, 0, 0, 0, {255, 176, 255, 0, 255, 176, 255, 0}},
    {"blue", SurfaceBGRX32, 0, 41, 240, 110, 0, 0, 0, {255, 0, 0, 0, 255, 0, 0, 0}},
    {"alpha byte", SurfaceRGBA32, 1, 16, 128, 128, 0xB7, 0, 0, {0, 1, 0, 0xB7, 0, 1, 0, 0xB7}},
    {"no alpha plane", SurfaceRGBA32, 0, 16, 128, 128, 0xB7, 0, 0, {0, 1, 0, 0, 0, 1, 0, 0}},
    // Mid grey in 12 bits: R 2083, G 2103, B 2078.
    {"565 even row: 16 32 16, 16 33 16", Surface565, 0, 128, 128, 128, 0, 0, 0,
     {0x10, 0x84, 0x30, 0x84}},
    {"565 odd row: 16 33 16, 17 33 16", Surface565, 0, 128, 128, 128, 0, 0, 1,
     {0x30, 0x84, 0x30, 0x8C}},
    {"565 lone odd column", Surface565, 0, 128, 128, 128, 0, 5, 0, {0x30, 0x84}},
    {"565 red", Surface565, 0, 81, 90, 240, 0, 0, 0, {0x00, 0xF8, 0x00, 0xF8}},
    {"655 six red bits on top", Surface655, 0, 128, 128, 128, 0, 0, 0, {0x10, 0x82, 0x10, 0x86}},
    {"664 blue", Surface664, 0, 41, 240, 110, 0, 0, 0, {0x0F, 0x00, 0x0F, 0x00}},
    {"4444 alpha nibble", Surface4444, 1, 16, 128, 128, 0xB7, 0, 0, {0x00, 0xB0, 0x00, 0xB0}},
    {"4444 no alpha plane", Surface4444, 0, 16, 128, 128, 0xB7, 0, 0, {0x00, 0x00, 0x00, 0x00}},
    {"5551 alpha bit", Surface5551, 1, 16, 128, 128, 0xB7, 0, 0, {0x00, 0x80, 0x00, 0x80}},
    {"palette R3 G3 B2 grey", SurfaceP8, 0, 128, 128, 128, 0, 0, 0, {4 + 8 * 4 + 64 * 2, 164}},
    {"palette red", SurfaceP8, 0, 81, 90, 240, 0, 0, 0, {7, 7}},
    {"palette blue", SurfaceP8, 0, 41, 240, 110, 0, 0, 0, {192, 192}},
    {"YUY2 pair", SurfaceYUY2, 0, 10, 100, 200, 0, 0, 0, {10, 100, 10, 200}},
    {"UYVY pair", SurfaceUYVY, 0, 10, 100, 200, 0, 0, 0, {100, 10, 200, 10}},
    {"YUY2 lone odd half", SurfaceYUY2, 0, 10, 100, 200, 0, 1, 0, {10, 200}},
    {"UYVY lone odd half", SurfaceUYVY, 0, 10, 100, 200, 0, 1, 0, {200, 10}},
};

TEST(PixelConvert, WorkedExamples) {
  for (const Example& e : kExamples) {
    PixelSelection sel;
    PixelSelect(e.Type, e.Alpha, PixelKernelsScalar(), &sel);
    const uint32_t count = uint32_t(e.Out.size()) / sel.RowBytes;
    EXPECT_EQ(Convert(e.Type, e.Alpha, Uniform(e.Y, e.U, e.V, e.A), e.Start, count, e.Phase),
              e.Out)
        << e.Trace;
  }
}

// Width doubling of packed YUV keeps U and V in place: (Y0 U Y1 V) becomes (Y0 U Y0 V Y1 U Y1 V).
TEST(PixelConvert, WidthDoubledPackedYuvKeepsChromaOrder) {
  Planes p = Uniform(0, 20, 40, 0);
  p.Y[0] = 10, p.Y[1] = 30;
  for (uint32_t type : {uint32_t(SurfaceYUY2), uint32_t(SurfaceUYVY)}) {
    PixelSelection sel;
    ASSERT_EQ(PixelSelect(type | (3u << CopyScaleShift), 0, PixelKernelsScalar(), &sel), 1);
    EXPECT_EQ(sel.Post, nullptr);
    std::vector<uint8_t> out(8);
    const PixelSpan s{p.Y.data(), p.U.data(), p.V.data(), nullptr, out.data(), 2, 0, 0};
    sel.Row(&s, &sel.K);
    const std::vector<uint8_t> yuy2 = {10, 20, 10, 40, 30, 20, 30, 40};
    const std::vector<uint8_t> uyvy = {20, 10, 40, 10, 20, 30, 40, 30};
    EXPECT_EQ(out, type == SurfaceYUY2 ? yuy2 : uyvy);
  }
}

// Grey stays grey (within the rounding of the three channels) and brightens with luma.
TEST(PixelConvert, GrayStaysGray) {
  Planes p = Uniform(0, 128, 128, 0);
  for (uint32_t i = 0; i < 64; ++i) p.Y[i] = uint8_t(4 * i);
  const std::vector<uint8_t> gray = Convert(SurfaceRGBX32, 0, p, 0, 64, 0);
  for (uint32_t i = 4; i < 4 * 64; i += 4) {
    const auto [lo, hi] = std::minmax({gray[i], gray[i + 1], gray[i + 2]});
    EXPECT_LE(hi - lo, 2) << i / 4;
    EXPECT_GE(gray[i + 1], gray[i - 3]) << i / 4;
  }
}

// Types that store the same values agree exactly on random rows: BGR and RGB orders, and the
// alpha converters over an alpha plane of zeros with the plain ones.
TEST(PixelConvert, TypesStoringTheSameValuesAgree) {
  std::mt19937 rng(3);
  Planes p = Uniform(0, 0, 0, 0);
  for (auto* plane : {&p.Y, &p.U, &p.V}) {
    for (uint8_t& b : *plane) b = uint8_t(rng());
  }
  for (uint32_t phase = 0; phase < 2; ++phase) {
    const std::vector<uint8_t> bgr = Convert(SurfaceBGRX32, 0, p, 1, 61, phase);
    std::vector<uint8_t> rgb = Convert(SurfaceRGBX32, 0, p, 1, 61, phase);
    for (size_t i = 0; i < rgb.size(); i += 4) std::swap(rgb[i], rgb[i + 2]);
    EXPECT_EQ(bgr, rgb);
    EXPECT_EQ(Convert(SurfaceBGRA32, 1, p, 1, 61, phase), bgr);
    EXPECT_EQ(Convert(Surface5551, 1, p, 1, 61, phase), Convert(Surface555, 0, p, 1, 61, phase));
    EXPECT_EQ(Convert(Surface4444, 1, p, 1, 61, phase), Convert(Surface4444, 0, p, 1, 61, phase));
  }
}

// Bytes per pixel of every type, doubled by width doubling; the alpha converters only for
// movies with an alpha plane; the planar type has no converter.
TEST(PixelSelect, BytesPerTypeAndAlphaConverters) {
  const uint32_t bytes[15] = {1, 3, 3, 4, 4, 4, 4, 2, 2, 2, 2, 2, 2, 2, 2};
  PixelSelection sel;
  for (uint32_t type = 0; type < 15; ++type) {
    for (uint32_t mode : {0u, 4u}) {
      ASSERT_EQ(PixelSelect(type | mode << CopyScaleShift, 0, PixelKernelsScalar(), &sel), 1);
      EXPECT_EQ(sel.DestBytes, (mode ? 2 : 1) * bytes[type]) << type;
    }
  }
  EXPECT_EQ(PixelSelect(SurfacePlanar, 1, PixelKernelsScalar(), &sel), 0);
  PixelSelect(SurfaceBGRA32, 1, PixelKernelsScalar(), &sel);
  EXPECT_EQ(sel.UsesAlpha, 1u);
  PixelSelect(Surface555, 1, PixelKernelsScalar(), &sel);
  EXPECT_EQ(sel.UsesAlpha, 0u);
}

}  // namespace
