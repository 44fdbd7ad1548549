// MovieCopyToSurface: where every surface type lands in every scaling mode, its options,
// refusals and frame dropping, against the scalar converters.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <vector>

#include "pixels/convert.h"
#include "tests/support/test_support.h"
#include "vexa/vexa.h"

namespace {

constexpr uint8_t kUntouched = 0xCD;
constexpr uint32_t kAll = 0xFFFFFFFFu;

// Destination row of source row y is y * Factor; Repeat: the row below gets the same pixels;
// Step 2: only even source rows are copied.
struct ModeGeometry { uint32_t Factor, Repeat, Step, WidthDoubled; };
constexpr ModeGeometry kModes[8] = {{1, 0, 1, 0}, {2, 1, 1, 0}, {2, 0, 1, 0}, {1, 0, 1, 1},
                                    {2, 1, 1, 1}, {2, 0, 1, 1}, {1, 0, 2, 0}, {1, 0, 1, 0}};

struct Dest { uint32_t Type, Rows, PixelBytes; int32_t Pitch; std::vector<uint8_t> Bytes; };

class Copy : public ::testing::Test {
 protected:
  // A movie of the given stored size whose planes hold pseudo-random bytes.
  void Open(uint32_t width, uint32_t height, uint32_t openFlags = 0) {
    MovieClose(m_);
    TestMovieShape shape;
    shape.Config.Width = width, shape.Config.Height = height, shape.Frames = 3, shape.VideoBytes = 64;
    shape.Config.VideoFlags |= openFlags & OpenAlpha ? VideoFlagAlpha : 0;
    image_ = TestMakeMovie(shape);
    MovieSetPendingImageSize(uint32_t(image_.size()));
    m_ = MovieOpen(image_.data(), openFlags | OpenFromMemory);
    ASSERT_TRUE(m_ != nullptr && m_->Planes != nullptr);
    std::mt19937 rng(width * 7 + height);
    for (int p = PlaneY; p <= PlaneA; ++p) {
      const bool chroma = p == PlaneChroma1 || p == PlaneChroma2;
      const size_t bytes = size_t(Set()[p].Pitch) * (chroma ? m_->Planes->ChromaHeight : height);
      for (size_t i = 0; Set()[p].Pixels && i < bytes; ++i) Set()[p].Pixels[i] = uint8_t(rng());
    }
  }
  void TearDown() override { m_ ? void(m_->NumOpenTracks = 0) : void(), MovieClose(m_); }
  VideoPlane* Set() const { return m_->Planes->Sets[m_->Planes->Current]; }

  // A destination of rows rows (0: the movie's height; planar: and their chroma planes) with 8
  // or 9 bytes to spare in each (the pitch is even), and 16 bytes after them.
  Dest MakeDest(uint32_t type, uint32_t rows = 0) const {
    const uint32_t bytes = type % 15 == 0 ? 1 : type <= SurfaceRGB24 ? 3 : type <= 6 ? 4 : 2;
    Dest d{type, rows ? rows : m_->Height, bytes, int32_t((m_->Width * bytes + 9) & ~1u), {}};
    d.Bytes.assign(size_t(d.Pitch) * d.Rows * (type == SurfacePlanar ? 3 : 2) / 2 + 16, kUntouched);
    return d;
  }
  // Offset, rows and pitch of each plane of d: one, or luma, V and U for the planar type.
  static std::vector<std::array<size_t, 3>> Planes(const Dest& d) {
    const size_t rows = d.Rows, pitch = size_t(d.Pitch), chroma = rows * pitch;
    if (d.Type != SurfacePlanar) return {{0, rows, pitch}};
    return {{0, rows, pitch}, {chroma, rows / 2, pitch / 2}, {chroma + rows / 2 * pitch / 2, rows / 2, pitch / 2}};
  }
  uint32_t CopyTo(Dest* d, uint32_t flags, uint32_t width = 0, int32_t sign = 1) {
    return MovieCopyToSurface(m_, d->Bytes.data(), sign * d->Pitch, d->Rows, 0, 0, 0, 0,
                              width ? width : m_->Width, m_->Height, flags | d->Type);
  }

  // What a copy with flags leaves in d: source rows converted by the scalar reference, placed as
  // the mode says; only stored columns below keepWidth in areas (16x16, four a band) in keepAreas.
  std::vector<uint8_t> Expected(const Dest& d, uint32_t flags, uint32_t keepWidth = kAll,
                                uint32_t keepAreas = kAll) const {
    if (d.Type == SurfacePlanar) return ExpectedPlanar(d, flags, keepWidth, keepAreas);
    std::vector<uint8_t> out(d.Bytes.size(), kUntouched);
    flags |= m_->OpenFlags;
    const uint32_t mode = (flags & CopyScaleMask) >> CopyScaleShift;
    const ModeGeometry& g = kModes[mode];
    const bool yuv = d.Type == SurfaceYUY2 || d.Type == SurfaceUYVY, gray = flags & OpenGrayscale;
    const int alpha = Set()[PlaneA].Pixels != nullptr;
    const bool swapAlpha = (flags & CopySwapAlpha) && alpha, swapUV = flags & MovieFlagSwapUV;
    PixelSelection sel;
    const uint32_t selected = d.Type | (yuv ? mode << CopyScaleShift : 0);
    if (!PixelSelect(selected, alpha, PixelKernelsScalar(), &sel)) return out;
    const VideoPlane &y = Set()[swapAlpha ? PlaneA : PlaneY], &a = Set()[swapAlpha ? PlaneY : PlaneA];
    const VideoPlane &v = Set()[PlaneChroma1 + swapUV], &u = Set()[PlaneChroma2 - swapUV];
    // Converted pixels of n bytes, placed twice when the width is doubled by hand.
    const uint32_t w = m_->FileWidth, n = d.PixelBytes << (g.WidthDoubled && yuv);
    const uint32_t copies = g.WidthDoubled && !yuv ? 2 : 1;
    std::vector<uint8_t> grayRow(w, 128), row(size_t(w) * 4), px(size_t(w) * n);
    for (uint32_t r = 0; r < m_->FileHeight; r += g.Step) {
      const PixelSpan s{y.Pixels + r * y.Pitch, gray ? grayRow.data() : u.Pixels + r / 2 * u.Pitch,
                        gray ? grayRow.data() : v.Pixels + r / 2 * v.Pitch,
                        alpha ? a.Pixels + r * a.Pitch : nullptr, sel.Post ? row.data() : px.data(),
                        w, 0, r & 1};
      sel.Row(&s, &sel.K);
      if (sel.Post != nullptr) sel.Post(row.data(), w, px.data());
      for (uint32_t x = 0; x < w && x < keepWidth; ++x) {
        const uint32_t area = r / 16 * 4 + x / 16;
        if (keepAreas != kAll && (area >= 32 || !(keepAreas >> area & 1))) continue;
        for (uint32_t i = 0; i < (g.Repeat + 1) * copies; ++i) {
          const size_t to = size_t(r * g.Factor + i / copies) * d.Pitch + (x * copies + i % copies) * n;
          if (to < size_t(d.Rows) * d.Pitch) std::memcpy(&out[to], &px[size_t(x) * n], n);
        }
      }
    }
    return out;
  }

  // Planar: plane bytes, doubled as the mode says; a chroma row (one per two luma rows, every one
  // of them under mode 6) fills both destination rows of a doubled height, and a doubled chroma
  // row stops at half the luma row's bytes.
  std::vector<uint8_t> ExpectedPlanar(const Dest& d, uint32_t flags, uint32_t keepWidth,
                                      uint32_t keepAreas) const {
    std::vector<uint8_t> out(d.Bytes.size(), kUntouched);
    flags |= m_->OpenFlags;
    const ModeGeometry& g = kModes[(flags & CopyScaleMask) >> CopyScaleShift];
    const uint32_t swapA = (flags & CopySwapAlpha) && Set()[PlaneA].Pixels, swapUV = !!(flags & MovieFlagSwapUV);
    const uint32_t lumaBytes = std::min(keepWidth, m_->FileWidth) << g.WidthDoubled;
    for (uint32_t p = 0; p < 3; ++p) {
      const auto [offset, rows, pitch] = Planes(d)[p];
      const VideoPlane& src = Set()[p == 0 ? PlaneY + 3 * swapA : p == 1 ? 1 + swapUV : 2 - swapUV];
      const uint32_t c = p > 0, copies = c ? g.Factor : g.Repeat + 1;
      for (uint32_t r = 0; r < (m_->FileHeight + c) >> c; r += c ? 1 : g.Step) {
        for (uint32_t x = 0, sx = 0; x < (lumaBytes + c) >> c; sx = ++x >> g.WidthDoubled) {
          const uint32_t area = (r << c) / 16 * 4 + (sx << c) / 16;
          if (keepAreas != kAll && (area >= 32 || !(keepAreas >> area & 1))) continue;
          for (uint32_t i = 0; i < copies && r * g.Factor + i < rows; ++i)
            out[offset + (r * g.Factor + i) * pitch + x] =
                c && (flags & OpenGrayscale) ? 128 : src.Pixels[r * src.Pitch + sx];
        }
      }
    }
    return out;
  }

  // Points the frame's change map at marks (bit band * 4 + column per 16x16 area).
  void UseChangeMap(uint32_t marks, uint32_t percent) {
    Dest scratch = MakeDest(SurfaceBGRX32);
    m_->ChangedPercent = 10;
    CopyTo(&scratch, 0);  // the first copy below 75 % makes the map
    ASSERT_NE(m_->ChangeMap, nullptr);
    std::memset(m_->ChangeMap, 0, m_->ChangeMapBytes);
    for (uint32_t area = 0; area < 12; ++area) {
      if (area % 4 < m_->BlocksPerRow && marks >> area & 1) m_->ChangeMap[area / 4 * m_->BlocksPerRow + area % 4] = 1;
    }
    m_->ChangeMapLast = m_->ChangeMap, m_->ChangedPercent = percent;
  }

  // Makes the current frame (1 of 3) of a movie with sound at 25 frames/s lateMs late.
  void MakeLate(int32_t lateMs) {
    m_->NumOpenTracks = 1, m_->Tracks[0].SpeedFactor = 0x10000, m_->SkipState = 0;
    m_->FrameRate = 25, m_->FrameRateDiv = 1, m_->SlackMs = 80;
    m_->FramesPlayed = 1, m_->TimerBaseFrame = 0, m_->FrameNum = 1, m_->Frames = 3;
    m_->TimerBase = MovieTimerMs() - 40 - uint32_t(lateMs);
    m_->TimerBase += m_->TimerBase == 0;
  }
  std::pair<uint32_t, bool> Shown(uint32_t flags = 0) {  // the result, and whether it copied
    Dest d = MakeDest(SurfaceBGRX32);
    const uint32_t result = CopyTo(&d, flags | CopyAll);
    return {result, d.Bytes[0] != kUntouched};
  }

  std::vector<uint8_t> image_;
  Movie* m_ = nullptr;
};

// Full copies, rows upwards and a checkerboard of changed areas of 37 x 35 stored pixels: the last
// area column and band are partial, the last row and column odd.
TEST_F(Copy, EveryTypeInEveryMode) {
  for (uint32_t mode = 0; mode < 8; ++mode) {
    Open(37, 35, (mode << CopyScaleShift) | OpenAlpha);
    for (uint32_t type = 0; type < 16; ++type) {
      SCOPED_TRACE("type " + std::to_string(type) + " mode " + std::to_string(mode));
      Dest full = MakeDest(type), up = MakeDest(type), part = MakeDest(type);
      EXPECT_EQ(CopyTo(&full, CopyAll), 0u);
      EXPECT_EQ(full.Bytes, Expected(full, 0));
      CopyTo(&up, CopyAll, 0, -1);
      for (const auto [offset, rows, pitch] : Planes(up)) {  // each plane upside down
        for (size_t row = 0; row < rows; ++row) {
          const size_t from = offset + (rows - 1 - row) * pitch, to = offset + row * pitch;
          ASSERT_EQ(std::memcmp(&up.Bytes[from], &full.Bytes[to], pitch), 0) << row;
        }
      }
      UseChangeMap(0x5A5, 50);
      EXPECT_EQ(CopyTo(&part, 0), 0u);
      EXPECT_EQ(part.Bytes, Expected(part, 0, kAll, 0x5A5));
    }
  }
}

// Options, clipping, and the changed-area threshold: below 75 % of changed blocks only marked
// areas are converted, unless no map is filled yet (the first such copy) or all is asked for.
TEST_F(Copy, OptionsClippingAndChangedAreas) {
  const struct {
    const char* Trace;
    uint32_t Width, Height, OpenFlags, Flags, Type, ShownWidth = 0, Rows = 0, KeepWidth = kAll,
        Percent = 100, Marks = 0, KeepAreas = kAll;
  } cases[] = {
      {"gray movie, rows past the gray chroma row", 600, 4, OpenGrayscale, 0, SurfaceRGB24},
      {"gray copy", 32, 16, 0, OpenGrayscale, SurfaceYUY2},
      {"swapped chroma", 24, 8, 0, MovieFlagSwapUV, SurfaceRGBX32},
      {"swapped alpha", 24, 8, OpenAlpha, CopySwapAlpha, SurfaceBGRA32},
      {"swapped alpha without alpha plane: dropped", 24, 8, 0, CopySwapAlpha, SurfaceBGRA32},
      {"planar gray movie", 600, 4, OpenGrayscale, 0, SurfacePlanar},
      {"planar swapped chroma", 24, 8, 0, MovieFlagSwapUV, SurfacePlanar},
      {"planar swapped alpha", 24, 8, OpenAlpha, CopySwapAlpha, SurfacePlanar},
      {"planar 20 of 80 shown columns, 13 rows", 40, 30, 4u << CopyScaleShift, 0, SurfacePlanar, 20, 13, 10},
      {"planar 74 %: the marked area", 48, 32, 0, 0, SurfacePlanar, 0, 0, kAll, 74, 0x2, 0x2},
      {"20 of 80 shown columns: 10 stored", 40, 30, 4u << CopyScaleShift, 0, Surface555, 20, 0, 10},
      {"13 rows of buffer", 40, 30, 4u << CopyScaleShift, 0, Surface555, 0, 13},
      {"74 %, no map yet: all", 48, 32, 0, 0, SurfaceBGRX32, 0, 0, kAll, 74},
      {"74 %: the marked area", 48, 32, 0, 0, SurfaceBGRX32, 0, 0, kAll, 74, 0x2, 0x2},
      {"74 %, copy all", 48, 32, 0, CopyAll, SurfaceBGRX32, 0, 0, kAll, 74, 0x2},
      {"75 %: all", 48, 32, 0, 0, SurfaceBGRX32, 0, 0, kAll, 75, 0x2}};
  for (const auto& c : cases) {
    Open(c.Width, c.Height, c.OpenFlags);
    c.Marks ? UseChangeMap(c.Marks, c.Percent) : void(m_->ChangedPercent = c.Percent);
    Dest d = MakeDest(c.Type, c.Rows);
    EXPECT_EQ(CopyTo(&d, c.Flags, c.ShownWidth), 0u) << c.Trace;
    EXPECT_EQ(d.Bytes, Expected(d, c.Flags, c.KeepWidth, c.KeepAreas)) << c.Trace;
  }
}

// A pitch shorter than a row, either way up (rows would overlap and run past the buffer), or odd
// for the planar type (no half pitch for the chroma planes): 0 and nothing written.
TEST_F(Copy, ShortOrOddPitchIsRefusedAndWritesNothing) {
  Open(16, 16);
  std::vector<uint8_t> b(72 * 16 * 3 / 2, kUntouched);
  const std::pair<int32_t, uint32_t> refused[] = {
      {60, SurfaceBGRX32}, {-60, SurfaceBGRX32}, {14, SurfacePlanar}, {17, SurfacePlanar}, {-17, SurfacePlanar}};
  for (auto [pitch, type] : refused) {
    EXPECT_EQ(MovieCopyToSurface(m_, b.data(), pitch, 16, 0, 0, 0, 0, 16, 16, type), 0u);
  }
  EXPECT_EQ(b, std::vector<uint8_t>(72 * 16 * 3 / 2, kUntouched));
}

// A 6 x 3 planar picture into 4 rows of pitch 8: luma rows, then the V plane and the U plane of
// 2 rows at pitch 4 each; the last luma row and the 16 bytes after the 48 stay untouched.
TEST_F(Copy, PlanarBytes) {
  Open(6, 3);
  for (uint32_t p = PlaneY, w = 6, h = 3; p <= PlaneChroma2; ++p, w = 3, h = 2) {  // 100 p + 10 row + x
    for (uint32_t i = 0; i < h * w; ++i) Set()[p].Pixels[i / w * Set()[p].Pitch + i % w] = uint8_t(100 * p + i / w * 10 + i % w);
  }
  constexpr uint8_t U = kUntouched;
  const std::vector<uint8_t> expected = {0, 1, 2, 3, 4, 5, U, U, 10, 11, 12, 13, 14, 15, U, U,
                                         20, 21, 22, 23, 24, 25, U, U, U, U, U, U, U, U, U, U,
                                         100, 101, 102, U, 110, 111, 112, U, 200, 201, 202, U, 210, 211, 212, U,
                                         U, U, U, U, U, U, U, U, U, U, U, U, U, U, U, U};
  Dest d{SurfacePlanar, 4, 1, 8, std::vector<uint8_t>(64, U)};
  CopyTo(&d, CopyAll);
  EXPECT_EQ(d.Bytes, expected);
}

// 200 ms late: three copies dropped, the fourth shown. Far behind (2 s): dropped, and asked
// again for the same frame, dropped without a second decision; told never to skip: shown, and
// reported behind.
TEST_F(Copy, LateFramesLoseTheirCopyButEveryFourthIsShown) {
  Open(16, 16);
  for (int frame = 0; frame < 4; ++frame) {
    MakeLate(200);
    EXPECT_EQ(Shown(), std::make_pair(frame < 3 ? 1u : 0u, frame == 3)) << frame;
  }
  MakeLate(2000);
  for (int again = 0; again < 2; ++again) EXPECT_EQ(Shown(), std::make_pair(1u, false)) << again;
  EXPECT_EQ(m_->SkippedBlits, 4u);
  MakeLate(2000);
  EXPECT_EQ(Shown(OpenNeverSkip), std::make_pair(1u, true));
}

}  // namespace
