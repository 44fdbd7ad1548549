// The colour formula, dither and packing of the row converters, on the worked examples and on
// hand-computed pixels of the 16- and 8-bit layouts. Every case runs on each kernel table.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pixels/convert.h"
#include "tests/pixels/pixel_test_support.h"

namespace {

std::vector<const PixelKernels*> AllKernels() {
  std::vector<const PixelKernels*> all = {PixelKernelsScalar()};
  if (PixelKernelsSse2() != nullptr) all.push_back(PixelKernelsSse2());
  if (PixelKernelsAvx2() != nullptr) all.push_back(PixelKernelsAvx2());
  return all;
}

// A row of identical samples, long enough for the SIMD kernels' main loops.
struct UniformRow {
  std::vector<uint8_t> Y, U, V, A;
  UniformRow(int y, int u, int v, int a = 0) : Y(72, uint8_t(y)), U(36, uint8_t(u)),
      V(36, uint8_t(v)), A(72, uint8_t(a)) {}
};

// Converts count pixels of row starting at column x (row parity phase) for surface type.
std::vector<uint8_t> Convert(const PixelKernels* kn, uint32_t type, const UniformRow& row,
                             uint32_t x, uint32_t count, uint32_t phase, int hasAlpha = 0) {
  PixelSelection sel;
  EXPECT_EQ(PixelSelect(type, hasAlpha, kn, &sel), 1);
  std::vector<uint8_t> out(count * sel.RowBytes);
  PixelSpan s{row.Y.data(), row.U.data(), row.V.data(), row.A.data(), out.data(), count, x & 1,
              phase};
  sel.Row(&s, &sel.K);
  return out;
}

uint32_t Word(const std::vector<uint8_t>& bytes, uint32_t index, uint32_t size) {
  uint32_t v = 0;
  std::memcpy(&v, bytes.data() + index * size, size);
  return v;
}

struct WorkedExample {
  int Y, U, V;
  int R, G, B;
};

TEST(PixelConvert, WorkedExamplesInEveryPixelOfRgbx) {
  const WorkedExample examples[] = {{235, 128, 128, 254, 255, 254},
                                    {16, 128, 128, 0, 1, 0},
                                    {128, 128, 128, 130, 131, 129},
                                    {81, 90, 240, 255, 1, 0},
                                    {255, 128, 255, 255, 176, 255}};
  for (const PixelKernels* kn : AllKernels()) {
    for (const WorkedExample& e : examples) {
      const std::vector<uint8_t> out = Convert(kn, SurfaceRGBX32, UniformRow(e.Y, e.U, e.V), 0,
                                               67, 1);
      for (uint32_t i = 0; i < 67; ++i) {
        const uint8_t expected[4] = {uint8_t(e.R), uint8_t(e.G), uint8_t(e.B), 0};
        ASSERT_EQ(std::memcmp(out.data() + 4 * i, expected, 4), 0)
            << kn->Name << " Y=" << e.Y << " U=" << e.U << " V=" << e.V << " pixel " << i;
      }
    }
  }
}

TEST(PixelConvert, SaturatedRedClampsInsteadOfWrapping) {
  for (const PixelKernels* kn : AllKernels()) {
    const std::vector<uint8_t> out = Convert(kn, SurfaceBGRX32, UniformRow(255, 0, 255), 0, 40, 0);
    EXPECT_EQ(out[2], 255) << kn->Name;
    EXPECT_EQ(out[4 * 39 + 2], 255) << kn->Name;
  }
}

TEST(PixelConvert, ModelMatchesWorkedExamples) {
  const TestRgb grey = TestYuvToRgb(128, 128, 128);
  EXPECT_EQ(grey.R, 130);
  EXPECT_EQ(grey.G, 131);
  EXPECT_EQ(grey.B, 129);
  const TestRgb red = TestYuvToRgb(81, 90, 240);
  EXPECT_EQ(red.R, 255);
  EXPECT_EQ(red.G, 1);
  EXPECT_EQ(red.B, 0);
}

// Mid grey has 12-bit channels R 2083, G 2103, B 2078; the dither adds, per channel shift s,
// 0 / s/2 on even rows and s/4 / 3s/4 on odd rows (even / odd column).
TEST(PixelConvert, Rgb565DitherPhasesAndSixBitGreen) {
  for (const PixelKernels* kn : AllKernels()) {
    const UniformRow grey(128, 128, 128);
    const std::vector<uint8_t> even = Convert(kn, Surface565, grey, 0, 38, 0);
    const std::vector<uint8_t> odd = Convert(kn, Surface565, grey, 0, 38, 1);
    for (uint32_t i = 0; i < 38; i += 2) {
      EXPECT_EQ(Word(even, i, 2), 0x8410u) << kn->Name;      // 16, 32, 16
      EXPECT_EQ(Word(even, i + 1, 2), 0x8430u) << kn->Name;  // 16, 33, 16
      EXPECT_EQ(Word(odd, i, 2), 0x8430u) << kn->Name;       // 16, 33, 16
      EXPECT_EQ(Word(odd, i + 1, 2), 0x8C30u) << kn->Name;   // 17, 33, 16
    }
  }
}

TEST(PixelConvert, Rgb655TakesSixRedBitsIntoTheTop) {
  for (const PixelKernels* kn : AllKernels()) {
    const std::vector<uint8_t> out = Convert(kn, Surface655, UniformRow(128, 128, 128), 0, 40, 0);
    EXPECT_EQ(Word(out, 0, 2), 0x8210u) << kn->Name;  // red 32 << 10, green 16 << 5, blue 16
    const std::vector<uint8_t> white = Convert(kn, Surface655, UniformRow(255, 128, 128), 0, 40, 0);
    EXPECT_EQ(Word(white, 0, 2) >> 10, 63u) << kn->Name;
  }
}

TEST(PixelConvert, PaletteIndexIsR3G3B2) {
  for (const PixelKernels* kn : AllKernels()) {
    const std::vector<uint8_t> grey = Convert(kn, SurfaceP8, UniformRow(128, 128, 128), 0, 40, 0);
    EXPECT_EQ(grey[0], 4 + 8 * 4 + 64 * 2) << kn->Name;
    const std::vector<uint8_t> red = Convert(kn, SurfaceP8, UniformRow(81, 90, 240), 0, 40, 0);
    EXPECT_EQ(red[0], 7) << kn->Name;  // red 255 -> 7, green and blue 0
  }
}

TEST(PixelConvert, AlphaBitsOfThe16BitTypes) {
  for (const PixelKernels* kn : AllKernels()) {
    const UniformRow row(16, 128, 128, 0xB7);
    EXPECT_EQ(Word(Convert(kn, Surface4444, row, 0, 40, 0, 1), 0, 2) >> 12, 0xBu) << kn->Name;
    EXPECT_EQ(Word(Convert(kn, Surface5551, row, 0, 40, 0, 1), 0, 2) >> 15, 1u) << kn->Name;
    // Without an alpha plane the same types leave the alpha bits 0.
    EXPECT_EQ(Word(Convert(kn, Surface4444, row, 0, 40, 0, 0), 0, 2) >> 12, 0u) << kn->Name;
    EXPECT_EQ(Word(Convert(kn, Surface5551, row, 0, 40, 0, 0), 0, 2) >> 15, 0u) << kn->Name;
    EXPECT_EQ(Convert(kn, SurfaceRGBA32, row, 0, 40, 0, 1)[3], 0xB7) << kn->Name;
    EXPECT_EQ(Convert(kn, SurfaceRGBX32, row, 0, 40, 0, 1)[3], 0) << kn->Name;
  }
}

// A lone pixel at an odd column is the second of its pair: odd-column dither, chroma x / 2.
TEST(PixelConvert, SinglePixelAtOddColumn) {
  for (const PixelKernels* kn : AllKernels()) {
    UniformRow row(128, 128, 128);
    row.V[0] = 200;  // the pair's chroma, which the span's V pointer addresses
    const std::vector<uint8_t> out = Convert(kn, Surface565, row, 5, 1, 0);
    const TestSample s{128, 128, 200, -1};
    EXPECT_EQ(out, TestExpectedPixel(Surface565, s, 5, 0, false)) << kn->Name;
    EXPECT_NE(out, TestExpectedPixel(Surface565, s, 4, 0, false)) << kn->Name;
  }
}

TEST(PixelConvert, PackedYuvPairsAndLoneHalves) {
  UniformRow row(0, 0, 0);
  for (uint32_t i = 0; i < 40; ++i) row.Y[i] = uint8_t(10 + i);
  for (uint32_t i = 0; i < 20; ++i) row.U[i] = uint8_t(100 + i), row.V[i] = uint8_t(200 + i);
  for (const PixelKernels* kn : AllKernels()) {
    const std::vector<uint8_t> yuy2 = Convert(kn, SurfaceYUY2, row, 0, 4, 0);
    EXPECT_EQ(yuy2, (std::vector<uint8_t>{10, 100, 11, 200, 12, 101, 13, 201})) << kn->Name;
    const std::vector<uint8_t> uyvy = Convert(kn, SurfaceUYVY, row, 0, 2, 0);
    EXPECT_EQ(uyvy, (std::vector<uint8_t>{100, 10, 200, 11})) << kn->Name;
    // A lone odd pixel writes the second half of its pair.
    EXPECT_EQ(Convert(kn, SurfaceYUY2, row, 1, 1, 0), (std::vector<uint8_t>{10, 200})) << kn->Name;
    EXPECT_EQ(Convert(kn, SurfaceUYVY, row, 1, 1, 0), (std::vector<uint8_t>{200, 10})) << kn->Name;
  }
}

// Width doubling of packed YUV keeps U and V in their places: (Y0 U Y1 V) becomes
// (Y0 U Y0 V  Y1 U Y1 V).
TEST(PixelConvert, WidthDoubledPackedYuvKeepsChromaOrder) {
  UniformRow row(0, 20, 40);
  row.Y[0] = 10, row.Y[1] = 30;
  for (const PixelKernels* kn : AllKernels()) {
    for (uint32_t type : {uint32_t(SurfaceYUY2), uint32_t(SurfaceUYVY)}) {
      PixelSelection sel;
      ASSERT_EQ(PixelSelect(type | (3u << 28), 0, kn, &sel), 1);
      EXPECT_EQ(sel.Post, nullptr);
      EXPECT_EQ(sel.DestBytes, 4u);
      std::vector<uint8_t> out(8);
      PixelSpan s{row.Y.data(), row.U.data(), row.V.data(), nullptr, out.data(), 2, 0, 0};
      sel.Row(&s, &sel.K);
      const std::vector<uint8_t> expected =
          type == SurfaceYUY2 ? std::vector<uint8_t>{10, 20, 10, 40, 30, 20, 30, 40}
                              : std::vector<uint8_t>{20, 10, 40, 10, 20, 30, 40, 30};
      EXPECT_EQ(out, expected) << kn->Name << " type " << type;
    }
  }
}

TEST(PixelSelect, ConverterAndBytesPerType) {
  const PixelKernels* kn = PixelKernelsScalar();
  PixelSelection sel;
  for (uint32_t type = 0; type < 15; ++type) {
    ASSERT_EQ(PixelSelect(type, 0, kn, &sel), 1) << type;
    EXPECT_EQ(sel.DestBytes, TestBytesPerPixel(type)) << type;
    ASSERT_EQ(PixelSelect(type | (4u << 28), 0, kn, &sel), 1) << type;
    EXPECT_EQ(sel.DestBytes, 2 * TestBytesPerPixel(type)) << type;
  }
  EXPECT_EQ(PixelSelect(SurfacePlanar, 1, kn, &sel), 0);
  EXPECT_EQ(sel.Row, nullptr);
  // The alpha converters only when the movie has an alpha plane.
  ASSERT_EQ(PixelSelect(SurfaceBGRA32, 1, kn, &sel), 1);
  EXPECT_EQ(sel.Row, kn->Rgb32Alpha);
  ASSERT_EQ(PixelSelect(SurfaceBGRA32, 0, kn, &sel), 1);
  EXPECT_EQ(sel.Row, kn->Rgb32);
  ASSERT_EQ(PixelSelect(Surface555, 1, kn, &sel), 1);
  EXPECT_EQ(sel.Row, kn->Rgb16);
  ASSERT_EQ(PixelSelect(SurfaceRGB24 | (5u << 28), 0, kn, &sel), 1);
  EXPECT_EQ(sel.Post, kn->Pack24Double);
}

}  // namespace
