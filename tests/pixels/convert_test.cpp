// The scalar reference converters on worked examples of the colour equations, dither and packing;
// the SIMD versions are held to them by the checkasm harness (checkasm_pixels.cpp).
#include <gtest/gtest.h>

#include <vector>

#include "pixels/convert.h"
#include "vexa/copy.h"

namespace {

// R = 1.164 (Y - 16) + 1.596 (V - 128), G = 1.164 (Y - 16) - 0.391 (U - 128) - 0.813 (V - 128),
// B = 1.164 (Y - 16) + 2.018 (U - 128) in fixed point. The 16- and 8-bit types keep the top bits
// of 12-bit channels after a 2x2 ordered dither: on even rows 0 and 1/2 of the dropped range on
// even and odd columns, on odd rows 1/4 and 3/4. Each row converts the pixel pair at column 0
// (luma Y then Y1), or the lone pixel at column 5; 16-bit pixels are little-endian. Red and blue
// (Y 81 U 90 V 240, Y 41 U 240 V 110) show U and V in their places.
struct Example {
  const char* Trace;
  uint32_t Flags, Alpha, Y, Y1, U, V, A, Start, Phase;
  std::vector<uint8_t> Out;
};

const Example kExamples[] = {
    {"white", SurfaceRGBX32, 0, 235, 235, 128, 128, 0, 0, 0, {254, 255, 254, 0, 254, 255, 254, 0}},
    {"red clamps", SurfaceRGBX32, 0, 81, 81, 90, 240, 0, 0, 0, {255, 1, 0, 0, 255, 1, 0, 0}},
    {"magenta-ish", SurfaceRGBX32, 0, 255, 255, 128, 255, 0, 0, 0, {255, 176, 255, 0, 255, 176, 255, 0}},
    {"blue", SurfaceBGRX32, 0, 41, 41, 240, 110, 0, 0, 0, {255, 0, 0, 0, 255, 0, 0, 0}},
    {"red, alpha byte", SurfaceRGBA32, 1, 81, 81, 90, 240, 0xB7, 0, 0, {255, 1, 0, 0xB7, 255, 1, 0, 0xB7}},
    {"blue, alpha byte", SurfaceBGRA32, 1, 41, 41, 240, 110, 0xB7, 0, 0, {255, 0, 0, 0xB7, 255, 0, 0, 0xB7}},
    {"no alpha plane", SurfaceRGBA32, 0, 16, 16, 128, 128, 0xB7, 0, 0, {0, 1, 0, 0, 0, 1, 0, 0}},
    // Mid grey in 12 bits: R 2083, G 2103, B 2078.
    {"565 even row: 16 32 16, 16 33 16", Surface565, 0, 128, 128, 128, 128, 0, 0, 0, {0x10, 0x84, 0x30, 0x84}},
    {"565 odd row: 16 33 16, 17 33 16", Surface565, 0, 128, 128, 128, 128, 0, 0, 1, {0x30, 0x84, 0x30, 0x8C}},
    {"565 lone odd column", Surface565, 0, 128, 128, 128, 128, 0, 5, 0, {0x30, 0x84}},
    {"565 red", Surface565, 0, 81, 81, 90, 240, 0, 0, 0, {0x00, 0xF8, 0x00, 0xF8}},
    {"655: 32 16 16, 33 16 16", Surface655, 0, 128, 128, 128, 128, 0, 0, 0, {0x10, 0x82, 0x10, 0x86}},
    {"664 blue", Surface664, 0, 41, 41, 240, 110, 0, 0, 0, {0x0F, 0x00, 0x0F, 0x00}},
    {"4444 no alpha plane", Surface4444, 0, 16, 16, 128, 128, 0xB7, 0, 0, {0, 0, 0, 0}},
    {"5551 red, alpha bit", Surface5551, 1, 81, 81, 90, 240, 0xB7, 0, 0, {0x00, 0xFC, 0x00, 0xFC}},
    {"5551 blue, alpha bit", Surface5551, 1, 41, 41, 240, 110, 0xB7, 0, 0, {0x1F, 0x80, 0x1F, 0x80}},
    {"4444 red, alpha nibble", Surface4444, 1, 81, 81, 90, 240, 0xB7, 0, 0, {0x00, 0xBF, 0x00, 0xBF}},
    {"palette R3 G3 B2 grey", SurfaceP8, 0, 128, 128, 128, 128, 0, 0, 0, {164, 164}},
    {"palette red", SurfaceP8, 0, 81, 81, 90, 240, 0, 0, 0, {7, 7}},
    {"palette blue", SurfaceP8, 0, 41, 41, 240, 110, 0, 0, 0, {192, 192}},
    {"YUY2 pair", SurfaceYUY2, 0, 10, 30, 100, 200, 0, 0, 0, {10, 100, 30, 200}},
    {"UYVY pair", SurfaceUYVY, 0, 10, 30, 100, 200, 0, 0, 0, {100, 10, 200, 30}},
    {"YUY2 lone odd half", SurfaceYUY2, 0, 10, 30, 100, 200, 0, 5, 0, {30, 200}},
    {"UYVY lone odd half", SurfaceUYVY, 0, 10, 30, 100, 200, 0, 5, 0, {200, 30}},
    // Width doubled: U and V keep their places.
    {"YUY2 doubled", SurfaceYUY2 | 3u << CopyScaleShift, 0, 10, 30, 20, 40, 0, 0, 0, {10, 20, 10, 40, 30, 20, 30, 40}},
    {"UYVY doubled", SurfaceUYVY | 3u << CopyScaleShift, 0, 10, 30, 20, 40, 0, 0, 0, {20, 10, 40, 10, 20, 30, 40, 30}}};

TEST(PixelConvert, WorkedExamples) {
  for (const Example& e : kExamples) {
    std::vector<uint8_t> y(8), u(4, uint8_t(e.U)), v(4, uint8_t(e.V)), a(8, uint8_t(e.A));
    for (uint32_t x = 0; x < 8; ++x) y[x] = uint8_t(x & 1 ? e.Y1 : e.Y);
    PixelSelection sel;
    ASSERT_EQ(PixelSelect(e.Flags, int(e.Alpha), PixelKernelsScalar(), &sel), 1) << e.Trace;
    const uint32_t x = e.Start, count = x ? 1 : 2;
    std::vector<uint8_t> out(count * sel.RowBytes);
    const PixelSpan s{y.data() + x, u.data() + x / 2, v.data() + x / 2, a.data() + x, out.data(),
                      count, x & 1, e.Phase};
    sel.Row(&s, &sel.K);
    EXPECT_EQ(out, e.Out) << e.Trace;
  }
}

}  // namespace
