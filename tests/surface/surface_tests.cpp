// The surface rules against a simulated display: formats, DIB geometry, masks, style choice and
// texts, display modes, placement, locking, blitting and clearing.
#include <gtest/gtest.h>

#include <cstring>
#include <tuple>

#include "surface/surface_internal.h"
#include "tests/surface/sim_display.h"
#include "vexa/copy.h"

namespace {

TEST(SurfaceFormat, EveryPixelFormatRow) {
  const struct {
    DisplayPixelFormat F;
    int Type;
  } rows[] = {
      {{kFourCCUYVY, 16, 0, 0, 0, 0}, 14},           {{kFourCCYV12, 12, 0, 0, 0, 0}, 15},
      {{kFourCCYUY2, 16, 0, 0, 0, 0}, 13},           {{FourCC('I', '4', '2', '0'), 12, 0, 0, 0, 0}, -1},
      {{0, 8, 0, 0, 0, 0}, 0},                       {{0, 24, 0xFF0000, 0xFF00, 0xFF, 0}, 1},
      {{0, 24, 0xFF, 0xFF00, 0xFF0000, 0}, 2},       {{0, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 5},
      {{0, 32, 0xFF, 0xFF00, 0xFF0000, 0xFF000000}, 6}, {{0, 32, 0xFF0000, 0xFF00, 0xFF, 0}, 3},
      {{0, 32, 0xFF, 0xFF00, 0xFF0000, 0}, 4},       {{0, 16, 0xF800, 0x07E0, 0x001F, 0}, 10},
      {{0, 16, 0x7C00, 0x03E0, 0x001F, 0x8000}, 8},  {{0, 16, 0x7C00, 0x03E0, 0x001F, 0}, 9},
      {{0, 16, 0x7C00, 0x03F0, 0x000F, 0x8000}, -1}, {{0, 16, 0xFC00, 0x03E0, 0x001F, 0}, 11},
      {{0, 16, 0xFC00, 0x03F0, 0x000F, 0}, 12},      {{0, 16, 0x0F00, 0x00F0, 0x000F, 0xF000}, 7},
      {{0, 16, 0x001F, 0x07E0, 0xF800, 0}, -1},      {{0, 15, 0x7C00, 0x03E0, 0x001F, 0}, -1}};
  for (const auto& r : rows) EXPECT_EQ(SurfaceTypeForFormat(&r.F), r.Type) << r.F.Bits << " " << r.F.Red;
}

TEST(SurfaceFormat, DibGeometry) {
  const struct {
    uint32_t Bytes, Width, Red16, DibWidth, Pitch, Compression, Type, Red;
  } rows[] = {{3, 100, 0, 106, 320, 0, 1, 0xFF0000}, {4, 100, 0, 104, 416, 3, 3, 0xFF0000},
              {2, 100, 0xF800, 112, 224, 3, 10, 0xF800}, {2, 100, 0x7C00, 112, 224, 3, 9, 0x7C00},
              {2, 7, 0, 16, 32, 3, 9, 0x7C00},          {3, 1, 0, 10, 32, 0, 1, 0xFF0000}};
  for (const auto& r : rows) {
    DibHeader h;
    uint32_t pitch = 0;
    EXPECT_EQ(DibLayout(r.Bytes, r.Width, 9, r.Red16, &h, &pitch), r.Type);
    EXPECT_EQ(std::tie(h.Width, pitch, h.Compression, h.Red, h.BitCount),
              std::make_tuple(r.DibWidth, r.Pitch, r.Compression, r.Red, 8 * r.Bytes));
  }
}

TEST(SurfaceFormat, MasksDepthsAndColourKey) {
  EXPECT_EQ(OverlayStretchMask(kFxOverlayStretchX | kFxOverlayShrinkYN), 0xC2000000u);
  EXPECT_EQ(OverlayStretchMask(kFxBltStretchX), 0u);
  EXPECT_EQ(BlitStretchMask(kFxBltStretchXN | kFxBltShrinkX | kFxBltStretchY | kFxBltShrinkY), 0xBF000000u);
  EXPECT_EQ(BlitStretchMask(kFxBltShrinkXN | kFxBltStretchYN), 0x28000000u);
  const struct {
    uint32_t Code, Count, Depths[3];
  } lists[] = {{1, 3, {16, 32, 24}}, {2, 3, {32, 24, 16}}, {3, 2, {32, 24}}, {24, 1, {24}}};
  for (const auto& l : lists) {
    uint32_t d[3] = {};
    ASSERT_EQ(DepthPreference(l.Code, d), l.Count);
    for (uint32_t i = 0; i < l.Count; i++) EXPECT_EQ(d[i], l.Depths[i]) << l.Code;
  }
  EXPECT_EQ(ColorKeyFor(8, 0xE0, 0x03), 253u);
  EXPECT_EQ(ColorKeyFor(16, 0xF800, 0x1F), 0x801u);
  EXPECT_EQ(ColorKeyFor(32, 0xFF0000, 0xFF), 0x10001u);
}

// Opens style with flags on a display set up by setup; the surface or the error text.
struct OpenCase {
  const char* Name;
  uint32_t Flags, Width, Height;
  void (*Setup)(SimDisplay*);
  const char* Expected;  // description on success, error text on failure
};

TEST(SurfaceOpen, StylesDescriptionsAndErrors) {
  const OpenCase cases[] = {
      {"style 0 is the DIB", 0, 320, 240, nullptr, "DIB Section"},
      {"DIB stretched", 2 | StretchWidthUp, 320, 240, nullptr, "DIB Section"},
      {"primary", 1, 320, 240, nullptr, "DirectDraw primary surface"},
      {"primary stretched", 1 | StretchWidthMultiple, 320, 240, nullptr, "No capable blitting style available."},
      {"primary larger than the screen", 1, 1025, 240, nullptr, "No capable blitting style available."},
      {"zero size", 2, 0, 240, nullptr, "The picture has no size."},
      {"no DirectDraw", 7, 320, 240, [](SimDisplay* s) { s->DirectDraw = false; }, "DirectDraw is not available"},
      {"YV12 overlay", 3, 320, 240, nullptr, "DirectDraw YV12 overlay"},
      {"overlay without stretch caps", 4 | StretchHeightUp, 320, 240, nullptr, "No capable blitting style available."},
      {"overlay on 8 bits", 5 | StretchHeightUp, 320, 240,
       [](SimDisplay* s) { s->ScreenBits = 8, s->Primary = {0, 8, 0, 0, 0, 0}; }, "256 color mode not supported."},
      {"UYVY overlay stretched", 5 | StretchHeightUp, 320, 240,
       [](SimDisplay* s) { s->FxCaps = kFxOverlayStretchY; }, "DirectDraw UYVY overlay"},
      {"YUY2 off-screen stretched", 7 | StretchWidthDown, 320, 240,
       [](SimDisplay* s) { s->FxCaps = kFxBltShrinkX; }, "DirectDraw YUY2 off-screen surface"},
      {"RGB video", 9, 320, 240, nullptr, "DirectDraw RGB off-screen video surface"},
      {"RGB system, odd format", 10, 320, 240,
       [](SimDisplay* s) { s->Offscreen = {0, 16, 0x1F, 0x7E0, 0xF800, 0}; }, "Video mode not supported."},
      {"RGB on 8 bits", 9, 320, 240,
       [](SimDisplay* s) { s->Offscreen = {0, 8, 0, 0, 0, 0}; }, "No capable blitting style available."},
      {"DIB on 8 bits", 2, 320, 240, [](SimDisplay* s) { s->ScreenBits = 8; }, "256 color mode not supported."},
      {"DIB fails", 2, 320, 240, [](SimDisplay* s) { s->DibFails = true; }, "Unable to create DIBSection."},
      {"undefined style", 12, 320, 240, nullptr, "No capable blitting style available."},
      {"cannot lock the primary", 1, 320, 240,
       [](SimDisplay* s) { s->LockResults = {kDdCantLockSurface}; }, "No capable blitting style available."},
  };
  for (const OpenCase& c : cases) {
    SimDisplay* sim = SimDisplayUse();
    if (c.Setup) c.Setup(sim);
    Surface* s = SurfaceOpen(nullptr, c.Width, c.Height, c.Flags);
    EXPECT_STREQ(s ? SurfaceDescribe(s) : SurfaceGetError(), c.Expected) << c.Name;
    EXPECT_STREQ(s ? SurfaceGetError() : "", "") << c.Name;
    SurfaceClose(s);
  }
}

TEST(SurfaceOpen, TypesFlagsAndWindow) {
  const struct {
    uint32_t Flags, TypeFlags, StretchCaps;
  } rows[] = {{2, 3, 0xFF000000}, {2 | StretchWidthUp, 3 | SurfaceStretchBlit, 0xFF000000},
              {1, 3 | SurfaceDirect, 0}, {3, 15 | SurfaceDirect, 0xC0000000},
              {8, 14, 0x30000000}, {6 | StretchWidthDown, 15 | SurfaceStretchBlit, 0x30000000}};
  for (const auto& r : rows) {
    SimDisplay* sim = SimDisplayUse();
    sim->FxCaps = kFxOverlayStretchX | kFxBltShrinkX;
    Surface* s = SurfaceOpen(nullptr, 320, 240, r.Flags);
    ASSERT_TRUE(s);
    EXPECT_EQ(std::make_tuple(s->TypeFlags & ~CopyAll, s->StretchCaps, s->WindowWidth,
                              s->WindowHeight, s->ScreenX),
              std::make_tuple(r.TypeFlags, r.StretchCaps, 8u + 320, 34u + 240, 104))
        << r.Flags;
    SurfaceClose(s);
  }
}

TEST(SurfaceOpen, DisplayModeChangesAndRestores) {
  const struct {
    uint32_t Style, DepthCode;
    std::vector<uint32_t> Depths;
    std::vector<std::string> Log;
  } rows[] = {
      {2, 4, {24, 32}, {"display 16", "display 32", "display restored"}},
      {2, 6, {24}, {"display 32", "display 24", "display restored"}},
      {2, 0, {32}, {"display 16", "display 0", "display restored"}},
      {1, 5, {24, 16}, {"level 1", "mode 32", "mode 24"}},
  };
  for (const auto& r : rows) {
    SimDisplay* sim = SimDisplayUse();
    sim->Depths = r.Depths;
    SurfaceSetPendingMode(640, 480, r.DepthCode);
    Surface* first = SurfaceOpen(nullptr, 320, 240, r.Style | SurfaceSetMode);
    ASSERT_TRUE(first);
    // The next file's surface opens before the previous one closes: the mode stays.
    Surface* second = SurfaceOpen(nullptr, 320, 240, r.Style | SurfaceSetMode);
    SurfaceClose(first);
    EXPECT_EQ(sim->Log.back(), r.Style == 2 ? r.Log[r.Log.size() - 2] : r.Log.back());
    SurfaceClose(second);
    EXPECT_EQ(sim->Log, r.Log) << r.DepthCode;
  }
}

Surface* OpenOn(SimDisplay* sim, uint32_t flags, uint32_t w = 320, uint32_t h = 240) {
  sim->FxCaps = kFxOverlayStretchX | kFxOverlayStretchY | kFxBltStretchX | kFxBltStretchY |
                kFxBltShrinkX | kFxBltShrinkY;
  Surface* s = SurfaceOpen(nullptr, w, h, flags);
  EXPECT_TRUE(s);
  return s;
}

TEST(SurfacePlace, DestSizeClasses) {
  const struct {
    uint32_t Flags, W, H, Taken, DestW, DestH;
  } rows[] = {{2, 640, 240, 1, 640, 240},    {2, 480, 480, 1, 480, 480}, {2, 160, 120, 1, 160, 120},
              {2, 200, 100, 1, 200, 100},    {2, 0, 0, 1, 1024, 768},   {1, 640, 240, 0, 320, 240},
              {1, 320, 240, 1, 320, 240},    {9, 200, 240, 1, 200, 240}};
  for (const auto& r : rows) {
    SimDisplay* sim = SimDisplayUse();
    Surface* s = OpenOn(sim, r.Flags);
    EXPECT_EQ(SurfaceSetDestSize(s, r.W, r.H), int(r.Taken)) << r.W;
    EXPECT_EQ(std::tie(s->DestWidth, s->DestHeight, s->WindowWidth),
              std::make_tuple(r.DestW, r.DestH, r.DestW + 8));
    SurfaceClose(s);
  }
}

TEST(SurfacePlace, AlignWindowPosition) {
  const struct {
    uint32_t Style, ScreenBits, Width;
    int32_t X, Y, OutX, OutY;
  } rows[] = {{2, 24, 320, 9, 7, 12, 7},       {2, 32, 320, 9, 7, 10, 7},     {2, 16, 320, 9, 7, 12, 7},
              {2, 32, 320, -9, -70, -8, -70}, {1, 32, 320, 900, 600, 700, 498}, {1, 32, 320, -50, -50, -4, -30},
              {1, 24, 1020, 1, 0, -4, 0}};
  for (const auto& r : rows) {
    SimDisplay* sim = SimDisplayUse();
    sim->ScreenBits = r.ScreenBits;
    sim->Primary = sim->Offscreen = {0, r.ScreenBits, 0xFF0000, 0xFF00, 0xFF, 0};
    Surface* s = OpenOn(sim, r.Style, r.Width);
    int32_t x = 0, y = 0;
    AlignWindowPosition(s, r.X, r.Y, 0, 0, &x, &y);
    EXPECT_EQ(std::tie(x, y), std::tie(r.OutX, r.OutY)) << r.X << "," << r.Y;
    SurfaceClose(s);
  }
}

TEST(SurfacePlace, OverlayClipping) {
  const struct {
    DisplayRect Dest;
    const char* Src;
    const char* Clipped;
  } rows[] = {{{-160, 10, 160, 250}, "160,0,320,240", "0,10,160,250"},
              {{-320, 10, 320, 490}, "160,0,320,240", "0,10,320,490"},
              {{900, 700, 1220, 940}, "0,0,124,68", "900,700,1024,768"},
              {{704, -100, 1344, 380}, "0,50,160,240", "704,0,1024,380"},
              {{1100, 10, 1420, 250}, "", ""}};
  for (const auto& r : rows) {
    DisplayRect dest = r.Dest, src{0, 0, 320, 240};
    const int left = ClipOverlay(&dest, &src, 1024, 768);
    EXPECT_EQ(left ? SimRect(src) : "", r.Src);
    EXPECT_EQ(left ? SimRect(dest) : "", r.Clipped);
  }
  SimDisplay* sim = SimDisplayUse();
  Surface* s = OpenOn(sim, 3);
  sim->Client.Left = -56;
  SurfaceMoved(s, 0, 0);
  EXPECT_EQ(sim->Log.back(), "overlay 56,0,320,240 to 0,80,264,320 hidden");
  ASSERT_TRUE(SurfaceLock(s));
  SurfaceUnlock(s);
  EXPECT_EQ(sim->Log.back(), "overlay 56,0,320,240 to 0,80,264,320 shown");
  SurfaceClose(s);
}

TEST(SurfaceBlit, RectanglesPerKind) {
  const SurfaceRect rects[2] = {{0, 0, 16, 16}, {100, 50, 33, 20}};
  const struct {
    uint32_t Style;
    const SurfaceRect* Rects;
    uint32_t Count;
    std::vector<std::string> Log;
  } rows[] = {{2, rects, 2, {"stretch 0,0,16,16 to 0,0,32,24", "stretch 100,50,133,70 to 200,75,266,105"}},
              {2, nullptr, 1, {"stretch 0,0,320,240 to 0,0,640,360"}},
              {9, rects, 2, {"blt 0,0,16,16 to 104,80,136,104", "blt 100,50,133,70 to 304,155,370,185"}},
              {9, nullptr, 1, {"blt 0,0,320,240 to 104,80,744,440"}},
              {4, nullptr, 3, {"fill 104,80,744,440 65537"}},
              {4, rects, 1, {"fill 104,80,136,104 65537"}},
              {1, rects, 2, {}},
              {2, rects, 0, {}}};
  for (const auto& r : rows) {
    SimDisplay* sim = SimDisplayUse();
    Surface* s = OpenOn(sim, r.Style == 1 ? 1 : r.Style | StretchWidthMultiple | StretchHeightUp);
    ASSERT_EQ(SurfaceSetDestSize(s, 640, 360), int(r.Style != 1));
    sim->Log.clear();
    SurfaceBlit(s, r.Rects, r.Count);
    std::erase_if(sim->Log, [](const std::string& l) { return l.starts_with("overlay"); });
    EXPECT_EQ(sim->Log, r.Log) << r.Style;
    SurfaceClose(s);
  }
}

TEST(SurfaceClear, EveryTypePattern) {
  const struct {
    uint32_t Type, W, H;
    std::vector<uint8_t> Row0, Chroma;
  } rows[] = {{13, 3, 2, {0, 0x80, 0, 0x80, 0, 0x80}, {}},
              {14, 3, 2, {0x80, 0, 0x80, 0, 0x80, 0}, {}},
              {15, 5, 3, {16, 16, 16, 16, 16}, {128, 128}},
              {3, 2, 2, {0, 0, 0, 0, 0, 0, 0, 0}, {}},
              {2, 2, 1, {0, 0, 0, 0, 0, 0}, {}},
              {8, 3, 1, {0, 0, 0, 0, 0, 0}, {}},
              {0, 3, 1, {0, 0, 0}, {}}};
  for (const auto& r : rows) {
    const int32_t pitch = 16;
    std::vector<uint8_t> m(16 * 8, 0xEE);
    ClearPixels(r.Type, m.data(), pitch, r.W, r.H);
    for (uint32_t y = 0; y < r.H; y++)
      EXPECT_TRUE(std::equal(r.Row0.begin(), r.Row0.end(), m.begin() + y * pitch)) << r.Type;
    EXPECT_EQ(m[r.Row0.size()], 0xEE) << r.Type;
    // YV12: V then U, Height / 2 rows each at half the pitch, right after the luma rows.
    for (uint32_t y = 0; y < (r.Chroma.empty() ? 0 : 2 * (r.H / 2)); y++) {
      EXPECT_TRUE(std::equal(r.Chroma.begin(), r.Chroma.end(), m.begin() + r.H * pitch + y * 8));
      EXPECT_EQ(m[r.H * pitch + y * 8 + 2], 0xEE);
    }
    const size_t end = r.Type == 15 ? r.H * pitch + 2 * (r.H / 2) * 8 : r.H * pitch;
    EXPECT_TRUE(std::all_of(m.begin() + end, m.end(), [](uint8_t b) { return b == 0xEE; })) << r.Type;
  }
}

TEST(SurfaceLock, PrimaryAddressBoundsAndRestore) {
  const struct {
    int32_t ClientX, ClientY;
    std::vector<int32_t> LockResults;
    int Locked;
    int64_t Offset;
  } rows[] = {{104, 80, {}, 1, 80 * 4096 + 104 * 4},  {704, 80, {}, 1, 80 * 4096 + 704 * 4},
              {705, 80, {}, 0, 0},                  {-1, 80, {}, 0, 0},
              {0, 529, {}, 0, 0},                   {0, 0, {kDdSurfaceLost}, 1, 0},
              {0, 0, {kDdSurfaceLost, kDdSurfaceLost}, 0, 0}, {0, 0, {int32_t(0x80004005u)}, 0, 0}};
  for (const auto& r : rows) {
    SimDisplay* sim = SimDisplayUse();
    Surface* s = OpenOn(sim, 1);
    sim->Client.Left = r.ClientX, sim->Client.Top = r.ClientY;
    SurfaceMoved(s, 0, 0);
    SurfaceUnlock(s);
    sim->LockResults = r.LockResults;
    EXPECT_EQ(SurfaceLock(s), r.Locked) << r.ClientX;
    EXPECT_EQ(s->TypeFlags & CopyAll, r.Locked ? 0 : CopyAll) << r.ClientX;
    EXPECT_EQ(r.Locked ? s->Bits - static_cast<uint8_t*>(s->LockedPtr) : 0, r.Offset);
    SurfaceUnlock(s);
    SurfaceClose(s);
  }
}

TEST(SurfaceLock, SoftwareCursorHiddenOnlyOverThePicture) {
  for (const bool software : {false, true}) {
    for (const int32_t cursorX : {200, 600}) {
      SimDisplay* sim = SimDisplayUse();
      sim->SoftwareCursor = software;
      sim->CursorX = cursorX, sim->CursorY = 100;
      Surface* s = OpenOn(sim, 1);
      EXPECT_EQ(s->SoftwareCursor, uint32_t(software));
      EXPECT_EQ(sim->CursorShown, 0);
      ASSERT_TRUE(SurfaceLock(s));
      EXPECT_EQ(sim->CursorShown, software && cursorX < 424 + 32 ? -1 : 0) << cursorX;
      SurfaceUnlock(s);
      EXPECT_EQ(sim->CursorShown, 0);
      SurfaceClose(s);
    }
  }
}

TEST(SurfaceClear, WholeSurfaceThenFullCopy) {
  for (const uint32_t style : {2u, 3u, 9u}) {
    SimDisplay* sim = SimDisplayUse();
    Surface* s = OpenOn(sim, style, 6, 4);
    ASSERT_TRUE(SurfaceLock(s));
    memset(s->Bits, 0x55, size_t(s->Pitch) * 4);
    SurfaceUnlock(s);
    ASSERT_EQ(SurfaceClear(s), 1);
    EXPECT_NE(s->TypeFlags & CopyAll, 0u);
    ASSERT_TRUE(SurfaceLock(s));
    EXPECT_EQ(s->Bits[0], style == 3 ? 16 : 0) << style;
    SurfaceUnlock(s);
    SurfaceClose(s);
  }
}

}  // namespace
