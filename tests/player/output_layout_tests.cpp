#include <gtest/gtest.h>

#include <tuple>

#include "player/output_layout.h"
#include "player/play_options.h"
#include "surface/surface_flags.h"

namespace {

constexpr uint32_t WUp = StretchWidthUp, HUp = StretchHeightUp;

TEST(OutputLayout, SizeStretchKindsAndDoublingByTheCopy) {
  // Screen 1024 x 768; the flags handed in carry style 2 and stale stretch bits of a previous file.
  const struct { uint32_t w, h, scale; int32_t ow; uint32_t owd; int32_t oh; uint32_t ohd;
                 uint32_t outW, outH, stretch, mode, movieW, movieH; } cases[] = {
      {320, 240, 0, -1, 1, -1, 1, 1024, 768, WUp | HUp, 0, 320, 240},
      {320, 200, 0, -1, 1, -1, 1, 1024, 640, WUp | HUp, 0, 320, 200},
      {400, 100, 0, -1, 1, -1, 1, 1024, 256, WUp | HUp, 0, 400, 100},
      {320, 240, 0, -2, 1, 0, 0, 640, 240, 0, 3, 640, 240},
      {320, 240, 0, 0, 0, -2, 1, 320, 480, 0, 1, 320, 480},
      {320, 240, 0, -2, 1, 480, 1, 640, 480, 0, 4, 640, 480},
      {320, 240, 7, -2, 1, -2, 1, 640, 480, StretchWidthMultiple | StretchHeightMultiple, 0, 320, 240},
      {320, 240, 0, 160, 1, 80, 1, 160, 80, StretchWidthDivisor | StretchHeightDivisor, 0, 320, 240},
      {320, 240, 0, 100, 1, 300, 1, 100, 300, StretchWidthDown | HUp, 0, 320, 240},
      {320, 240, 0, 641, 2, 0, 5, 320, 240, 0, 0, 320, 240},
      {320, 240, 0, -3, 2, -1, 1, 480, 768, WUp | HUp, 0, 320, 240},
      {32767, 8, 0, INT32_MIN, 1, 0, 0, UINT32_MAX, 8, WUp, 0, 32767, 8},
      {0, 0, 0, -1, 1, -1, 1, 1024, 768, 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    OutputRequest r = {c.w, c.h, c.scale, c.ow, c.owd, c.oh, c.ohd, 1024, 768, StretchMask | 2};
    OutputLayout layout;
    ComputeOutputLayout(&r, &layout);
    EXPECT_EQ(std::tie(layout.Width, layout.Height, layout.SurfaceFlags, layout.ScaleMode, layout.MovieWidth,
                       layout.MovieHeight),
              std::make_tuple(c.outW, c.outH, c.stretch | 2, c.mode, c.movieW, c.movieH))
        << c.w << "x" << c.h << " " << c.ow << "/" << c.owd << " " << c.oh << "/" << c.ohd;
  }
}

TEST(OutputLayout, WindowPlacementCentresClampsAndAligns) {
  // Screen 1024 x 768, non-client size 8 x 30. Request: x, y, window size, client offset, sizes,
  // bytes per pixel, ClampToScreen, FillScreen.
  constexpr int32_t C = CentreMarker;
  const struct { PlacementRequest r; WindowPlacement want; } cases[] = {
      {{C, C, 338, 270, 4, 26, 8, 30, 330, 240, 1024, 768, 4, false, false}, {340, 249, 338, 270, 0, 0}},
      {{10, -5, 338, 270, 4, 26, 8, 30, 330, 240, 1024, 768, 4, false, false}, {10, -5, 338, 270, 0, 0}},
      {{C, C, 1100, 800, 4, 26, 8, 30, 1092, 770, 1024, 768, 4, false, false}, {-4, -26, 1100, 800, 0, 0}},
      {{1000, 700, 320, 240, 0, 0, 8, 30, 320, 240, 1024, 768, 3, true, true}, {0, 0, 1032, 798, 704, 528}},
      {{0, 0, 1280, 1024, 0, 0, 8, 30, 1280, 1024, 1024, 768, 2, true, true}, {0, 0, 1032, 798, 0, 0}},
      {{-3, 5, 320, 240, 0, 0, 8, 30, 320, 240, 1024, 768, 4, false, true}, {0, 0, 1032, 798, -2, 5}},
      {{C, 7, 328, 240, 3, 20, 8, 30, 320, 240, 1024, 768, 2, false, true}, {-3, -20, 1032, 798, 352, 27}},
  };
  for (const auto& c : cases) {
    WindowPlacement got;
    ComputeWindowPlacement(&c.r, &got);
    const WindowPlacement& w = c.want;
    EXPECT_EQ(std::tie(got.X, got.Y, got.Width, got.Height, got.MovieX, got.MovieY),
              std::tie(w.X, w.Y, w.Width, w.Height, w.MovieX, w.MovieY)) << c.r.WindowX << "," << c.r.WindowY;
  }
}

}  // namespace
