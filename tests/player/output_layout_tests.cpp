#include <gtest/gtest.h>

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
    OutputRequest request = {c.w, c.h, c.scale, c.ow, c.owd, c.oh, c.ohd, 1024, 768, StretchMask | 2};
    OutputLayout layout;
    ComputeOutputLayout(&request, &layout);
    EXPECT_EQ(layout.Width, c.outW) << c.w << "x" << c.h << " " << c.ow << "/" << c.owd;
    EXPECT_EQ(layout.Height, c.outH) << c.w << "x" << c.h << " " << c.oh << "/" << c.ohd;
    EXPECT_EQ(layout.SurfaceFlags, c.stretch | 2) << c.w << "x" << c.h << " " << c.ow << "/" << c.owd;
    EXPECT_EQ(layout.ScaleMode, c.mode) << c.ow << "/" << c.oh;
    EXPECT_EQ(layout.MovieWidth, c.movieW) << c.ow;
    EXPECT_EQ(layout.MovieHeight, c.movieH) << c.oh;
  }
}

TEST(OutputLayout, WindowPlacementCentresClampsAndAligns) {
  // Screen 1024 x 768, non-client size 8 x 30.
  const struct { bool fill, clamp; uint32_t bpp; int32_t x, y; uint32_t winW, winH; int32_t cox, coy;
                 uint32_t surfW, surfH; WindowPlacement want; } cases[] = {
      {false, false, 4, CentreMarker, CentreMarker, 338, 270, 4, 26, 330, 240, {340, 249, 338, 270, 0, 0}},
      {false, false, 4, 10, -5, 338, 270, 4, 26, 330, 240, {10, -5, 338, 270, 0, 0}},
      {false, false, 4, CentreMarker, CentreMarker, 1100, 800, 4, 26, 1092, 770, {-4, -26, 1100, 800, 0, 0}},
      {true, true, 3, 1000, 700, 320, 240, 0, 0, 320, 240, {0, 0, 1032, 798, 704, 528}},
      {true, true, 2, 0, 0, 1280, 1024, 0, 0, 1280, 1024, {0, 0, 1032, 798, 0, 0}},
      {true, false, 4, -3, 5, 320, 240, 0, 0, 320, 240, {0, 0, 1032, 798, -2, 5}},
      {true, false, 2, CentreMarker, 7, 328, 240, 3, 20, 320, 240, {-3, -20, 1032, 798, 352, 27}},
  };
  for (const auto& c : cases) {
    PlacementRequest request = {c.x, c.y, c.winW, c.winH, c.cox, c.coy, 8, 30, c.surfW, c.surfH,
                                1024, 768, c.bpp, c.clamp, c.fill};
    WindowPlacement got;
    ComputeWindowPlacement(&request, &got);
    const WindowPlacement& w = c.want;
    EXPECT_TRUE(got.X == w.X && got.Y == w.Y && got.Width == w.Width && got.Height == w.Height &&
                got.MovieX == w.MovieX && got.MovieY == w.MovieY)
        << c.x << "," << c.y << " -> " << got.X << "," << got.Y << " " << got.Width << "x" << got.Height
        << " movie " << got.MovieX << "," << got.MovieY;
  }
}

}  // namespace
