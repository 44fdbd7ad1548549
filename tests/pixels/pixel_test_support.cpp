// A second, deliberately plain model of the colour conversion: whole-int arithmetic with
// explicit clamps instead of 16-bit lanes, and one packing rule per surface type written out.
#include "tests/pixels/pixel_test_support.h"

#include <algorithm>
#include <random>

#include "tests/support/test_support.h"

namespace {

// 12-bit channels (four fractional bits) with the given dither added before the clamps.
void Channels12(int y, int u, int v, const int dither[3], int out[3]) {
  const int ys = (y * 64 * 0x4A89) >> 16;
  const int us = (u * 16 * 0x6810) >> 16;
  const int vs = (v * 32 * 0x6810) >> 16;
  const int raw[3] = {ys + 2 * vs, ys - us - vs, ys + 5 * us};
  const int offsets[3] = {0x61D0, 0x78A7, 0x5E8D};
  for (int c = 0; c < 3; ++c) {
    out[c] = std::max(0, std::min(32767, raw[c] + offsets[c] + dither[c]) - 0x7000);
  }
}

// Ordered dither for a channel reduced by a right shift of s bits.
int Dither(int s, uint32_t x, uint32_t y) {
  const int range = 1 << s;
  if ((y & 1) == 0) return (x & 1) ? range / 2 : 0;
  return (x & 1) ? 3 * range / 4 : range / 4;
}

// 16-bit (or 8-bit) pixel: channels >> shift << position, alpha >> alphaShift << alphaPos.
uint32_t PackDithered(const TestSample& s, uint32_t x, uint32_t y, const int shift[3],
                      const int pos[3], int alphaShift, int alphaPos) {
  const int dither[3] = {Dither(shift[0], x, y), Dither(shift[1], x, y), Dither(shift[2], x, y)};
  int c[3];
  Channels12(s.Y, s.U, s.V, dither, c);
  uint32_t pixel = 0;
  for (int i = 0; i < 3; ++i) pixel |= uint32_t(c[i] >> shift[i]) << pos[i];
  if (alphaShift >= 0 && s.A >= 0) pixel |= uint32_t(s.A >> alphaShift) << alphaPos;
  return pixel & 0xFFFF;
}

std::vector<uint8_t> Le(uint32_t value, uint32_t bytes) {
  std::vector<uint8_t> out(bytes);
  for (uint32_t i = 0; i < bytes; ++i) out[i] = uint8_t(value >> (8 * i));
  return out;
}

std::vector<uint8_t> RgbPixel(uint32_t type, const TestSample& s) {
  const TestRgb c = TestYuvToRgb(s.Y, s.U, s.V);
  const uint8_t r = uint8_t(c.R), g = uint8_t(c.G), b = uint8_t(c.B);
  const uint8_t a = s.A >= 0 ? uint8_t(s.A) : 0;
  switch (type) {
    case SurfaceBGR24: return {b, g, r};
    case SurfaceRGB24: return {r, g, b};
    case SurfaceBGRX32: return {b, g, r, 0};
    case SurfaceRGBX32: return {r, g, b, 0};
    case SurfaceBGRA32: return {b, g, r, a};
    default: return {r, g, b, a};  // SurfaceRGBA32
  }
}

std::vector<uint8_t> DitheredPixel(uint32_t type, const TestSample& s, uint32_t x, uint32_t y) {
  struct Layout {
    int Shift[3], Pos[3], AlphaShift, AlphaPos;
  };
  static const Layout kLayouts[] = {
      {{9, 9, 10}, {0, 3, 6}, -1, 0},   // SurfaceP8
      {{8, 8, 8}, {8, 4, 0}, 4, 12},    // Surface4444
      {{7, 7, 7}, {10, 5, 0}, 7, 15},   // Surface5551
      {{7, 7, 7}, {10, 5, 0}, -1, 0},   // Surface555
      {{7, 6, 7}, {11, 5, 0}, -1, 0},   // Surface565
      {{6, 7, 7}, {10, 5, 0}, -1, 0},   // Surface655
      {{6, 6, 8}, {10, 4, 0}, -1, 0}};  // Surface664
  const Layout& l = kLayouts[type == SurfaceP8 ? 0 : type - Surface4444 + 1];
  const uint32_t pixel = PackDithered(s, x, y, l.Shift, l.Pos, l.AlphaShift, l.AlphaPos);
  return Le(pixel, type == SurfaceP8 ? 1 : 2);
}

std::vector<uint8_t> PackedYuvPixel(uint32_t type, const TestSample& s, uint32_t x,
                                    bool widthDoubled) {
  const uint8_t y = uint8_t(s.Y), u = uint8_t(s.U), v = uint8_t(s.V);
  if (widthDoubled) {
    return type == SurfaceYUY2 ? std::vector<uint8_t>{y, u, y, v}
                               : std::vector<uint8_t>{u, y, v, y};
  }
  const uint8_t chroma = (x & 1) ? v : u;
  return type == SurfaceYUY2 ? std::vector<uint8_t>{y, chroma} : std::vector<uint8_t>{chroma, y};
}

VideoPlane* CurrentPlanes(const Movie* m) { return m->Planes->Sets[m->Planes->Current]; }

uint32_t PlaneRows(const Movie* m, int plane) {
  const bool chroma = plane == PlaneChroma1 || plane == PlaneChroma2;
  return chroma ? m->Planes->ChromaHeight : m->Planes->Height;
}

}  // namespace

TestRgb TestYuvToRgb(int y, int u, int v) {
  const int none[3] = {0, 0, 0};
  int c[3];
  Channels12(y, u, v, none, c);
  return {c[0] >> 4, c[1] >> 4, c[2] >> 4};
}

std::vector<uint8_t> TestExpectedPixel(uint32_t type, TestSample s, uint32_t x, uint32_t y,
                                       bool widthDoubled) {
  std::vector<uint8_t> one;
  if (type == SurfaceYUY2 || type == SurfaceUYVY) return PackedYuvPixel(type, s, x, widthDoubled);
  if (type >= SurfaceBGR24 && type <= SurfaceRGBA32) {
    one = RgbPixel(type, s);
  } else if (type == SurfaceP8 || (type >= Surface4444 && type <= Surface664)) {
    one = DitheredPixel(type, s, x, y);
  }
  if (widthDoubled) one.insert(one.end(), one.begin(), one.end());
  return one;
}

uint32_t TestBytesPerPixel(uint32_t type) {
  if (type == SurfaceP8) return 1;
  if (type == SurfaceBGR24 || type == SurfaceRGB24) return 3;
  if (type >= SurfaceBGRX32 && type <= SurfaceRGBA32) return 4;
  return type <= SurfaceUYVY ? 2 : 0;
}

int TestOpenPictureMovie(TestPictureMovie* t, uint32_t width, uint32_t height,
                         uint32_t openFlags) {
  TestMovieShape shape;
  shape.Config.Width = width;
  shape.Config.Height = height;
  if (openFlags & OpenAlpha) shape.Config.VideoFlags |= VideoFlagAlpha;  // the open needs both
  shape.Frames = 3;
  shape.VideoBytes = 64;
  t->Image = TestMakeMovie(shape);
  MovieSetPendingImageSize(uint32_t(t->Image.size()));
  t->M = MovieOpen(t->Image.data(), openFlags | OpenFromMemory);
  return t->M != nullptr && t->M->Planes != nullptr;
}

void TestClosePictureMovie(TestPictureMovie* t) {
  MovieClose(t->M);
  t->M = nullptr;
}

void TestFillPlanesRandom(Movie* m, uint32_t seed) {
  std::mt19937 rng(seed);
  VideoPlane* set = CurrentPlanes(m);
  for (int p = PlaneY; p <= PlaneA; ++p) {
    if (set[p].Pixels == nullptr) continue;
    const size_t bytes = size_t(set[p].Pitch) * PlaneRows(m, p);
    for (size_t i = 0; i < bytes; ++i) set[p].Pixels[i] = uint8_t(rng());
  }
}

void TestFillPlane(Movie* m, int plane, uint8_t value) {
  VideoPlane* set = CurrentPlanes(m);
  if (set[plane].Pixels == nullptr) return;
  std::fill_n(set[plane].Pixels, size_t(set[plane].Pitch) * PlaneRows(m, plane), value);
}

TestSample TestSampleAt(const Movie* m, uint32_t x, uint32_t y) {
  const VideoPlane* set = CurrentPlanes(m);
  auto at = [&](int plane, uint32_t px, uint32_t py) {
    return int(set[plane].Pixels[size_t(py) * set[plane].Pitch + px]);
  };
  TestSample s;
  s.Y = at(PlaneY, x, y);
  s.V = at(PlaneChroma1, x / 2, y / 2);
  s.U = at(PlaneChroma2, x / 2, y / 2);
  s.A = set[PlaneA].Pixels != nullptr ? at(PlaneA, x, y) : -1;
  return s;
}
